// The asset probes that --check and --inspect share: a file's bytes through the engine's own TGA
// reader and music decoders, with a reason a maker can act on when the engine would refuse it.
#include "author/probe.h"

#include <cstdio>

#include "draw/picture.h"
#include "draw/tga.h"
#include "sound/sound_decoder.h"

bool probe_Tga(const std::vector<uint8_t> &bytes, char *why, size_t whySize) {
    TgaImage image;
    const char *reason = "damaged";
    if (tga_Decode(bytes.data(), bytes.size(), &image, &reason)) return true;
    // A TGA header names a colour map type of 0 or 1 and one of the TGA image types.
    const bool header = bytes.size() >= 18;
    const int type = header ? bytes[2] : 0;
    const bool tgaType = type <= 3 || (type >= 9 && type <= 11) || type == 32 || type == 33;
    if (header && (bytes[1] > 1 || !tgaType))
        snprintf(why, whySize, "%s", PROBE_NOT_A_TGA);
    else if (header && bytes[16] != 8 && bytes[16] != 24 && bytes[16] != 32)
        snprintf(why, whySize, "unsupported bits per pixel (%d; the reader takes 8, 24 and 32)", bytes[16]);
    else
        snprintf(why, whySize, "%s", reason);
    return false;
}

bool probe_Music(const std::vector<uint8_t> &bytes, int rate, char *why, size_t whySize) {
    static SoundDecoder decoder; // holds its scratch buffer: kept off the stack
    decoder = SoundDecoder{};
    if (bytes.empty()) {
        snprintf(why, whySize, "the file is empty");
        return false;
    }
    if (!sound_DecoderOpen(decoder, bytes.data(), bytes.size(), rate)) {
        snprintf(why, whySize, "no decoder takes it (WAV, AIFF, FLAC, Ogg, MP3, MOD, XM, S3M, IT)");
        return false;
    }
    sound_DecoderClose(decoder);
    return true;
}

bool probe_Picture(const std::vector<uint8_t> &bytes, char *why, size_t whySize) {
    if (picture_Kind(bytes.data(), bytes.size()) == PICTURE_TGA) return probe_Tga(bytes, why, whySize);
    static TgaImage image; // a whole picture: kept off the stack and reused
    const char *reason = "damaged";
    const bool decoded = picture_Decode(bytes.data(), bytes.size(), &image, &reason);
    image = TgaImage{};
    if (!decoded) snprintf(why, whySize, "%s", reason);
    return decoded;
}
