// The music decoders over an in-memory file. libsndfile reads through virtual I/O callbacks on
// the caller's buffer; libopenmpt takes the bytes directly.
#include "sound/sound_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <libopenmpt/libopenmpt.h>
#include <sndfile.h>

namespace {
sf_count_t memoryLength(void *user) { return static_cast<SoundDecoder *>(user)->size; }

sf_count_t memorySeek(sf_count_t offset, int whence, void *user) {
    SoundDecoder &decoder = *static_cast<SoundDecoder *>(user);
    sf_count_t base = whence == SEEK_CUR ? decoder.cursor : whence == SEEK_END ? sf_count_t(decoder.size) : 0;
    sf_count_t target = base + offset;
    if (target < 0 || target > sf_count_t(decoder.size)) return -1;
    decoder.cursor = target;
    return target;
}

sf_count_t memoryRead(void *out, sf_count_t count, void *user) {
    SoundDecoder &decoder = *static_cast<SoundDecoder *>(user);
    sf_count_t left = sf_count_t(decoder.size) - decoder.cursor;
    sf_count_t taken = std::max<sf_count_t>(0, std::min(count, left));
    if (taken > 0) memcpy(out, decoder.data + decoder.cursor, size_t(taken));
    decoder.cursor += taken;
    return taken;
}

sf_count_t memoryWrite(const void *, sf_count_t, void *) { return 0; }
sf_count_t memoryTell(void *user) { return static_cast<SoundDecoder *>(user)->cursor; }

SF_VIRTUAL_IO memoryIo = {memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};

bool openSampled(SoundDecoder &decoder) {
    SF_INFO info = {};
    decoder.cursor = 0;
    SNDFILE *file = sf_open_virtual(&memoryIo, SFM_READ, &info, &decoder);
    if (!file) return false;
    // A file whose channels do not fit one scratch frame, or without a usable rate, is refused.
    if (info.channels < 1 || info.channels > SOUND_DECODE_SCRATCH || info.samplerate < 1) {
        sf_close(file);
        return false;
    }
    decoder.kind = SOUND_DECODER_SAMPLED;
    decoder.file = file;
    decoder.rate = info.samplerate;
    decoder.channels = info.channels;
    decoder.frames = info.frames > 0 && info.frames < (int64_t(1) << 40) ? info.frames : -1;
    return true;
}

bool openModule(SoundDecoder &decoder, int moduleRate) {
    int error = 0;
    // A look at the header first: making a module allocates megabytes, and most files that
    // libsndfile refused are no module either.
    if (openmpt_probe_file_header(OPENMPT_PROBE_FILE_HEADER_FLAGS_DEFAULT, decoder.data, decoder.size, decoder.size,
                                  openmpt_log_func_silent, nullptr, openmpt_error_func_ignore, nullptr, &error,
                                  nullptr) == OPENMPT_PROBE_FILE_HEADER_RESULT_FAILURE)
        return false;
    openmpt_module *module = openmpt_module_create_from_memory2(
        decoder.data, decoder.size, openmpt_log_func_silent, nullptr, openmpt_error_func_ignore,
        nullptr, &error, nullptr, nullptr);
    if (!module) return false;
    openmpt_module_set_repeat_count(module, 0); // the stream loops it itself, reporting each end
    // A seek then starts the notes already sounding at the new place, as the unbroken run has them.
    openmpt_module_ctl_set_boolean(module, "seek.sync_samples", 1);
    decoder.kind = SOUND_DECODER_MODULE;
    decoder.module = module;
    decoder.rate = moduleRate;
    decoder.channels = 2;
    double seconds = openmpt_module_get_duration_seconds(module);
    decoder.seconds = seconds > 0 ? seconds : 0.0;
    decoder.frames = seconds > 0 && seconds < 1e7 ? int64_t(llround(seconds * moduleRate)) : -1;
    return true;
}

int readSampled(SoundDecoder &decoder, float *out, int frames) {
    int channels = decoder.channels;
    int perRead = std::max(1, SOUND_DECODE_SCRATCH / channels);
    int done = 0;
    while (done < frames) {
        int want = std::min(frames - done, perRead);
        sf_count_t got = sf_readf_float(decoder.file, decoder.scratch, want);
        if (got <= 0) break;
        for (sf_count_t i = 0; i < got; ++i) {
            const float *frame = decoder.scratch + i * channels;
            out[2 * (done + i)] = frame[0];
            out[2 * (done + i) + 1] = channels > 1 ? frame[1] : frame[0];
        }
        done += int(got);
        if (got < want) break;
    }
    return done;
}

void cuesFromLibrary(SoundDecoder &decoder, SoundMarkerList &list) {
    uint32_t count = 0;
    if (!sf_command(decoder.file, SFC_GET_CUE_COUNT, &count, sizeof count) || count == 0) return;
    // The fixed SF_CUES holds only 100 points; ask with a block sized for what the file has.
    if (count > uint32_t(SOUND_MAX_MARKERS)) list.dropped = int(std::min<uint32_t>(count - SOUND_MAX_MARKERS, 1u << 30));
    count = std::min<uint32_t>(count, SOUND_MAX_MARKERS);
    size_t bytes = sizeof(uint32_t) + count * sizeof(SF_CUE_POINT);
    auto *block = static_cast<unsigned char *>(calloc(1, bytes + sizeof(SF_CUE_POINT)));
    if (!block) return;
    if (sf_command(decoder.file, SFC_GET_CUE, block, int(bytes))) {
        uint32_t got = 0;
        memcpy(&got, block, sizeof got);
        got = std::min(got, count);
        const auto *points = reinterpret_cast<const SF_CUE_POINT *>(block + offsetof(SF_CUES, cue_points));
        for (uint32_t i = 0; i < got; ++i) {
            SoundMarker &marker = list.markers[list.count++];
            marker.id = uint32_t(points[i].indx);
            marker.frame = points[i].sample_offset ? points[i].sample_offset : points[i].position;
            size_t length = strnlen(points[i].name, sizeof points[i].name);
            marker.cut = length > sizeof marker.name - 1;
            if (length == 0) {
                snprintf(marker.name, sizeof marker.name, "cue %u", marker.id);
            } else {
                length = std::min(length, sizeof marker.name - 1);
                memcpy(marker.name, points[i].name, length);
                marker.name[length] = '\0';
            }
        }
    }
    free(block);
    sound_SortMarkers(list);
}
} // namespace

