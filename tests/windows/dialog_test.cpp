// The Win32 setup dialog: built from template 100 with its classes, ids and texts, the
// resolution list filled, the banner loaded, Enter / Esc reaching the procedure, and the picture
// box's messages as on every platform.
#include "startup/setup_dialog_win32.h"

#include "resources/rcdata.h"
#include "startup/picture_styles.h"
#include "state/engine_state.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>

namespace {
int starts = 0;
void recordStart() { ++starts; }

struct Win32Dialog : ::testing::Test {
    SetupDialog dialog;
    void SetUp() override {
        engine_ResetState();
        starts = 0;
        ASSERT_EQ(setup_RegisterControls(), 1);
        setup_SetEngineStart(recordStart);
        ASSERT_TRUE(setup_CreateDialog(*resource_FindDialog(DIALOG_SETUP), setup_DialogProc, dialog));
    }
    void TearDown() override {
        setup_DestroyDialog(dialog);
        setup_SetEngineStart(nullptr);
    }
    void press(WPARAM key) {
        MSG message = {GetFocus() ? GetFocus() : dialog.window, WM_KEYDOWN, key, 0, 0, {0, 0}};
        IsDialogMessageA(dialog.window, &message);
    }
};

TEST_F(Win32Dialog, ControlsFollowTemplate100) {
    const DialogTemplate &t = *resource_FindDialog(DIALOG_SETUP);
    for (int i = 0; i < t.itemCount; ++i) {
        const DialogItemTemplate &item = t.items[i];
        HWND control = GetDlgItem(dialog.window, item.id);
        ASSERT_TRUE(control) << item.id;
        char name[64] = "", text[64] = "";
        GetClassNameA(control, name, sizeof name);
        EXPECT_EQ(lstrcmpiA(name, item.className), 0) << item.id << " " << name;
        GetWindowTextA(control, text, sizeof text);
        if (item.id != IDC_RESOLUTION) {
            EXPECT_STREQ(text, item.text) << item.id;
        }
    }
    char first[32] = "";
    EXPECT_EQ(setup_SendDlgItemMessage(&dialog, IDC_RESOLUTION, CB_GETCOUNT, 0, 0), 3);
    setup_SendDlgItemMessage(&dialog, IDC_RESOLUTION, CB_GETLBTEXT, 2, reinterpret_cast<intptr_t>(first));
    EXPECT_STREQ(first, "1024.768");
}

// The control's client area as the control paints it, B, G, R, A top row first.
std::vector<uint32_t> clientPixels(HWND control) {
    RECT client;
    GetClientRect(control, &client);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageA(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    const uint32_t *first = static_cast<const uint32_t *>(bits);
    std::vector<uint32_t> pixels(first, first + size_t(client.right) * size_t(client.bottom));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixels;
}

SIZE windowSize(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

// BM_SETIMAGE keeps the picture on screen when a name cannot be loaded (the name and type flag
// change all the same) and reads JPEG files as well as resources; PBX_SETSTYLE changes flags,
// edge and border, and the size only when both edges are given; PBX_SETCURSOR's cursor is shown.
TEST_F(Win32Dialog, PictureBoxMessages) {
    HWND box = GetDlgItem(dialog.window, IDC_PICTURE);
    ASSERT_TRUE(box);
    EXPECT_EQ(PictureBox_Flags(box), PBS_FIT | PBS_RESOURCE);
    const std::vector<uint32_t> banner = clientPixels(box);
    const uint32_t face = GetSysColor(COLOR_BTNFACE); // 0x00BBGGRR
    size_t painted = 0;
    for (uint32_t p : banner) painted += (p & 0xFFFFFF) != (((face & 0xFF) << 16) | (face & 0xFF00) | (face >> 16 & 0xFF));
    EXPECT_GT(painted, banner.size() / 2) << "the banner is not painted";

    const std::string file = std::string(getenv("TEMP") ? getenv("TEMP") : ".") + "\\vortan-banner.jpg";
    const RcData jpeg = resource_FindRcData(3);
    FILE *out = fopen(file.c_str(), "wb");
    ASSERT_TRUE(out && jpeg.bytes);
    fwrite(jpeg.bytes, 1, jpeg.size, out);
    fclose(out);
    const struct { const char *name; uint32_t types; intptr_t result; uint32_t flags; } cases[] = {
        {"no-such-picture.jpg", 0, 1, PBS_FIT},             // not loaded: the banner stays
        {"#99", PBS_RESOURCE2, 1, PBS_FIT | PBS_RESOURCE2}, // no such resource
        {"#3", PBS_ICON, 1, PBS_FIT | PBS_ICON},            // the program has no icon resources
        {file.c_str(), 0, 0, PBS_FIT},                      // the banner's bytes as a file
        {"#3", PBS_RESOURCE, 0, PBS_FIT | PBS_RESOURCE},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(SendMessageA(box, BM_SETIMAGE, c.types, reinterpret_cast<LPARAM>(c.name)), c.result) << c.name;
        EXPECT_EQ(PictureBox_Flags(box), c.flags) << c.name;
        EXPECT_EQ(clientPixels(box), banner) << c.name;
    }
    remove(file.c_str());

    const SIZE before = windowSize(box);
    EXPECT_EQ(SendMessageA(box, PBX_SETSTYLE, PBS_FIT | PBS_CLIENTEDGE, MAKELPARAM(200, 0)), 0);
    EXPECT_EQ(PictureBox_Flags(box), PBS_FIT | PBS_CLIENTEDGE | PBS_RESOURCE);
    EXPECT_TRUE(windowSize(box).cx == before.cx && windowSize(box).cy == before.cy);
    EXPECT_EQ(GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, LONG(WS_EX_CLIENTEDGE));
    const LONG border = GetWindowLongA(box, GWL_STYLE) & LONG(WS_BORDER);
    SendMessageA(box, PBX_SETSTYLE, PBS_FIT | PBS_TOGGLEBORDER, MAKELPARAM(120, 30));
    EXPECT_EQ(GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    EXPECT_NE(GetWindowLongA(box, GWL_STYLE) & LONG(WS_BORDER), border);
    EXPECT_TRUE(windowSize(box).cx == 120 && windowSize(box).cy == 30);

    HCURSOR cross = LoadCursor(nullptr, IDC_CROSS);
    const LPARAM hover = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
    EXPECT_EQ(SendMessageA(box, PBX_SETCURSOR, 0, reinterpret_cast<LPARAM>(cross)), 0);
    EXPECT_EQ(SendMessageA(box, WM_SETCURSOR, reinterpret_cast<WPARAM>(box), hover), TRUE);
    EXPECT_EQ(GetCursor(), cross);
    SendMessageA(box, PBX_SETCURSOR, 0, 0); // back to the class cursor
    SendMessageA(box, WM_SETCURSOR, reinterpret_cast<WPARAM>(box), hover);
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_ARROW));
}

TEST_F(Win32Dialog, EnterStartsTheShowAndEscQuits) {
    setup_SendDlgItemMessage(&dialog, IDC_RESOLUTION, CB_SETCURSEL, 1, 0);
    SendMessageA(dialog.window, WM_COMMAND, MAKEWPARAM(IDC_RESOLUTION, CBN_SELCHANGE), 0);
    EXPECT_EQ(engine.screenWidth, 800);
    press(VK_ESCAPE);
    EXPECT_TRUE(dialog.ended);
    EXPECT_EQ(starts, 0);
    dialog.ended = false;
    press(VK_RETURN);
    EXPECT_TRUE(dialog.ended);
    EXPECT_EQ(starts, 1);
}
} // namespace
