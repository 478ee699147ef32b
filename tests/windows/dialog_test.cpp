// The Win32 setup dialog: built from template 100 with its classes, ids and texts, the
// resolution list filled, the banner loaded, and Enter / Esc reaching the procedure.
#include "startup/setup_dialog_win32.h"

#include "startup/picture_styles.h"
#include "state/engine_state.h"

#include <gtest/gtest.h>

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
    const auto banner = reinterpret_cast<intptr_t>("#3"), missing = reinterpret_cast<intptr_t>("#99");
    EXPECT_EQ(setup_SendDlgItemMessage(&dialog, IDC_PICTURE, BM_SETIMAGE, PBS_RESOURCE, banner), 0);
    EXPECT_EQ(setup_SendDlgItemMessage(&dialog, IDC_PICTURE, BM_SETIMAGE, PBS_RESOURCE, missing), 1);
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