bool sound_DecoderOpen(SoundDecoder &decoder, const unsigned char *data, size_t size, int moduleRate) {
    sound_DecoderClose(decoder);
    if (!data || size == 0) return false;
    decoder.data = data;
    decoder.size = size;
    if (openSampled(decoder)) return true;
    if (moduleRate > 0 && openModule(decoder, moduleRate)) return true;
    sound_DecoderClose(decoder);
    return false;
}

int sound_DecoderRead(SoundDecoder &decoder, float *out, int frames) {
    if (frames <= 0) return 0;
    if (decoder.kind == SOUND_DECODER_SAMPLED) return readSampled(decoder, out, frames);
    if (decoder.kind == SOUND_DECODER_MODULE)
        return int(openmpt_module_read_interleaved_float_stereo(decoder.module, decoder.rate, size_t(frames), out));
    return 0;
}

bool sound_DecoderSeek(SoundDecoder &decoder, int64_t frame) {
    if (frame < 0) frame = 0;
    if (decoder.kind == SOUND_DECODER_SAMPLED) {
        if (sf_seek(decoder.file, frame, SEEK_SET) == frame) return true;
        // Some streams cannot seek; going back to the start is still possible by reopening.
        if (frame != 0) return false;
        sf_close(decoder.file);
        decoder.file = nullptr;
        return openSampled(decoder);
    }
    if (decoder.kind == SOUND_DECODER_MODULE) {
        // libopenmpt lands on the start of a row, which may lie after the frame asked for: step
        // back until it lies at or before it, then render the rest of the way, so the module
        // sounds from the frame exactly as the unbroken run.
        const double target = double(frame) / decoder.rate;
        double landed = openmpt_module_set_position_seconds(decoder.module, target);
        double back = 0.02;
        for (int tries = 0; landed > target && tries < 24; ++tries, back *= 2.0)
            landed = openmpt_module_set_position_seconds(decoder.module, target - back);
        int64_t skip = landed <= target ? int64_t(llround((target - landed) * decoder.rate)) : 0;
        while (skip > 0) {
            const int step = int(std::min<int64_t>(skip, SOUND_DECODE_SCRATCH / 2));
            const size_t got = openmpt_module_read_interleaved_float_stereo(decoder.module, decoder.rate, size_t(step),
                                                                           decoder.scratch);
            if (got == 0) break;
            skip -= int64_t(got);
        }
        return true;
    }
    return false;
}

