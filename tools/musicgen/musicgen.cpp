// The WAV writer with cue markers and the synthesiser of the show's track.
#include "tools/musicgen/musicgen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {
void put16(std::string &out, uint32_t v) {
    out.push_back(char(v & 0xFF));
    out.push_back(char((v >> 8) & 0xFF));
}
void put32(std::string &out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void putChunk(std::string &out, const char *id, const std::string &body) {
    out.append(id, 4);
    put32(out, uint32_t(body.size()));
    out += body;
    if (body.size() & 1) out.push_back('\0');
}

constexpr double PI = 3.14159265358979323846;
constexpr double BEAT = 0.5; // 120 BPM
constexpr double BAR = 4 * BEAT;
constexpr double STEP = BEAT / 4; // sixteenth note

double midiHz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

// A cheap deterministic noise source, the same track every run.
struct Noise {
    uint32_t state = 0x12345678u;
    float next() {
        state = state * 1664525u + 1013904223u;
        return float(int32_t(state)) / 2147483648.0f;
    }
};

struct Mix {
    int rate;
    std::vector<float> left, right;
    size_t at(double seconds) const { return size_t(std::max(0.0, seconds) * rate + 0.5); }
    size_t frames() const { return left.size(); }
};

// Four bars repeating: Am, F, C, G. Triads for the pads and arpeggio, roots for the bass.
const int CHORDS[4][3] = {{57, 60, 64}, {53, 57, 60}, {55, 60, 64}, {55, 59, 62}};
const int ROOTS[4] = {45, 41, 48, 43};

int section(double t) {
    int found = 0;
    for (int i = 0; i < int(std::size(MUSICGEN_SECTIONS)); ++i)
        if (t >= MUSICGEN_SECTIONS[i].seconds) found = i;
    return found;
}
bool drums(int s) { return s == 1 || s == 2 || s == 4; }

void pad(Mix &mix, double start, double length, const int *notes, float level) {
    size_t a = mix.at(start), b = std::min(mix.frames(), mix.at(start + length + 0.6));
    for (int n = 0; n < 3; ++n) {
        double hz = midiHz(notes[n]);
        double detune[2] = {hz * 0.9962, hz * 1.0038}; // about 7 cents each way, one per side
        double phase[2] = {0.3 * n, 0.7 * n};
        float low[2] = {0, 0};
        for (size_t i = a; i < b; ++i) {
            double t = double(i - a) / mix.rate;
            float env = float(std::min(1.0, t / 0.35) * (t > length ? std::exp(-(t - length) * 6.0) : 1.0));
            for (int side = 0; side < 2; ++side) {
                phase[side] += detune[side] / mix.rate;
                phase[side] -= std::floor(phase[side]);
                float saw = float(2.0 * phase[side] - 1.0);
                low[side] += 0.06f * (saw - low[side]); // soft one-pole low-pass
                (side ? mix.right : mix.left)[i] += low[side] * env * level;
            }
        }
    }
}

void bass(Mix &mix, double start, double length, int note, float level) {
    size_t a = mix.at(start), b = std::min(mix.frames(), mix.at(start + length));
    double hz = midiHz(note), phase = 0;
    float low = 0;
    for (size_t i = a; i < b; ++i) {
        double t = double(i - a) / mix.rate;
        phase += hz / mix.rate;
        phase -= std::floor(phase);
        float wave = float(0.6 * (2 * phase - 1) + 0.4 * std::sin(2 * PI * phase));
        float cutoff = float(0.04 + 0.25 * std::exp(-t * 18.0)); // plucked filter sweep
        low += cutoff * (wave - low);
        float env = float(std::exp(-t * 3.0) * std::min(1.0, (length - t) * 200.0));
        mix.left[i] += low * env * level;
        mix.right[i] += low * env * level;
    }
}

void pluck(Mix &mix, double start, int note, float level, float pan) {
    size_t a = mix.at(start), b = std::min(mix.frames(), mix.at(start + 0.3));
    double hz = midiHz(note), phase = 0;
    for (size_t i = a; i < b; ++i) {
        double t = double(i - a) / mix.rate;
        phase += hz / mix.rate;
        phase -= std::floor(phase);
        float tri = float(1.0 - 4.0 * std::fabs(phase - 0.5));
        float square = phase < 0.5 ? 0.3f : -0.3f;
        float v = (tri + square * float(std::exp(-t * 30.0))) * float(std::exp(-t * 14.0)) * level;
        mix.left[i] += v * (1.0f - pan);
        mix.right[i] += v * (1.0f + pan);
    }
}

void kick(Mix &mix, double start, float level) {
    size_t a = mix.at(start), b = std::min(mix.frames(), mix.at(start + 0.45));
    double phase = 0;
    for (size_t i = a; i < b; ++i) {
        double t = double(i - a) / mix.rate;
        phase += (45.0 + 95.0 * std::exp(-t * 30.0)) / mix.rate;
        float v = float(std::sin(2 * PI * phase) * std::exp(-t * 7.0)) * level;
        mix.left[i] += v;
        mix.right[i] += v;
    }
}

void noiseHit(Mix &mix, Noise &noise, double start, double decay, float tone, float level, float pan) {
    size_t a = mix.at(start), b = std::min(mix.frames(), mix.at(start + decay * 6));
    float previous = 0;
    for (size_t i = a; i < b; ++i) {
        double t = double(i - a) / mix.rate;
        float white = noise.next();
        float high = white - previous; // first difference: keeps the hiss, drops the rumble
        previous = white;
        float body = tone > 0 ? float(std::sin(2 * PI * tone * t) * std::exp(-t * 25.0)) : 0.0f;
        float v = (high * 0.7f + body) * float(std::exp(-t / decay)) * level;
        mix.left[i] += v * (1.0f - pan);
        mix.right[i] += v * (1.0f + pan);
    }
}

void riser(Mix &mix, Noise &noise, double start, double length, float level) {
    size_t a = mix.at(start), b = std::min(mix.frames(), mix.at(start + length));
    float low = 0;
    for (size_t i = a; i < b; ++i) {
        float x = float(double(i - a) / double(b - a));
        low += (0.02f + 0.5f * x * x) * (noise.next() - low);
        float v = low * x * x * level;
        mix.left[i] += v;
        mix.right[i] += v;
    }
}

// A ping-pong echo over the arpeggio bus, three sixteenths long.
void echo(Mix &bus, float feedback) {
    size_t delay = bus.at(3 * STEP);
    for (size_t i = delay; i < bus.frames(); ++i) {
        float l = bus.left[i - delay], r = bus.right[i - delay];
        bus.left[i] += r * feedback;
        bus.right[i] += l * feedback;
    }
}

void arrange(Mix &mix, Mix &arp, double seconds) {
    Noise noise;
    int bars = int(std::ceil(seconds / BAR));
    for (int bar = 0; bar < bars; ++bar) {
        double t0 = bar * BAR;
        int s = section(t0);
        const int *chord = CHORDS[bar % 4];
        float padLevel = s == 0 ? 0.05f + 0.02f * bar : s == 3 ? 0.13f : 0.1f;
        pad(mix, t0, BAR, chord, padLevel);
        for (int step = 0; step < 16; ++step) {
            double t = t0 + step * STEP;
            // Arpeggio: up through the triad over two octaves, quiet in the intro.
            static const int order[16] = {0, 1, 2, 3, 4, 5, 3, 2, 0, 1, 2, 3, 5, 4, 3, 1};
            int k = order[step];
            int note = chord[k % 3] + 12 * (k / 3) + (s == 4 ? 12 : 0);
            float arpLevel = s == 0 ? 0.06f : s == 5 ? 0.08f : 0.12f;
            pluck(arp, t, note, arpLevel, step % 2 ? 0.35f : -0.35f);
            if (s >= 1 && s != 3 && s != 5 && step % 2 == 0) {
                int root = ROOTS[bar % 4] - 12 + (step % 4 == 2 ? 12 : 0); // octave bounce on the off-beat
                bass(mix, t, 2 * STEP * 0.9, root, 0.32f);
            }
            if (s == 3 && step == 0) bass(mix, t, BAR * 0.95, ROOTS[bar % 4] - 12, 0.22f);
        }
        for (int beat = 0; beat < 4; ++beat) {
            double t = t0 + beat * BEAT;
            bool inDrums = drums(s) || (s == 5 && bar == int(MUSICGEN_SECTIONS[5].seconds / BAR));
            if (inDrums) kick(mix, t, 0.85f);
            if (inDrums && (s != 1 || bar >= 6)) noiseHit(mix, noise, t + BEAT / 2, 0.012, 0, 0.2f, beat % 2 ? 0.3f : -0.3f);
            if ((s == 2 || s == 4) && beat % 2 == 1) noiseHit(mix, noise, t, 0.045, 190.0f, 0.45f, 0.0f);
        }
    }
    riser(mix, noise, MUSICGEN_SECTIONS[2].seconds - 2 * BAR, 2 * BAR, 0.5f);
    riser(mix, noise, MUSICGEN_SECTIONS[4].seconds - BAR, BAR, 0.4f);
    for (int s : {2, 4}) noiseHit(mix, noise, MUSICGEN_SECTIONS[s].seconds, 0.35, 0, 0.35f, 0.0f); // crash
}
} // namespace

