// Draws the Vortan banner of the setup dialog (577 x 98: dark gradient, light streaks, the
// glowing wordmark "VORTAN" built from line strokes) and writes it as a baseline JPEG and as a
// C++ source that embeds those bytes.
//   bannergen <banner.jpg> <banner.cpp>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
constexpr int BANNER_WIDTH = 577;
constexpr int BANNER_HEIGHT = 98;
constexpr int BANNER_QUALITY = 92;

struct Rgb {
    float r, g, b;
};

struct Segment {
    float x0, y0, x1, y1;
};

// Letter strokes in a cell 1 wide and 1 high (y grows downwards), as line segments.
constexpr int MAX_STROKES = 24;
struct Glyph {
    int count;
    std::array<Segment, MAX_STROKES> strokes;
};

// An ellipse as a closed polygon, used for the O and the bowl of the R.
void addArc(Glyph &glyph, float cx, float cy, float rx, float ry, float from, float to, int steps) {
    for (int i = 0; i < steps && glyph.count < MAX_STROKES; ++i) {
        float a0 = from + (to - from) * i / steps;
        float a1 = from + (to - from) * (i + 1) / steps;
        glyph.strokes[glyph.count++] = {cx + rx * std::cos(a0), cy + ry * std::sin(a0),
                                        cx + rx * std::cos(a1), cy + ry * std::sin(a1)};
    }
}

void addLine(Glyph &glyph, float x0, float y0, float x1, float y1) {
    if (glyph.count < MAX_STROKES) glyph.strokes[glyph.count++] = {x0, y0, x1, y1};
}

Glyph makeGlyph(char letter) {
    const float pi = 3.14159265f;
    Glyph g{};
    switch (letter) {
    case 'V': addLine(g, 0.0f, 0.0f, 0.5f, 1.0f); addLine(g, 0.5f, 1.0f, 1.0f, 0.0f); break;
    case 'O': addArc(g, 0.5f, 0.5f, 0.5f, 0.5f, 0.0f, 2 * pi, 20); break;
    case 'R':
        addLine(g, 0.0f, 1.0f, 0.0f, 0.0f);
        addLine(g, 0.0f, 0.0f, 0.55f, 0.0f);
        addArc(g, 0.55f, 0.27f, 0.4f, 0.27f, -pi / 2, pi / 2, 10);
        addLine(g, 0.55f, 0.54f, 0.0f, 0.54f);
        addLine(g, 0.45f, 0.54f, 1.0f, 1.0f);
        break;
    case 'T': addLine(g, 0.0f, 0.0f, 1.0f, 0.0f); addLine(g, 0.5f, 0.0f, 0.5f, 1.0f); break;
    case 'A':
        addLine(g, 0.0f, 1.0f, 0.5f, 0.0f);
        addLine(g, 0.5f, 0.0f, 1.0f, 1.0f);
        addLine(g, 0.22f, 0.62f, 0.78f, 0.62f);
        break;
    case 'N':
        addLine(g, 0.0f, 1.0f, 0.0f, 0.0f);
        addLine(g, 0.0f, 0.0f, 1.0f, 1.0f);
        addLine(g, 1.0f, 1.0f, 1.0f, 0.0f);
        break;
    default: break;
    }
    return g;
}

