// Dialog template 100, the setup dialog, kept as data: its window style, size in dialog units,
// font, and the six controls with their ids, classes, texts, styles and positions.
#pragma once
#include <cstdint>

// Window and control styles, with the values the template was written in.
constexpr uint32_t WS_POPUP = 0x80000000u;
constexpr uint32_t WS_CHILD = 0x40000000u;
constexpr uint32_t WS_VISIBLE = 0x10000000u;
constexpr uint32_t WS_CAPTION = 0x00C00000u;
constexpr uint32_t WS_BORDER = 0x00800000u;
constexpr uint32_t WS_VSCROLL = 0x00200000u;
constexpr uint32_t WS_SYSMENU = 0x00080000u;
constexpr uint32_t WS_TABSTOP = 0x00010000u;
constexpr uint32_t WS_EX_CLIENTEDGE = 0x00000200u;
constexpr uint32_t DS_SETFONT = 0x0040u;
constexpr uint32_t DS_CENTER = 0x0800u;
constexpr uint32_t DS_NOFAILCREATE = 0x0010u;
constexpr uint32_t BS_PUSHBUTTON = 0x0000u;
constexpr uint32_t BS_DEFPUSHBUTTON = 0x0001u;
constexpr uint32_t BS_AUTOCHECKBOX = 0x0003u;
constexpr uint32_t BS_TYPEMASK = 0x000Fu;
constexpr uint32_t BS_FLAT = 0x8000u;
constexpr uint32_t CBS_DROPDOWNLIST = 0x0003u;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDC_PICTURE = 201;
constexpr int IDC_RESOLUTION = 101;
constexpr int IDC_FULLSCREEN = 102;
constexpr int IDC_NOVSYNC = 103;

constexpr int DIALOG_MAX_ITEMS = 8;
constexpr int DIALOG_SETUP = 100;

struct DialogItemTemplate {
    int id;
    const char *className;   // "BUTTON", "COMBOBOX" or a registered class such as "PictureBoxClass"
    const char *text;
    uint32_t style;
    int x, y, cx, cy;        // dialog units
};

struct DialogTemplate {
    int resourceId;
    int language;            // 1036: French (France)
    uint32_t style;
    uint32_t exStyle;
    int x, y, cx, cy;        // dialog units; the position is unused with DS_CENTER
    const char *title;
    const char *fontName;
    int pointSize;
    int itemCount;
    DialogItemTemplate items[DIALOG_MAX_ITEMS];
};

// Template 100, or null for an id the program does not carry.
const DialogTemplate *resource_FindDialog(int id);

// Dialog units to pixels for the template's 8-point font, whose base units are 6 x 13 pixels:
// x * 6 / 4 and y * 13 / 8, each rounded to the nearest pixel (a half goes down).
constexpr int DIALOG_BASE_X = 6;
constexpr int DIALOG_BASE_Y = 13;
constexpr int dialog_UnitsToPixelsX(int units) { return (units * DIALOG_BASE_X * 2 + 4 - 1) / (4 * 2); }
constexpr int dialog_UnitsToPixelsY(int units) { return (units * DIALOG_BASE_Y * 2 + 8 - 1) / (8 * 2); }

// A rectangle is mapped by its edges, so neighbouring controls keep their pixel gaps; the
// picture box (2, 2, 385, 60) becomes 577 x 98 pixels, the banner's own size.
struct PixelRect {
    int x, y, w, h;
};
constexpr PixelRect dialog_MapRect(int x, int y, int cx, int cy) {
    return {dialog_UnitsToPixelsX(x), dialog_UnitsToPixelsY(y),
            dialog_UnitsToPixelsX(x + cx) - dialog_UnitsToPixelsX(x),
            dialog_UnitsToPixelsY(y + cy) - dialog_UnitsToPixelsY(y)};
}
static_assert(dialog_MapRect(2, 2, 385, 60).w == 577 && dialog_MapRect(2, 2, 385, 60).h == 98,
              "the picture box shows the banner at its own size");