std::string musicgen_WavBytes(const int16_t *samples, size_t frames, int channels, int rate,
                              const std::vector<MusicCue> &cues) {
    std::string fmt;
    put16(fmt, 1);
    put16(fmt, uint32_t(channels));
    put32(fmt, uint32_t(rate));
    put32(fmt, uint32_t(rate * channels * 2));
    put16(fmt, uint32_t(channels * 2));
    put16(fmt, 16);
    std::string data;
    data.reserve(frames * channels * 2);
    for (size_t i = 0; i < frames * size_t(channels); ++i) put16(data, uint16_t(samples[i]));
    std::string body = "WAVE";
    putChunk(body, "fmt ", fmt);
    putChunk(body, "data", data);
    if (!cues.empty()) {
        std::string cue, adtl = "adtl";
        put32(cue, uint32_t(cues.size()));
        for (size_t i = 0; i < cues.size(); ++i) {
            put32(cue, uint32_t(i + 1)); // id
            put32(cue, cues[i].frame);   // position
            cue += "data";
            put32(cue, 0); // chunk start
            put32(cue, 0); // block start
            put32(cue, cues[i].frame);   // sample offset
            std::string label;
            put32(label, uint32_t(i + 1));
            label += cues[i].name;
            label.push_back('\0');
            putChunk(adtl, "labl", label);
        }
        putChunk(body, "cue ", cue);
        putChunk(body, "LIST", adtl);
    }
    std::string file;
    putChunk(file, "RIFF", body);
    return file;
}

