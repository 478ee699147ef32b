// The capture's PNG encoder beside libpng at the settings the capture used before it (level 1,
// "sub" rows, run-length matching): time per frame and bytes, on frames of a real capture.
// Usage: png_bench FOLDER (frame-NNNNN.png files, e.g. from vortan --fps 5 --capture FOLDER).
#include <benchmark/benchmark.h>
#include <cstdio>
#include <png.h>
#include <string>
#include <vector>
#include <zlib.h>

#include "capture/capture_png.h"

namespace {
struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;  // top row first
    std::vector<unsigned char> bgra; // bottom row first, as the capture reads a frame back
    const unsigned char *at(int row) const { return rgb.data() + size_t(row) * size_t(width) * 3; }
};
std::vector<Picture> frames;

bool readPng(const char *path, Picture *picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path)) return false;
    image.format = PNG_FORMAT_RGB;
    picture->width = int(image.width);
    picture->height = int(image.height);
    picture->rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture->rgb.data(), 0, nullptr)) return false;
    picture->bgra.resize(size_t(picture->width) * size_t(picture->height) * 4);
    for (int row = 0; row < picture->height; ++row)
        for (int x = 0; x < picture->width; ++x) {
            const unsigned char *in = picture->at(row) + 3 * x;
            unsigned char *out = &picture->bgra[(size_t(picture->height - 1 - row) * size_t(picture->width) + size_t(x)) * 4];
            out[0] = in[2], out[1] = in[1], out[2] = in[0], out[3] = 255;
        }
    return true;
}

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto *bytes = static_cast<std::vector<unsigned char> *>(png_get_io_ptr(png));
    bytes->insert(bytes->end(), data, data + length);
}
void flushNothing(png_structp) {}

bool encodeLibpng(std::vector<unsigned char> &out, const Picture &p) {
    out.clear();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, appendBytes, flushNothing);
    png_set_compression_level(png, 1);
    png_set_compression_strategy(png, Z_RLE);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_IHDR(png, info, png_uint_32(p.width), png_uint_32(p.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int row = 0; row < p.height; ++row) png_write_row(png, const_cast<png_bytep>(p.at(row)));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

// 0: libpng from R, G, B rows (how the capture read frames back before); 1: ours from the same;
// 2: ours from B, G, R, A rows bottom first (how it reads them now).
template <int Way> void BM_EncodeFrame(benchmark::State &state) {
    std::vector<unsigned char> out;
    size_t bytes = 0, encoded = 0, k = 0;
    for (auto _ : state) {
        const Picture &p = frames[k++ % frames.size()];
        const bool ok = Way == 0   ? encodeLibpng(out, p)
                        : Way == 1 ? capture_EncodePng(out, {p.rgb.data(), p.width, p.height, false, false})
                                   : capture_EncodePng(out, {p.bgra.data(), p.width, p.height, true, true});
        if (!ok) state.SkipWithError("encoding failed");
        bytes += out.size();
        ++encoded;
    }
    state.counters["kB/frame"] = double(bytes) / double(encoded) / 1000.0;
    state.SetItemsProcessed(int64_t(encoded));
}
BENCHMARK_TEMPLATE(BM_EncodeFrame, 0)->Name("libpng_level1_rle_rgb")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_EncodeFrame, 1)->Name("capture_png_rgb")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_EncodeFrame, 2)->Name("capture_png_bgra_bottom_up")->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: png_bench FOLDER (the frames of a capture)\n");
        return 2;
    }
    for (int k = 0;; ++k) {
        Picture p;
        char path[4096];
        snprintf(path, sizeof path, "%s/frame-%05d.png", argv[1], k);
        if (!readPng(path, &p)) break;
        frames.push_back(std::move(p));
    }
    if (frames.empty()) {
        fprintf(stderr, "png_bench: no frame-00000.png in %s\n", argv[1]);
        return 1;
    }
    fprintf(stderr, "%zu frames of %dx%d\n", frames.size(), frames[0].width, frames[0].height);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
