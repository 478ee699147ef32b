// The setup dialog's procedure: the resolution list, and the commands that write the user's
// choices into the engine state. The same on every platform; only the dialog manager differs.
#include "startup/dialog_proc.h"

#include "state/engine_state.h"

#include <array>
#include <cstdio>

namespace {
struct Resolution {
    const char *text;
    int width;
    int height;
};
constexpr std::array<Resolution, 3> RESOLUTIONS = {{{"640.480", 640, 480}, {"800.600", 800, 600}, {"1024.768", 1024, 768}}};

SetupEngineStart engineStart = nullptr;

// The list as shown: a settings file's resolution first when it is not one of the three.
struct Offered {
    char presetText[32] = "";
    std::array<Resolution, RESOLUTIONS.size() + 1> entries{};
    size_t count = 0;
};
Offered offered;

// Fills offered from the engine state; gives the index to select.
size_t offerResolutions() {
    offered.count = 0;
    const int width = engine.options.presetWidth, height = engine.options.presetHeight;
    size_t selected = 0;
    bool listed = false;
    for (size_t i = 0; i < RESOLUTIONS.size(); i++)
        if (RESOLUTIONS[i].width == width && RESOLUTIONS[i].height == height) listed = true, selected = i;
    if (width > 0 && !listed) {
        snprintf(offered.presetText, sizeof offered.presetText, "%d.%d", width, height);
        offered.entries[offered.count++] = {offered.presetText, width, height};
    }
    for (const Resolution &resolution : RESOLUTIONS) offered.entries[offered.count++] = resolution;
    return selected;
}

intptr_t onCommand(SetupDialog *dialog, int id, unsigned code) {
    switch (id) {
    case IDOK:
        setup_EndDialog(dialog, 0);
        if (engineStart) engineStart();   // engine_Run ends the process itself
        return 1;
    case IDCANCEL: setup_EndDialog(dialog, 0); return 0;
    case IDC_RESOLUTION: {
        if (code != CBN_SELCHANGE) return 0;
        intptr_t selection = setup_SendDlgItemMessage(dialog, IDC_RESOLUTION, CB_GETCURSEL, 0, 0);
        if (selection >= 0 && selection < intptr_t(offered.count)) {
            engine.screenWidth = offered.entries[size_t(selection)].width;
            engine.screenHeight = offered.entries[size_t(selection)].height;
        }
        return 0;
    }
    case IDC_FULLSCREEN:
        if (code == BN_CLICKED)
            engine.windowMode = setup_SendDlgItemMessage(dialog, IDC_FULLSCREEN, BM_GETCHECK, 0, 0) ? ENGINE_FULLSCREEN
                                                                                                   : ENGINE_WINDOW;
        return 0;
    case IDC_NOVSYNC:
        if (code == BN_CLICKED)
            engine.swapInterval = setup_SendDlgItemMessage(dialog, IDC_NOVSYNC, BM_GETCHECK, 0, 0) ? 0 : 1;
        return 0;
    default: return 0;
    }
}
} // namespace

intptr_t setup_DialogProc(SetupDialog *dialog, unsigned message, uintptr_t wParam, intptr_t) {
    switch (message) {
    case WM_INITDIALOG: setup_FillResolutions(dialog); return 1;
    case WM_CLOSE: setup_EndDialog(dialog, 0); return 1;
    case WM_COMMAND: return onCommand(dialog, int(wParam & 0xFFFF), unsigned((wParam >> 16) & 0xFFFF));
    default: return 0;
    }
}

void setup_FillResolutions(SetupDialog *dialog) {
    const size_t selected = offerResolutions();
    setup_SendDlgItemMessage(dialog, IDC_RESOLUTION, CB_RESETCONTENT, 0, 0);
    for (size_t i = 0; i < offered.count; i++)
        setup_SendDlgItemMessage(dialog, IDC_RESOLUTION, CB_ADDSTRING, 0,
                                 reinterpret_cast<intptr_t>(offered.entries[i].text));
    setup_SendDlgItemMessage(dialog, IDC_RESOLUTION, CB_GETCOUNT, 0, 0);
    setup_SendDlgItemMessage(dialog, IDC_RESOLUTION, CB_SETCURSEL, selected, 0);
    // A release's settings may start it in full screen: the box shows what will happen.
    if (engine.windowMode == ENGINE_FULLSCREEN) setup_SendDlgItemMessage(dialog, IDC_FULLSCREEN, BM_SETCHECK, 1, 0);
}

void setup_SetEngineStart(SetupEngineStart start) { engineStart = start; }