float segmentDistance(float px, float py, const Segment &s) {
    float dx = s.x1 - s.x0, dy = s.y1 - s.y0;
    float length2 = dx * dx + dy * dy;
    float t = length2 > 0.0f ? ((px - s.x0) * dx + (py - s.y0) * dy) / length2 : 0.0f;
    t = std::clamp(t, 0.0f, 1.0f);
    float ex = px - (s.x0 + t * dx), ey = py - (s.y0 + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

float smoothstep(float edge0, float edge1, float x) {
    float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// The wordmark in pixel coordinates: six letters, 40 x 46 pixels each, centred.
constexpr int WORD_STROKES = 6 * MAX_STROKES;
struct Word {
    int count;
    std::array<Segment, WORD_STROKES> strokes;
};

Word layoutWord() {
    const char *text = "VORTAN";
    const float letterW = 40.0f, letterH = 46.0f, gap = 18.0f;
    float total = 6 * letterW + 5 * gap;
    float left = (BANNER_WIDTH - total) / 2.0f, top = (BANNER_HEIGHT - letterH) / 2.0f;
    Word word{};
    for (int i = 0; i < 6; ++i) {
        Glyph g = makeGlyph(text[i]);
        float ox = left + i * (letterW + gap);
        for (int k = 0; k < g.count; ++k) {
            const Segment &s = g.strokes[k];
            word.strokes[word.count++] = {ox + s.x0 * letterW, top + s.y0 * letterH,
                                          ox + s.x1 * letterW, top + s.y1 * letterH};
        }
    }
    return word;
}

// A fixed pseudo-random sequence, so every build makes the same bytes.
struct Lcg {
    unsigned state;
    float next() {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / 16777216.0f;
    }
};

struct Streak {
    float y, slope, width, strength, phase;
};

std::vector<unsigned char> drawBanner() {
    Word word = layoutWord();
    Lcg random{0x564f5254u};
    std::array<Streak, 9> streaks{};
    for (Streak &s : streaks)
        s = {random.next() * BANNER_HEIGHT, (random.next() - 0.5f) * 0.12f, 0.6f + random.next() * 1.6f,
             0.15f + random.next() * 0.35f, random.next() * 6.28f};

    std::vector<unsigned char> rgb(size_t(BANNER_WIDTH) * BANNER_HEIGHT * 3);
    for (int y = 0; y < BANNER_HEIGHT; ++y) {
        for (int x = 0; x < BANNER_WIDTH; ++x) {
            float v = float(y) / (BANNER_HEIGHT - 1), u = float(x) / (BANNER_WIDTH - 1);
            // Night-blue at the top to near black at the bottom, a little lighter in the middle.
            float centre = 1.0f - std::fabs(u - 0.5f) * 1.4f;
            Rgb c{0.02f + 0.05f * (1 - v) + 0.03f * centre, 0.03f + 0.06f * (1 - v) + 0.03f * centre,
                  0.08f + 0.16f * (1 - v) + 0.06f * centre};
            for (const Streak &s : streaks) {
                float line = s.y + s.slope * (x - BANNER_WIDTH / 2.0f);
                float d = std::fabs(y - line) / s.width;
                float fadeAlong = 0.5f + 0.5f * std::sin(u * 5.0f + s.phase);
                float light = s.strength * std::exp(-d * d) * fadeAlong;
                c.r += light * 0.55f; c.g += light * 0.75f; c.b += light;
            }
            float nearest = 1e9f;
            for (int k = 0; k < word.count; ++k) nearest = std::min(nearest, segmentDistance(x + 0.5f, y + 0.5f, word.strokes[k]));
            float core = 1.0f - smoothstep(2.2f, 3.4f, nearest);   // the stroke itself
            float glow = std::exp(-nearest / 5.5f) * 0.9f;          // the halo around it
            c.r += glow * 0.25f; c.g += glow * 0.6f; c.b += glow * 1.0f;
            c.r = c.r * (1 - core) + 0.92f * core;
            c.g = c.g * (1 - core) + 0.97f * core;
            c.b = c.b * (1 - core) + 1.00f * core;
            unsigned char *p = &rgb[(size_t(y) * BANNER_WIDTH + x) * 3];
            p[0] = (unsigned char)std::lround(std::clamp(c.r, 0.0f, 1.0f) * 255);
            p[1] = (unsigned char)std::lround(std::clamp(c.g, 0.0f, 1.0f) * 255);
            p[2] = (unsigned char)std::lround(std::clamp(c.b, 0.0f, 1.0f) * 255);
        }
    }
    return rgb;
}

std::vector<unsigned char> encodeJpeg(const std::vector<unsigned char> &rgb) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = BANNER_WIDTH;
    cinfo.image_height = BANNER_HEIGHT;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, BANNER_QUALITY, TRUE);  // defaults are baseline, sequential JFIF
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<unsigned char *>(&rgb[size_t(cinfo.next_scanline) * BANNER_WIDTH * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<unsigned char> bytes(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    free(buffer);
    return bytes;
}

bool writeFile(const char *path, const void *data, size_t size) {
    FILE *f = fopen(path, "wb");
    if (!f) return false;
    bool ok = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

bool writeSource(const char *path, const std::vector<unsigned char> &bytes) {
    FILE *f = fopen(path, "w");
    if (!f) return false;
    fprintf(f, "// Generated by tools/bannergen: the setup dialog's banner, a %d x %d baseline JPEG.\n",
            BANNER_WIDTH, BANNER_HEIGHT);
    fprintf(f, "#include <cstddef>\n\nextern const unsigned char resource_bannerJpeg[];\n"
               "extern const size_t resource_bannerJpegSize;\n\n");
    fprintf(f, "const unsigned char resource_bannerJpeg[] = {");
    for (size_t i = 0; i < bytes.size(); ++i) fprintf(f, "%s%u,", i % 20 ? "" : "\n    ", bytes[i]);
    fprintf(f, "\n};\nconst size_t resource_bannerJpegSize = %zu;\n", bytes.size());
    return fclose(f) == 0;
}
} // namespace

int main(int argc, char **argv) {
    const char *usage = "usage: bannergen <banner.jpg> <banner.cpp>\n";
    if (argc == 2 && strcmp(argv[1], "--help") == 0) {
        fputs(usage, stdout);
        return 0;
    }
    if (argc != 3) {
        fputs(usage, stderr);
        return 2;
    }
    std::vector<unsigned char> jpeg = encodeJpeg(drawBanner());
    if (!writeFile(argv[1], jpeg.data(), jpeg.size()) || !writeSource(argv[2], jpeg)) {
        fprintf(stderr, "bannergen: cannot write %s or %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
