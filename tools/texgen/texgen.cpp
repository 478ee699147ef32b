// texgen: writes the show's procedural textures as TGA files (texgen OUTDIR), and with
// --seeds OUTDIR tiny pictures of every TGA type the reader takes (the fuzzer's seed corpus).
#include <algorithm>
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

// Stars on black over a seamless tile: many faint points, a few bright ones with a cross glint.
// Alpha follows brightness, so the black between the stars is skipped by the alpha test.
Picture makeStars() {
    Picture p(512, 512, 4);
    std::vector<double> light(512 * 512, 0.0), tint(512 * 512, 0.0);
    uint32_t state = 0x2545f491u;
    auto next = [&state]() {
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        return (state & 0xffffff) / double(0x1000000);
    };
    for (int s = 0; s < 900; ++s) {
        double cx = next() * 512, cy = next() * 512, size = next();
        double bright = 0.25 + 0.75 * std::pow(next(), 3.0), hue = next();
        int reach = size > 0.97 ? 14 : 2;
        for (int dy = -reach; dy <= reach; ++dy)
            for (int dx = -reach; dx <= reach; ++dx) {
                int x = (int(cx) + dx + 512) % 512, y = (int(cy) + dy + 512) % 512;
                double ox = int(cx) + dx + 0.5 - cx, oy = int(cy) + dy + 0.5 - cy;
                double v = bright * std::exp(-(ox * ox + oy * oy) * 1.6);
                if (reach > 2) // the bright few: a soft halo and a thin cross
                    v += 0.5 * std::exp(-std::fabs(oy) * 3.0) * std::exp(-std::fabs(ox) * 0.35) +
                         0.5 * std::exp(-std::fabs(ox) * 3.0) * std::exp(-std::fabs(oy) * 0.35);
                light[y * 512 + x] += v;
                tint[y * 512 + x] = hue;
            }
    }
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            double v = std::min(1.0, light[y * 512 + x]), h = tint[y * 512 + x];
            uint8_t *q = p.at(x, y);
            q[0] = byte(v * (0.85 + 0.15 * h));
            q[1] = byte(v * 0.9);
            q[2] = byte(v * (1.0 - 0.2 * h));
            q[3] = byte(v * 4.0);
        }
    return p;
}

// Distance from (px, py) to the segment a-b.
double segmentDistance(double px, double py, double ax, double ay, double bx, double by) {
    double vx = bx - ax, vy = by - ay, wx = px - ax, wy = py - ay;
    double t = (vx * wx + vy * wy) / (vx * vx + vy * vy);
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    double dx = wx - t * vx, dy = wy - t * vy;
    return std::sqrt(dx * dx + dy * dy);
}

struct Stroke {
    double ax, ay, bx, by;
};

// The strokes of the word VORTAN, letters in boxes 1 wide and 1.4 high, 0.45 apart; curves
// are polylines.
std::vector<Stroke> titleStrokes() {
    std::vector<Stroke> s;
    auto add = [&s](double left, double ax, double ay, double bx, double by) { s.push_back({left + ax, ay, left + bx, by}); };
    auto arc = [&s](double cx, double cy, double rx, double ry, double from, double to) {
        const int steps = 40;
        for (int i = 0; i < steps; ++i) {
            double a = from + (to - from) * i / steps, b = from + (to - from) * (i + 1) / steps;
            s.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a), cx + rx * std::cos(b), cy + ry * std::sin(b)});
        }
    };
    double x = 0;
    add(x, 0, 1.4, 0.5, 0), add(x, 0.5, 0, 1, 1.4); // V
    x += 1.45;
    arc(x + 0.5, 0.7, 0.5, 0.7, 0, 2 * PI); // O
    x += 1.45;
    add(x, 0, 0, 0, 1.4), add(x, 0, 1.4, 0.55, 1.4), add(x, 0, 0.7, 0.55, 0.7), add(x, 0.45, 0.7, 1, 0); // R
    arc(x + 0.55, 1.05, 0.4, 0.35, -PI / 2, PI / 2);
    x += 1.45;
    add(x, 0, 1.4, 1, 1.4), add(x, 0.5, 1.4, 0.5, 0); // T
    x += 1.45;
    add(x, 0, 0, 0.5, 1.4), add(x, 0.5, 1.4, 1, 0), add(x, 0.2, 0.5, 0.8, 0.5); // A
    x += 1.45;
    add(x, 0, 0, 0, 1.4), add(x, 0, 1.4, 1, 0), add(x, 1, 0, 1, 1.4); // N
    return s;
}

