// Test pictures for the picture box: JPEGs encoded here with libjpeg, written to files as needed.
#pragma once
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <cstdlib>
#include <string>
#include <vector>

// Encodes width x height pixels (components 1 or 3, top row first) as a baseline JPEG.
inline std::string testjpeg_Encode(const std::vector<unsigned char> &pixels, int width, int height, int components,
                                   int quality = 100) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = unsigned(width);
    cinfo.image_height = unsigned(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<unsigned char *>(&pixels[size_t(cinfo.next_scanline) * size_t(width * components)]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string bytes(reinterpret_cast<char *>(buffer), size);
    jpeg_destroy_compress(&cinfo);
    free(buffer);
    return bytes;
}

struct TestRgb {
    unsigned char r, g, b;
};

// A picture in four flat quadrants: top left, top right, bottom left, bottom right.
inline std::string testjpeg_Quadrants(int width, int height, const TestRgb (&colours)[4]) {
    std::vector<unsigned char> pixels(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const TestRgb &c = colours[(y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0)];
            unsigned char *p = &pixels[(size_t(y) * size_t(width) + size_t(x)) * 3];
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
        }
    }
    return testjpeg_Encode(pixels, width, height, 3);
}
