// The setup dialog: the dialog built from template 100, and the dialog procedure's effects on the
// engine state as plain calls.
#include "startup/setup_dialog.h"

#include "runtime/engine_state.h"
#include "startup/picture_box.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

namespace {
struct StartRecord {
    int calls = 0;
    bool dialogEnded = false;
    int width = 0;
};
StartRecord started;
SetupDialog *watched = nullptr;

void recordStart() {
    ++started.calls;
    started.dialogEnded = watched && watched->ended;
    started.width = engine.screenWidth;
}

struct DialogFixture : ::testing::Test {
    SetupDialog dialog;
    void SetUp() override {
        engine_ResetState();
        started = StartRecord{};
        PictureBox_Register();
        setup_SetEngineStart(recordStart);
        ASSERT_TRUE(setup_CreateDialog(*resource_FindDialog(DIALOG_SETUP), setup_DialogProc, dialog));
        watched = &dialog;
    }
    void TearDown() override {
        setup_DestroyDialog(dialog);
        setup_SetEngineStart(nullptr);
        watched = nullptr;
    }
    intptr_t command(int id, unsigned code) {
        return setup_DialogProc(&dialog, WM_COMMAND, setup_MakeWParam(unsigned(id), code), 0);
    }
    void choose(int index) {
        setup_SendDlgItemMessage(&dialog, IDC_RESOLUTION, CB_SETCURSEL, uintptr_t(index), 0);
        command(IDC_RESOLUTION, CBN_SELCHANGE);
    }
    void tick(int id) {   // an automatic check box has changed its state when BN_CLICKED comes
        intptr_t now = setup_SendDlgItemMessage(&dialog, id, BM_GETCHECK, 0, 0);
        setup_SendDlgItemMessage(&dialog, id, BM_SETCHECK, now ? 0 : 1, 0);
        command(id, BN_CLICKED);
    }
};
} // namespace

