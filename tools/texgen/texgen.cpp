// texgen: writes the show's procedural textures as TGA files (texgen OUTDIR), and with
// --seeds OUTDIR tiny pictures of every TGA type the reader takes (the fuzzer's seed corpus).
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/texgen/tga_write.h"

namespace {

constexpr double PI = 3.14159265358979323846;

struct Picture {
    int width, height, components;
    std::vector<uint8_t> pixels; // bottom row first
    Picture(int w, int h, int c) : width(w), height(h), components(c), pixels(static_cast<size_t>(w) * h * c) {}
    uint8_t *at(int x, int y) { return &pixels[(static_cast<size_t>(y) * width + x) * components]; }
};

uint8_t byte(double v) {
    v = v < 0 ? 0 : v > 1 ? 1 : v;
    return static_cast<uint8_t>(std::lround(v * 255.0));
}

double smooth(double a, double b, double v) {
    double t = (v - a) / (b - a);
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    return t * t * (3 - 2 * t);
}

// A warm soft glow: alpha and brightness fall off smoothly to nothing at the rim.
Picture makeGlow() {
    Picture p(256, 256, 4);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            double dx = (x + 0.5) / 128.0 - 1, dy = (y + 0.5) / 128.0 - 1;
            double r = std::sqrt(dx * dx + dy * dy);
            double core = std::exp(-r * r * 18.0), halo = std::pow(1.0 - smooth(0.0, 1.0, r), 2.0);
            double a = std::min(1.0, core + 0.6 * halo);
            uint8_t *q = p.at(x, y);
            q[0] = byte(0.75 + 0.25 * a);
            q[1] = byte(0.55 + 0.45 * core);
            q[2] = byte(0.35 + 0.65 * core);
            q[3] = byte(a);
        }
    return p;
}

// Coverage of one sample by the emblem: two rings, a six-pointed star and a centre disc.
double emblemCoverage(double x, double y) {
    double r = std::sqrt(x * x + y * y), angle = std::atan2(y, x);
    if (r > 0.78 && r < 0.9) return 1.0;
    if (r > 0.66 && r < 0.7) return 1.0;
    // Star: radius of the outline at this angle, six points between 0.25 and 0.62.
    double spoke = std::fabs(std::fmod(angle * 6.0 / (2 * PI) + 100.5, 1.0) - 0.5) * 2.0;
    double outline = 0.25 + 0.37 * (1.0 - spoke);
    if (r < outline && r > 0.16) return 0.85;
    if (r < 0.1) return 1.0;
    return 0.0;
}

// A text-free emblem in gold over transparency, supersampled 4 x 4 for soft edges.
Picture makeEmblem() {
    Picture p(512, 512, 4);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            double cover = 0, shade = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx) {
                    double u = (x + (sx + 0.5) / 4) / 256.0 - 1, v = (y + (sy + 0.5) / 4) / 256.0 - 1;
                    double c = emblemCoverage(u, v);
                    cover += c > 0 ? 1 : 0;
                    shade += c;
                }
            cover /= 16;
            shade /= 16;
            double light = 0.5 + 0.5 * ((x - y) / 1024.0 + 0.5);
            uint8_t *q = p.at(x, y);
            q[0] = byte((0.95 * light + 0.05) * (shade > 0 ? shade / cover : 0));
            q[1] = byte((0.75 * light + 0.05) * (shade > 0 ? shade / cover : 0));
            q[2] = byte((0.30 * light + 0.05) * (shade > 0 ? shade / cover : 0));
            q[3] = byte(cover);
        }
    return p;
}

// Plasma: sums of sines turned into a deep blue-violet-orange gradient. Tiles seamlessly.
Picture makePlasma() {
    Picture p(512, 512, 3);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            double u = x * 2 * PI / 512, v = y * 2 * PI / 512;
            double s = std::sin(u * 2) + std::sin(v * 3 + u) + std::sin((u + v) * 1 + 1.3) + std::cos(u - v * 2);
            double t = 0.5 + s / 8.0;
            uint8_t *q = p.at(x, y);
            q[0] = byte(0.5 + 0.5 * std::sin(2 * PI * t + 0.0) * 0.9);
            q[1] = byte(0.25 + 0.25 * std::sin(2 * PI * t + 2.1));
            q[2] = byte(0.55 + 0.45 * std::sin(2 * PI * t + 4.2));
        }
    return p;
}

// Bevelled tiles in two tones: few colours, so it is stored colour-mapped and run-length encoded.
Picture makeChecker() {
    Picture p(256, 256, 3);
    const uint8_t tones[2][3] = {{58, 64, 84}, {196, 200, 214}};
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            int cx = x / 32, cy = y / 32, lx = x % 32, ly = y % 32;
            const uint8_t *tone = tones[(cx + cy) & 1];
            int lift = (lx < 2 || ly > 29) ? 40 : (lx > 29 || ly < 2) ? -40 : 0;
            uint8_t *q = p.at(x, y);
            for (int k = 0; k < 3; ++k) q[k] = static_cast<uint8_t>(std::max(0, std::min(255, tone[k] + lift)));
        }
    return p;
}