// The title card: VORTAN in white strokes with a cool halo, over transparency.
Picture makeTitle() {
    Picture p(1024, 256, 4);
    const std::vector<Stroke> strokes = titleStrokes();
    const double wordWidth = 5 * 1.45 + 1, scale = 1024 * 0.86 / wordWidth;
    const double left = (1024 - wordWidth * scale) / 2, bottom = (256 - 1.4 * scale) / 2;
    const double half = 0.075; // half the stroke width, in letter units
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 1024; ++x) {
            double u = (x + 0.5 - left) / scale, v = (y + 0.5 - bottom) / scale, d = 1e9;
            for (const Stroke &k : strokes) d = std::min(d, segmentDistance(u, v, k.ax, k.ay, k.bx, k.by));
            double pixel = 1.0 / scale;
            double core = 1.0 - smooth(half - pixel, half + pixel, d);
            double halo = std::exp(-std::max(0.0, d - half) * 9.0) * 0.55;
            uint8_t *q = p.at(x, y);
            q[0] = byte(core + halo * 0.35);
            q[1] = byte(core + halo * 0.65);
            q[2] = byte(core + halo * 1.0);
            q[3] = byte(std::max(core, halo) * 1.5);
        }
    return p;
}

// A horizontal light streak: a thin hot line in a wide blue haze, fading to both ends.
Picture makeStreak() {
    Picture p(512, 64, 4);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 512; ++x) {
            double u = (x + 0.5) / 256.0 - 1, v = (y + 0.5) / 32.0 - 1;
            double along = std::pow(1.0 - std::fabs(u), 2.5);
            double line = std::exp(-v * v * 160.0) * along, haze = std::exp(-v * v * 9.0) * along * 0.45;
            uint8_t *q = p.at(x, y);
            q[0] = byte(line + haze * 0.35);
            q[1] = byte(line + haze * 0.6);
            q[2] = byte(line * 0.9 + haze);
            q[3] = byte((line + haze) * 3.0);
        }
    return p;
}

// A vignette for darkening layers: clear in the middle, dark towards the corners. The colour
// is how much darker the frame gets, and the clear middle has alpha 0 so it is skipped.
Picture makeVignette() {
    Picture p(256, 256, 4);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            double dx = (x + 0.5) / 128.0 - 1, dy = (y + 0.5) / 128.0 - 1;
            double d = 0.92 * smooth(0.55, 1.45, std::sqrt(dx * dx + dy * dy));
            uint8_t *q = p.at(x, y);
            q[0] = q[1] = q[2] = byte(d);
            q[3] = byte(d * 8.0);
        }
    return p;
}

// A glow sprite for additive layers: the colour itself falls to black at the rim (the frame
// gets texel colour added), and alpha is 0 only where nothing would be added.
Picture makeSpark() {
    Picture p(128, 128, 4);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            double dx = (x + 0.5) / 64.0 - 1, dy = (y + 0.5) / 64.0 - 1;
            double r = std::sqrt(dx * dx + dy * dy);
            double core = std::exp(-r * r * 30.0), halo = std::pow(1.0 - smooth(0.0, 1.0, r), 3.0) * 0.55;
            double v = core + halo;
            uint8_t *q = p.at(x, y);
            q[0] = byte(v);
            q[1] = byte(core + halo * 0.7);
            q[2] = byte(core * 0.9 + halo * 0.45);
            q[3] = byte(v * 64.0);
        }
    return p;
}