TEST_F(DialogFixture, BuiltFromTemplateHundred) {
    // Dialog units in pixels of an 8-point font: the buttons sit side by side, the picture box is
    // the banner's 577 x 98, the whole 585 x 161 inside a one-pixel border and no title bar.
    PixelRect ok = dialog_MapRect(137, 71, 120, 14), cancel = dialog_MapRect(263, 71, 120, 14);
    EXPECT_EQ(std::make_tuple(ok.x, ok.y, cancel.x - (ok.x + ok.w)), std::make_tuple(205, 115, 9));
    ASSERT_EQ(dialog.controlCount, 6);
    EXPECT_EQ(std::make_tuple(dialog.window->w(), dialog.window->h(), dialog.window->border()), std::make_tuple(587, 163, 0));
    Fl_Widget *picture = setup_GetDlgItem(&dialog, IDC_PICTURE);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(std::make_tuple(picture->x(), picture->w(), picture->h()), std::make_tuple(4, 577, 98));
    EXPECT_NE(static_cast<PictureBoxWindow *>(picture)->extra->picture, nullptr);
    const std::pair<int, const char *> labels[] = {
        {IDOK, "process_"}, {IDCANCEL, "_terminate"}, {IDC_FULLSCREEN, "fullscreen"}, {IDC_NOVSYNC, "NoVsync"}};
    for (const auto &[id, label] : labels) EXPECT_STREQ(setup_GetDlgItem(&dialog, id)->label(), label);
    EXPECT_EQ(dialog.controls[1].kind, DialogControlKind::DefaultButton);
    EXPECT_EQ(setup_GetDlgItem(&dialog, 999), nullptr);

    // WM_INITDIALOG filled the list: three entries, the first selected; both boxes clear.
    // Filling again starts the list afresh.
    setup_FillResolutions(&dialog);
    Fl_Choice *list = static_cast<Fl_Choice *>(setup_GetDlgItem(&dialog, IDC_RESOLUTION));
    EXPECT_EQ(setup_SendDlgItemMessage(&dialog, IDC_RESOLUTION, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(std::make_tuple(std::string(list->text(0)), std::string(list->text(1)), std::string(list->text(2))),
              std::make_tuple(std::string("640.480"), std::string("800.600"), std::string("1024.768")));
    EXPECT_EQ(setup_SendDlgItemMessage(&dialog, IDC_RESOLUTION, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(setup_SendDlgItemMessage(&dialog, IDC_FULLSCREEN, BM_GETCHECK, 0, 0), 0);
    EXPECT_EQ(setup_SendDlgItemMessage(&dialog, IDC_NOVSYNC, BM_GETCHECK, 0, 0), 0);
    EXPECT_EQ(setup_SendDlgItemMessage(&dialog, IDC_RESOLUTION, CB_ADDSTRING, 0, reinterpret_cast<intptr_t>("a/b_&c")), 3);
    EXPECT_STREQ(list->text(3), "a/b_&c"); // texts are literal
    EXPECT_EQ(setup_SendDlgItemMessage(&dialog, IDC_RESOLUTION, CB_SETCURSEL, 7, 0), CB_ERR);
}

TEST_F(DialogFixture, ChoicesWrittenIntoTheEngineState) {
    choose(2);
    EXPECT_EQ(engine.screenWidth, 1024);
    choose(0);
    EXPECT_EQ(std::make_pair(engine.screenWidth, engine.screenHeight), std::make_pair(640, 480));
    choose(1);
    EXPECT_EQ(std::make_pair(engine.screenWidth, engine.screenHeight), std::make_pair(800, 600));
    // Another notification than a selection change, or an entry past the table: unchanged.
    setup_SendDlgItemMessage(&dialog, IDC_RESOLUTION, CB_SETCURSEL, 2, 0);
    EXPECT_EQ(command(IDC_RESOLUTION, 3), 0);
    setup_SendDlgItemMessage(&dialog, IDC_RESOLUTION, CB_ADDSTRING, 0, reinterpret_cast<intptr_t>("2048.1536"));
    choose(3);
    EXPECT_EQ(engine.screenWidth, 800);

    tick(IDC_FULLSCREEN);
    EXPECT_EQ(engine.windowMode, ENGINE_FULLSCREEN);
    tick(IDC_FULLSCREEN);
    EXPECT_EQ(engine.windowMode, ENGINE_WINDOW);
    tick(IDC_NOVSYNC);
    EXPECT_EQ(engine.swapInterval, 0);
    setup_SendDlgItemMessage(&dialog, IDC_NOVSYNC, BM_SETCHECK, 0, 0);
    EXPECT_EQ(command(IDC_NOVSYNC, 5), 0); // not BN_CLICKED: ignored
    EXPECT_EQ(engine.swapInterval, 0);
    tick(IDC_NOVSYNC);
    tick(IDC_NOVSYNC);
    EXPECT_EQ(engine.swapInterval, 1);
    EXPECT_EQ(started.calls, 0);
    EXPECT_FALSE(dialog.ended);
}

TEST_F(DialogFixture, ProcessStartsTheEngineTerminateAndCloseDoNot) {
    EXPECT_EQ(command(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(dialog.ended);
    dialog.ended = false;
    EXPECT_EQ(setup_DialogProc(&dialog, WM_CLOSE, 0, 0), 1);
    EXPECT_TRUE(dialog.ended);
    EXPECT_EQ(setup_DialogProc(&dialog, 0x0200, 0, 0), 0); // other messages are not handled
    EXPECT_EQ(command(555, BN_CLICKED), 0);
    EXPECT_EQ(started.calls, 0);
    EXPECT_EQ(dialog.result, 0);

    // "process_" ends the dialog first, then starts the engine with the chosen settings.
    dialog.ended = false;
    choose(1);
    EXPECT_EQ(command(IDOK, BN_CLICKED), 1);
    EXPECT_EQ(started.calls, 1);
    EXPECT_TRUE(started.dialogEnded);
    EXPECT_EQ(started.width, 800);
    EXPECT_EQ(dialog.result, 0);
}

TEST(DialogCreate, FailsWithoutThePictureBoxClass) {
    PictureBox_Unregister();
    SetupDialog dialog;
    EXPECT_FALSE(setup_CreateDialog(*resource_FindDialog(DIALOG_SETUP), setup_DialogProc, dialog));
    EXPECT_EQ(dialog.window, nullptr);
    EXPECT_EQ(setup_DialogBox(DIALOG_SETUP, setup_DialogProc), -1);
    EXPECT_EQ(setup_DialogBox(42, setup_DialogProc), -1); // no such template
    PictureBox_Register();
}