void sound_DecoderFormat(const SoundDecoder &decoder, char *text, size_t size) {
    if (size == 0) return;
    text[0] = '\0';
    if (decoder.kind == SOUND_DECODER_MODULE) {
        const char *type = openmpt_module_get_metadata(decoder.module, "type_long");
        snprintf(text, size, "%s module", type && *type ? type : "tracker");
        openmpt_free_string(type);
    } else if (decoder.kind == SOUND_DECODER_SAMPLED) {
        SF_INFO info = {};
        sf_command(decoder.file, SFC_GET_CURRENT_SF_INFO, &info, sizeof info);
        SF_FORMAT_INFO major = {};
        major.format = info.format & SF_FORMAT_TYPEMASK;
        SF_FORMAT_INFO sub = {};
        sub.format = info.format & SF_FORMAT_SUBMASK;
        const bool haveMajor = sf_command(nullptr, SFC_GET_FORMAT_INFO, &major, sizeof major) == 0;
        const bool haveSub = sf_command(nullptr, SFC_GET_FORMAT_INFO, &sub, sizeof sub) == 0;
        snprintf(text, size, "%s%s%s", haveMajor ? major.name : "sampled", haveSub ? ", " : "", haveSub ? sub.name : "");
    }
}

int sound_DecoderOrderList(const SoundDecoder &decoder, int *patterns, int max) {
    if (decoder.kind != SOUND_DECODER_MODULE) return 0;
    const int count = openmpt_module_get_num_orders(decoder.module);
    for (int i = 0; i < count && i < max; i++) patterns[i] = openmpt_module_get_order_pattern(decoder.module, i);
    return count;
}

int sound_DecoderOrder(const SoundDecoder &decoder) {
    return decoder.kind == SOUND_DECODER_MODULE ? openmpt_module_get_current_order(decoder.module) : -1;
}

bool sound_DecoderInSong(const SoundDecoder &decoder) {
    if (decoder.kind != SOUND_DECODER_MODULE || decoder.seconds <= 0) return true;
    return openmpt_module_get_position_seconds(decoder.module) < decoder.seconds;
}

void sound_DecoderMarkers(SoundDecoder &decoder, SoundMarkerList &list) {
    list.count = list.dropped = 0;
    if (decoder.kind != SOUND_DECODER_SAMPLED) return;
    // libsndfile gives WAV cue positions but not their labl names, so WAV is read here.
    if (sound_ReadWavMarkers(decoder.data, decoder.size, list)) return;
    cuesFromLibrary(decoder, list);
}

double sound_DecoderTempo(const SoundDecoder &decoder) {
    if (decoder.kind != SOUND_DECODER_MODULE) return 0.0;
    const double bpm = openmpt_module_get_current_estimated_bpm(decoder.module);
    return std::isfinite(bpm) && bpm > 0.0 ? bpm : 0.0;
}

int sound_DecoderOrderCount(const SoundDecoder &decoder) {
    return decoder.kind == SOUND_DECODER_MODULE ? openmpt_module_get_num_orders(decoder.module) : 0;
}

double sound_DecoderOrderStart(SoundDecoder &decoder, int order) {
    if (decoder.kind != SOUND_DECODER_MODULE) return -1.0;
    return openmpt_module_set_position_order_row(decoder.module, order, 0);
}

void sound_DecoderClose(SoundDecoder &decoder) {
    if (decoder.file) sf_close(decoder.file);
    if (decoder.module) openmpt_module_destroy(decoder.module);
    decoder.kind = SOUND_DECODER_NONE;
    decoder.file = nullptr;
    decoder.module = nullptr;
    decoder.data = nullptr;
    decoder.size = 0;
    decoder.cursor = 0;
    decoder.rate = 0;
    decoder.channels = 0;
    decoder.frames = -1;
    decoder.seconds = 0.0;
}
