// TGA loading speed: our reader beside stb_image on the same bytes, the power-of-two
// resampling, and the whole slot load path (decode + resample + upload with mipmaps).
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <tuple>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_TGA
#include <stb/stb_image.h>

#include "draw/texture.h"
#include "tests/support/gl_window.h"
#include "tools/texgen/tga_write.h"

namespace {

GLFWwindow *window = nullptr;

// A picture like a demo's: soft bands with flat stretches, so run-length encoding has runs.
std::vector<uint8_t> picture(int w, int h, int c) {
    std::vector<uint8_t> p(static_cast<size_t>(w) * h * c);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < c; ++k) {
                int band = ((x * 7 / w + y * 5 / h) * 37 + k * 50) & 0xFF;
                int wobble = ((x >> 4) ^ (y >> 4)) & 3 ? 0 : (x + y) & 0x3F;
                p[(static_cast<size_t>(y) * w + x) * c + k] = static_cast<uint8_t>(band + wobble);
            }
    return p;
}

// Encoded files by (edge, rle, bits), made once.
const std::vector<uint8_t> &file(int edge, bool rle, int bits) {
    static std::map<std::tuple<int, bool, int>, std::vector<uint8_t>> files;
    auto key = std::make_tuple(edge, rle, bits);
    auto found = files.find(key);
    if (found != files.end()) return found->second;
    TgaWriteOptions o;
    o.imageType = rle ? 10 : 2;
    std::vector<uint8_t> pixels = picture(edge, edge, bits / 8);
    return files[key] = tgawrite_Encode(pixels.data(), edge, edge, bits / 8, o);
}

void label(benchmark::State &state, const std::vector<uint8_t> &bytes) {
    int64_t edge = state.range(0);
    state.SetBytesProcessed(state.iterations() * edge * edge * (state.range(2) / 8));
    state.counters["file_kB"] = static_cast<double>(bytes.size()) / 1024.0;
    state.SetLabel(std::string(state.range(1) ? "rle " : "raw ") + std::to_string(state.range(2)) + "-bit");
}

void BM_TgaDecode(benchmark::State &state) {
    const std::vector<uint8_t> &bytes = file(static_cast<int>(state.range(0)), state.range(1), static_cast<int>(state.range(2)));
    for (auto _ : state) {
        TgaImage image;
        if (!tga_Decode(bytes.data(), bytes.size(), &image)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(image.pixels.data());
    }
    label(state, bytes);
}

void BM_StbDecode(benchmark::State &state) {
    const std::vector<uint8_t> &bytes = file(static_cast<int>(state.range(0)), state.range(1), static_cast<int>(state.range(2)));
    stbi_set_flip_vertically_on_load(1); // bottom row first, as the texture wants it
    for (auto _ : state) {
        int w, h, c;
        stbi_uc *pixels = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &c, 0);
        if (!pixels) state.SkipWithError("stb decode failed");
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
    }
    label(state, bytes);
}

// Decode + resample + upload with mipmaps, as a slot load does it (the file read aside).
void BM_TgaLoadUpload(benchmark::State &state) {
    if (!window) {
        state.SkipWithError("no display");
        return;
    }
    const std::vector<uint8_t> &bytes = file(static_cast<int>(state.range(0)), state.range(1), static_cast<int>(state.range(2)));
    glBindTexture(GL_TEXTURE_2D, 1);
    for (auto _ : state) {
        TgaImage image;
        if (!tga_Decode(bytes.data(), bytes.size(), &image) || !tga_ResampleToPowerOfTwo(&image) ||
            !texture_Upload(image, true))
            state.SkipWithError("load failed");
        glFinish();
    }
    label(state, bytes);
}

// The resampling alone, from just above the next lower power of two (the costliest case).
void BM_TgaResample(benchmark::State &state) {
    int edge = static_cast<int>(state.range(0));
    TgaImage source;
    source.width = source.height = edge / 2 + 1;
    source.components = static_cast<int>(state.range(1));
    source.pixels = picture(source.width, source.height, source.components);
    for (auto _ : state) {
        TgaImage image = source;
        tga_ResampleToPowerOfTwo(&image);
        benchmark::DoNotOptimize(image.pixels.data());
    }
    state.SetLabel(std::to_string(source.width) + " -> " + std::to_string(edge) + ", " +
                   std::to_string(source.components * 8) + "-bit");
}

void fileArgs(benchmark::internal::Benchmark *b) {
    for (int edge : {256, 1024, 2048})
        for (int rle : {0, 1})
            for (int bits : {24, 32}) b->Args({edge, rle, bits});
    b->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_TgaDecode)->Apply(fileArgs);
BENCHMARK(BM_StbDecode)->Apply(fileArgs);
BENCHMARK(BM_TgaLoadUpload)->Apply(fileArgs);
BENCHMARK(BM_TgaResample)->ArgsProduct({{256, 1024, 2048}, {3, 4}})->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (getenv("DISPLAY")) window = testgl_Open(64, 64);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (window) testgl_Close(window);
    return 0;
}