bool musicgen_WriteFile(const std::string &path, const std::string &bytes) {
    FILE *file = fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && ok;
}

MusicTrack musicgen_RenderTrack(double seconds, int rate) {
    MusicTrack track;
    track.rate = rate;
    seconds = std::max(0.1, seconds);
    size_t frames = size_t(seconds * rate + 0.5);
    Mix mix{rate, std::vector<float>(frames), std::vector<float>(frames)};
    Mix arp{rate, std::vector<float>(frames), std::vector<float>(frames)};
    arrange(mix, arp, seconds);
    echo(arp, 0.38f);
    // Master: sum, gentle saturation, a fade over the last seconds, then the peak at -1 dB.
    double fade = std::min(3.0, seconds / 4);
    float peak = 1e-6f;
    for (size_t i = 0; i < frames; ++i) {
        double left = double(frames - i) / rate;
        float gain = float(left < fade ? left / fade : 1.0);
        mix.left[i] = std::tanh((mix.left[i] + arp.left[i]) * 1.2f) * gain;
        mix.right[i] = std::tanh((mix.right[i] + arp.right[i]) * 1.2f) * gain;
        peak = std::max({peak, std::fabs(mix.left[i]), std::fabs(mix.right[i])});
    }
    float scale = 0.89f * 32767.0f / peak;
    track.samples.resize(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        track.samples[2 * i] = int16_t(std::lrint(mix.left[i] * scale));
        track.samples[2 * i + 1] = int16_t(std::lrint(mix.right[i] * scale));
    }
    for (const MusicSection &s : MUSICGEN_SECTIONS)
        if (s.seconds < seconds) track.cues.push_back({uint32_t(s.seconds * rate + 0.5), s.name});
    return track;
}