// Sky colour seen in direction (dx, dy, dz), y up: a gradient sky, a sun and a dark ground.
void skyColour(double dx, double dy, double dz, double rgb[3]) {
    if (dy >= 0) {
        double t = std::pow(dy, 0.5);
        rgb[0] = 0.85 * (1 - t) + 0.15 * t;
        rgb[1] = 0.75 * (1 - t) + 0.3 * t;
        rgb[2] = 0.7 * (1 - t) + 0.75 * t;
    } else {
        double t = std::min(1.0, -dy * 3);
        rgb[0] = 0.35 * (1 - t) + 0.08 * t;
        rgb[1] = 0.3 * (1 - t) + 0.07 * t;
        rgb[2] = 0.3 * (1 - t) + 0.1 * t;
    }
    double sx = 0.4, sy = 0.5, sz = 0.77; // towards the sun, unit length
    double d = dx * sx + dy * sy + dz * sz;
    double sun = std::pow(std::max(0.0, d), 200.0) * 2.0 + std::pow(std::max(0.0, d), 8.0) * 0.3;
    for (int k = 0; k < 3; ++k) rgb[k] += sun * (k == 2 ? 0.8 : 1.0);
}

// A sphere map: what a mirror ball in the sky above reflects, as OpenGL's sphere mapping reads it.
Picture makeEnvironment() {
    Picture p(256, 256, 3);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            double nx = (x + 0.5) / 128.0 - 1, ny = (y + 0.5) / 128.0 - 1, rr = nx * nx + ny * ny;
            double rgb[3] = {0, 0, 0};
            if (rr <= 1.0) {
                double nz = std::sqrt(1.0 - rr);
                // Reflection of the view direction (0, 0, -1) about the normal.
                skyColour(2 * nz * nx, 2 * nz * ny, 2 * nz * nz - 1, rgb);
            } else {
                skyColour(0, -1, 0, rgb);
            }
            uint8_t *q = p.at(x, y);
            for (int k = 0; k < 3; ++k) q[k] = byte(rgb[k]);
        }
    return p;
}

bool save(const std::string &dir, const char *name, const Picture &p, int type, bool topFirst = false) {
    TgaWriteOptions options;
    options.imageType = type;
    options.topFirst = topFirst;
    std::string path = dir + "/" + name;
    if (!tgawrite_Save(path.c_str(), p.pixels.data(), p.width, p.height, p.components, options)) {
        fprintf(stderr, "texgen: cannot write %s\n", path.c_str());
        return false;
    }
    printf("%s\n", path.c_str());
    return true;
}

// Tiny pictures of each type, with both origins: a start for the fuzzer's mutations.
bool writeSeeds(const std::string &dir) {
    Picture rgba(5, 3, 4), grey(5, 3, 1);
    for (int i = 0; i < 15; ++i) {
        for (int k = 0; k < 4; ++k) rgba.pixels[i * 4 + k] = static_cast<uint8_t>((i % 3) * 100 + k * 20);
        grey.pixels[i] = static_cast<uint8_t>((i % 4) * 60);
    }
    Picture rgb(5, 3, 3);
    for (int i = 0; i < 15; ++i)
        for (int k = 0; k < 3; ++k) rgb.pixels[i * 3 + k] = rgba.pixels[i * 4 + k];
    bool ok = true;
    ok &= save(dir, "mapped24.tga", rgb, 1);
    ok &= save(dir, "mapped32-rle.tga", rgba, 9, true);
    ok &= save(dir, "true24-top.tga", rgb, 2, true);
    ok &= save(dir, "true32.tga", rgba, 2);
    ok &= save(dir, "true24-rle.tga", rgb, 10);
    ok &= save(dir, "true32-rle-top.tga", rgba, 10, true);
    ok &= save(dir, "grey.tga", grey, 3);
    ok &= save(dir, "grey-rle.tga", grey, 11, true);
    return ok;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && strcmp(argv[1], "--seeds") == 0) return writeSeeds(argv[2]) ? 0 : 1;
    if (argc != 2 || argv[1][0] == '-') {
        fprintf(stderr, "usage: texgen OUTDIR | texgen --seeds OUTDIR\n");
        return 2;
    }
    std::string dir = argv[1];
    bool ok = true;
    ok &= save(dir, "glow.tga", makeGlow(), 10);
    ok &= save(dir, "emblem.tga", makeEmblem(), 10, true);
    ok &= save(dir, "plasma.tga", makePlasma(), 2);
    ok &= save(dir, "checker.tga", makeChecker(), 9);
    ok &= save(dir, "envmap.tga", makeEnvironment(), 2, true);
    return ok ? 0 : 1;
}
