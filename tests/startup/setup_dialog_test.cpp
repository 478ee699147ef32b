// The setup dialog: the dialog built from template 100, and the dialog procedure's effects on the
// engine state as plain calls.
#include "startup/setup_dialog.h"

#include "startup/picture_box.h"
#include "state/engine_state.h"

#include <gtest/gtest.h>


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

TEST_F(DialogFixture, ChoicesGoIntoTheEngineStateAndOnlyProcessStartsIt) {
    choose(2);
    EXPECT_EQ(engine.screenWidth, 1024);
    choose(1);
    EXPECT_EQ(std::make_pair(engine.screenWidth, engine.screenHeight), std::make_pair(800, 600));
    // An entry past the table leaves the choice unchanged.
    setup_SendDlgItemMessage(&dialog, IDC_RESOLUTION, CB_ADDSTRING, 0, reinterpret_cast<intptr_t>("2048.1536"));
    choose(3);
    EXPECT_EQ(engine.screenWidth, 800);

    tick(IDC_FULLSCREEN);
    tick(IDC_NOVSYNC);
    EXPECT_EQ(std::make_pair(int(engine.windowMode), engine.swapInterval), std::make_pair(int(ENGINE_FULLSCREEN), 0));
    tick(IDC_FULLSCREEN);
    tick(IDC_NOVSYNC);
    EXPECT_EQ(std::make_pair(int(engine.windowMode), engine.swapInterval), std::make_pair(int(ENGINE_WINDOW), 1));
    EXPECT_FALSE(dialog.ended);

    // "_terminate" and closing end the dialog without starting the engine.
    EXPECT_EQ(command(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(dialog.ended);
    dialog.ended = false;
    EXPECT_EQ(setup_DialogProc(&dialog, WM_CLOSE, 0, 0), 1);
    EXPECT_TRUE(dialog.ended);
    EXPECT_EQ(started.calls, 0);
    EXPECT_EQ(dialog.result, 0);

    // "process_" ends the dialog first, then starts the engine with the chosen settings.
    dialog.ended = false;
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
    EXPECT_EQ(setup_DialogBox(DIALOG_SETUP, setup_DialogProc), -1);
    EXPECT_EQ(setup_DialogBox(42, setup_DialogProc), -1); // no such template
    PictureBox_Register();
}
