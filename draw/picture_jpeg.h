// The JPEG decoder of the setup dialog's picture box and of JPEG textures: a JPEG held in memory
// to 8-bit RGB, with the picture size capped before anything is decompressed. No window, no GL.
#pragma once
#include <cstddef>
#include <memory>

constexpr int PICTUREBOX_MAX_EDGE = 16384;                 // wider or taller pictures are refused
constexpr long PICTUREBOX_MAX_PIXELS = 4096L * 4096L;      // so are pictures of more pixels
constexpr size_t PICTUREBOX_MAX_FILE = size_t(64) << 20;   // picture files above 64 MiB are refused
constexpr size_t PICTUREBOX_ERROR_SIZE = 160;

// A decoded picture: 8-bit RGB, top row first. error says why the last decode failed.
struct PictureBoxImage {
    int width = 0;
    int height = 0;
    std::unique_ptr<unsigned char[]> rgb;
    char error[PICTUREBOX_ERROR_SIZE] = "";
};

// Decodes a JPEG held in memory (exactly size bytes are read). A damaged, truncated or too large
// picture gives false, leaves image empty and puts the reason in image.error; libjpeg's errors
// never end the process.
bool PictureBox_DecodeJpeg(const unsigned char *bytes, size_t size, PictureBoxImage &image);
