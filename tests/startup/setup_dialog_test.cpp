// The setup dialog: template 100 as data, the dialog built from it, and the dialog procedure's
// effects on the engine state as plain calls.
#include "startup/setup_dialog.h"

#include "runtime/engine_state.h"
#include "startup/picture_box.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <gtest/gtest.h>

#include <cstring>

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

TEST(DialogTemplate, TemplateHundredAsData) {
    const DialogTemplate *t = resource_FindDialog(DIALOG_SETUP);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(resource_FindDialog(101), nullptr);
    EXPECT_EQ(t->style, WS_POPUP | WS_VISIBLE | WS_BORDER | WS_SYSMENU | DS_CENTER | DS_SETFONT);
    EXPECT_NE(t->style & WS_CAPTION, WS_CAPTION);   // a border, but no title bar
    EXPECT_EQ(t->cx, 390);
    EXPECT_EQ(t->cy, 99);
    EXPECT_STREQ(t->title, "");
    EXPECT_STREQ(t->fontName, "Helv");
    EXPECT_EQ(t->pointSize, 8);
    ASSERT_EQ(t->itemCount, 6);
    const int ids[6] = {201, 1, 2, 101, 102, 103};
    const char *texts[6] = {"#3", "process_", "_terminate", "", "fullscreen", "NoVsync"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(t->items[i].id, ids[i]);
        EXPECT_STREQ(t->items[i].text, texts[i]);
    }
    EXPECT_STREQ(t->items[0].className, "PictureBoxClass");
    EXPECT_STREQ(t->items[3].className, "COMBOBOX");
    EXPECT_EQ(t->items[1].style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(t->items[4].style & BS_TYPEMASK, BS_AUTOCHECKBOX);

    // Pixels: the picture box is the banner's 577 x 98; the buttons sit side by side.
    PixelRect picture = dialog_MapRect(2, 2, 385, 60);
    EXPECT_EQ(picture.x, 3);
    EXPECT_EQ(picture.w, 577);
    EXPECT_EQ(picture.h, 98);
    PixelRect ok = dialog_MapRect(137, 71, 120, 14), cancel = dialog_MapRect(263, 71, 120, 14);
    EXPECT_EQ(ok.x, 205);
    EXPECT_EQ(ok.y, 115);
    EXPECT_EQ(cancel.x - (ok.x + ok.w), 9);
    EXPECT_EQ(dialog_MapRect(0, 0, 390, 99).w, 585);
}

TEST_F(DialogFixture, BuiltFromTheTemplate) {
    ASSERT_EQ(dialog.controlCount, 6);
    EXPECT_EQ(dialog.window->w(), 587);   // 585 x 161 inside a one-pixel border
    EXPECT_EQ(dialog.window->h(), 163);
    EXPECT_EQ(dialog.window->border(), 0);
    Fl_Widget *picture = setup_GetDlgItem(&dialog, IDC_PICTURE);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->x(), 4);
    EXPECT_EQ(picture->w(), 577);
    EXPECT_EQ(picture->h(), 98);
    ASSERT_NE(static_cast<PictureBoxWindow *>(picture)->extra->picture, nullptr);
    EXPECT_STREQ(setup_GetDlgItem(&dialog, IDOK)->label(), "process_");
    EXPECT_STREQ(setup_GetDlgItem(&dialog, IDCANCEL)->label(), "_terminate");
    EXPECT_STREQ(setup_GetDlgItem(&dialog, IDC_FULLSCREEN)->label(), "fullscreen");
    EXPECT_STREQ(setup_GetDlgItem(&dialog, IDC_NOVSYNC)->label(), "NoVsync");
    EXPECT_EQ(dialog.controls[1].kind, DialogControlKind::DefaultButton);
    EXPECT_EQ(setup_GetDlgItem(&dialog, 999), nullptr);

    // WM_INITDIALOG filled the list: three entries, the first selected; both boxes clear.
    Fl_Choice *list = static_cast<Fl_Choice *>(setup_GetDlgItem(&dialog, IDC_RESOLUTION));
    EXPECT_EQ(setup_SendDlgItemMessage(&dialog, IDC_RESOLUTION, CB_GETCOUNT, 0, 0), 3);
    EXPECT_STREQ(list->text(0), "640.480");
    EXPECT_STREQ(list->text(1), "800.600");
    EXPECT_STREQ(list->text(2), "1024.768");
    EXPECT_EQ(setup_SendDlgItemMessage(&dialog, IDC_RESOLUTION, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(setup_SendDlgItemMessage(&dialog, IDC_FULLSCREEN, BM_GETCHECK, 0, 0), 0);
    EXPECT_EQ(setup_SendDlgItemMessage(&dialog, IDC_NOVSYNC, BM_GETCHECK, 0, 0), 0);
    // Filling again starts the list afresh; texts are literal.
    setup_FillResolutions(&dialog);
    EXPECT_EQ(setup_SendDlgItemMessage(&dialog, IDC_RESOLUTION, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(setup_SendDlgItemMessage(&dialog, IDC_RESOLUTION, CB_ADDSTRING, 0, reinterpret_cast<intptr_t>("a/b_&c")), 3);
    EXPECT_STREQ(list->text(3), "a/b_&c");
    EXPECT_EQ(setup_SendDlgItemMessage(&dialog, IDC_RESOLUTION, CB_SETCURSEL, 7, 0), CB_ERR);
}

TEST_F(DialogFixture, ChoicesWrittenIntoTheEngineState) {
    choose(2);
    EXPECT_EQ(engine.screenWidth, 1024);
    EXPECT_EQ(engine.screenHeight, 768);
    choose(0);
    EXPECT_EQ(engine.screenWidth, 640);
    EXPECT_EQ(engine.screenHeight, 480);
    choose(1);
    EXPECT_EQ(engine.screenWidth, 800);
    EXPECT_EQ(engine.screenHeight, 600);
    // Another notification than a selection change, or an entry past the table: unchanged.
    setup_SendDlgItemMessage(&dialog, IDC_RESOLUTION, CB_SETCURSEL, 2, 0);
    EXPECT_EQ(command(IDC_RESOLUTION, 3), 0);
    EXPECT_EQ(engine.screenWidth, 800);
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
    EXPECT_EQ(command(IDC_NOVSYNC, 5), 0);   // not BN_CLICKED: ignored
    EXPECT_EQ(engine.swapInterval, 0);
    tick(IDC_NOVSYNC);
    tick(IDC_NOVSYNC);
    EXPECT_EQ(engine.swapInterval, 1);
    EXPECT_EQ(started.calls, 0);
    EXPECT_FALSE(dialog.ended);
}

TEST_F(DialogFixture, ProcessStartsTheEngineAfterTheDialogEnded) {
    choose(1);
    EXPECT_EQ(command(IDOK, BN_CLICKED), 1);
    EXPECT_EQ(started.calls, 1);
    EXPECT_TRUE(started.dialogEnded);
    EXPECT_EQ(started.width, 800);
    EXPECT_EQ(dialog.result, 0);
}

TEST_F(DialogFixture, TerminateAndCloseEndWithoutTheEngine) {
    EXPECT_EQ(command(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(dialog.ended);
    EXPECT_EQ(dialog.result, 0);
    dialog.ended = false;
    EXPECT_EQ(setup_DialogProc(&dialog, WM_CLOSE, 0, 0), 1);
    EXPECT_TRUE(dialog.ended);
    EXPECT_EQ(setup_DialogProc(&dialog, 0x0200, 0, 0), 0);   // other messages are not handled
    EXPECT_EQ(command(555, BN_CLICKED), 0);
    EXPECT_EQ(started.calls, 0);
}

TEST(DialogCreate, FailsWithoutThePictureBoxClass) {
    PictureBox_Unregister();
    SetupDialog dialog;
    EXPECT_FALSE(setup_CreateDialog(*resource_FindDialog(DIALOG_SETUP), setup_DialogProc, dialog));
    EXPECT_EQ(dialog.window, nullptr);
    EXPECT_EQ(setup_DialogBox(DIALOG_SETUP, setup_DialogProc), -1);
    EXPECT_EQ(setup_DialogBox(42, setup_DialogProc), -1);   // no such template
    PictureBox_Register();
}
