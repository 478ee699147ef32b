// What every platform's picture box control shares: its style flags, and the JPEG decoder
// (startup/picture_jpeg.h).
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "startup/picture_jpeg.h"

// The flag word: one sizing flag and at most one picture-type flag.
constexpr uint32_t PBS_BITMAP = 0x0001;       // "#n" is a bitmap resource
constexpr uint32_t PBS_ICON = 0x0002;         // "#n" is an icon resource
constexpr uint32_t PBS_RESOURCE = 0x0004;     // "#n" is an image file kept as raw data resource n
constexpr uint32_t PBS_RESOURCE2 = 0x0008;    // same as PBS_RESOURCE
constexpr uint32_t PBS_AUTOSIZE = 0x0010;     // the control takes the picture's natural size
constexpr uint32_t PBS_FIT = 0x0020;          // the control keeps its own size
constexpr uint32_t PBS_CLIENTEDGE = 0x0200;   // sunken edge
constexpr uint32_t PBS_TOGGLEBORDER = 0x800000; // with PBX_SETSTYLE: drop the edge, toggle the border