// Smooth value noise on a grid of period cells (so it tiles), for the nebula.
double tileNoise(double u, double v, int period, uint32_t seed) {
    auto hash = [period, seed](int i, int j) {
        uint32_t h = uint32_t((i % period + period) % period) * 73856093u ^ uint32_t((j % period + period) % period) * 19349663u ^ seed;
        h ^= h >> 13, h *= 0x5bd1e995u, h ^= h >> 15;
        return (h & 0xffff) / 65535.0;
    };
    int i = int(std::floor(u)), j = int(std::floor(v));
    double fu = u - i, fv = v - j;
    fu = fu * fu * (3 - 2 * fu), fv = fv * fv * (3 - 2 * fv);
    double a = hash(i, j), b = hash(i + 1, j), c = hash(i, j + 1), d = hash(i + 1, j + 1);
    return (a * (1 - fu) + b * fu) * (1 - fv) + (c * (1 - fu) + d * fu) * fv;
}

// A nebula: clouds of violet and teal over deep blue, a few stars; for the picture background.
Picture makeNebula() {
    Picture p(512, 512, 3);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            double u = x / 512.0, v = y / 512.0, cloud = 0, tint = 0, amplitude = 0.5;
            for (int octave = 0; octave < 5; ++octave) {
                int period = 4 << octave;
                cloud += amplitude * tileNoise(u * period, v * period, period, 0x9e3779b9u + octave);
                tint += amplitude * tileNoise(u * period + 7.3, v * period + 1.9, period, 0x7f4a7c15u + octave);
                amplitude *= 0.5;
            }
            double c = smooth(0.35, 0.95, cloud), t = smooth(0.3, 0.7, tint);
            uint8_t *q = p.at(x, y);
            q[0] = byte(0.03 + c * (0.55 * (1 - t) + 0.05 * t) + c * c * 0.3);
            q[1] = byte(0.02 + c * (0.12 * (1 - t) + 0.45 * t) + c * c * 0.25);
            q[2] = byte(0.10 + c * (0.55 * (1 - t) + 0.55 * t) + c * c * 0.3);
        }
    // Stars: the same sprinkle as the star field, dimmer, added on top.
    Picture stars = makeStars();
    for (size_t i = 0, n = size_t(512) * 512; i < n; ++i)
        for (int k = 0; k < 3; ++k)
            p.pixels[i * 3 + k] = uint8_t(std::min(255, p.pixels[i * 3 + k] + stars.pixels[i * 4 + k] * 3 / 4));
    return p;
}

// Plain white: a flash with additive blending, a fade to black with darkening blending.
Picture makeWhite() {
    Picture p(16, 16, 4);
    std::fill(p.pixels.begin(), p.pixels.end(), uint8_t(255));
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
    const char *usage =
        "usage: texgen OUTDIR         the bundled show's twelve textures (TGA) into OUTDIR\n"
        "       texgen --seeds OUTDIR tiny pictures of every TGA type the engine reads\n";
    if (argc == 2 && strcmp(argv[1], "--help") == 0) {
        fputs(usage, stdout);
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "--seeds") == 0) return writeSeeds(argv[2]) ? 0 : 1;
    if (argc != 2 || argv[1][0] == '-') {
        fputs(usage, stderr);
        return 2;
    }
    std::string dir = argv[1];
    bool ok = true;
    ok &= save(dir, "glow.tga", makeGlow(), 10);
    ok &= save(dir, "emblem.tga", makeEmblem(), 10, true);
    ok &= save(dir, "plasma.tga", makePlasma(), 2);
    ok &= save(dir, "checker.tga", makeChecker(), 9);
    ok &= save(dir, "envmap.tga", makeEnvironment(), 2, true);
    ok &= save(dir, "stars.tga", makeStars(), 10);
    ok &= save(dir, "title.tga", makeTitle(), 10, true);
    ok &= save(dir, "streak.tga", makeStreak(), 10);
    ok &= save(dir, "vignette.tga", makeVignette(), 10);
    ok &= save(dir, "white.tga", makeWhite(), 2);
    ok &= save(dir, "spark.tga", makeSpark(), 10);
    ok &= save(dir, "nebula.tga", makeNebula(), 2);
    return ok ? 0 : 1;
}
