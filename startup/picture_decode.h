// What every platform's picture box control shares: its style flags and the JPEG decoder
// (plain bytes in, 8-bit RGB out).
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

// The flag word: one sizing flag and at most one picture-type flag.
constexpr uint32_t PBS_BITMAP = 0x0001;       // "#n" is a bitmap resource
constexpr uint32_t PBS_ICON = 0x0002;         // "#n" is an icon resource
constexpr uint32_t PBS_RESOURCE = 0x0004;     // "#n" is an image file kept as raw data resource n
constexpr uint32_t PBS_RESOURCE2 = 0x0008;    // same as PBS_RESOURCE
constexpr uint32_t PBS_AUTOSIZE = 0x0010;     // the control takes the picture's natural size
constexpr uint32_t PBS_FIT = 0x0020;          // the control keeps its own size
constexpr uint32_t PBS_CLIENTEDGE = 0x0200;   // sunken edge
constexpr uint32_t PBS_TOGGLEBORDER = 0x800000; // with PBX_SETSTYLE: drop the edge, toggle the border

constexpr int PICTUREBOX_MAX_EDGE = 16384;     // bigger pictures are refused, not allocated
constexpr size_t PICTUREBOX_MAX_FILE = size_t(64) << 20; // picture files above 64 MiB are refused

// A decoded picture: 8-bit RGB, top row first.
struct PictureBoxImage {
    int width = 0;
    int height = 0;
    std::unique_ptr<unsigned char[]> rgb;
};

// Decodes a JPEG held in memory (exactly size bytes are read). A damaged or truncated picture
// gives false and leaves image empty; libjpeg's errors never end the process.
bool PictureBox_DecodeJpeg(const unsigned char *bytes, size_t size, PictureBoxImage &image);

