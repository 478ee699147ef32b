// What every platform's picture box control shares: its style flags and messages, and the rules
// its window procedure follows on every platform (flags from the creation style, pictures loaded
// by name, what BM_SETIMAGE and PBX_SETSTYLE change). Each platform's control does the windowing.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "draw/picture_jpeg.h"

// The flag word: one sizing flag and at most one picture-type flag.
constexpr uint32_t PBS_BITMAP = 0x0001;       // "#n" is a bitmap resource
constexpr uint32_t PBS_ICON = 0x0002;         // "#n" is an icon resource
constexpr uint32_t PBS_RESOURCE = 0x0004;     // "#n" is an image file kept as raw data resource n
constexpr uint32_t PBS_RESOURCE2 = 0x0008;    // same as PBS_RESOURCE
constexpr uint32_t PBS_AUTOSIZE = 0x0010;     // the control takes the picture's natural size
constexpr uint32_t PBS_FIT = 0x0020;          // the control keeps its own size
constexpr uint32_t PBS_CLIENTEDGE = 0x0200;   // sunken edge
constexpr uint32_t PBS_TOGGLEBORDER = 0x800000; // with PBX_SETSTYLE: drop the edge, toggle the border

constexpr unsigned PBX_SETSTYLE = 0x8000;  // wParam: flag word, lParam: width | height << 16
constexpr unsigned PBX_SETCURSOR = 0x8001; // lParam: the platform's cursor, 0 for the class cursor

constexpr size_t PICTUREBOX_NAME_SIZE = 260;   // window text and picture names: 259 characters
constexpr size_t PICTUREBOX_CLASS_SIZE = 16;   // class names are compared within 16 bytes
constexpr const char *PICTUREBOX_CLASS = "PictureBoxClass";

// WM_CREATE: the flag word from the creation style (one sizing flag, PBS_AUTOSIZE by default, and
// the first picture-type flag carried), and the style without the bits taken.
struct PictureBoxCreation {
    uint32_t flags;
    uint32_t style;
};
PictureBoxCreation PictureBox_CreationFlags(uint32_t style);

// Whether a window's class name, read within PICTUREBOX_CLASS_SIZE bytes, is the control's.
bool PictureBox_IsClassName(const char *className);

// The picture-type flag in flags (the first of PBS_RESOURCE2, PBS_RESOURCE, PBS_BITMAP, PBS_ICON
// present), or 0.
uint32_t PictureBox_PictureType(uint32_t flags);

// Reads the picture a control names: "#n" is raw data resource n when flags carry a resource
// type (the program has no icon or bitmap resources, so those find nothing, as a missing
// resource would); any other name is a JPEG file, relative to the working directory. False when
// nothing can be shown; a picture that was found but cannot be decoded says why on stderr.
bool PictureBox_LoadPicture(const char *name, uint32_t flags, PictureBoxImage &image);

// BM_SETIMAGE: the flag word with its picture-type flag replaced by types.
uint32_t PictureBox_ImageFlags(uint32_t flags, uint32_t types);

// PBX_SETSTYLE: what the control's window gets. flags keeps the current picture type; a client
// edge sets the extended style to the sunken edge, a border toggle clears it and toggles
// WS_BORDER; the size changes only when size holds both a width and a height.
struct PictureBoxStyle {
    uint32_t flags;
    bool clientEdge;     // extended style := WS_EX_CLIENTEDGE
    bool toggleBorder;   // extended style := 0, WS_BORDER toggled (after clientEdge)
    bool resize;
    int width, height;
};
PictureBoxStyle PictureBox_NewStyle(uint32_t flags, uint32_t newFlags, intptr_t size);
