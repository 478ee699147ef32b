// The setup dialog's procedure: the resolution list, and the commands that write the user's
// choices into the engine state. The same on every platform; only the dialog manager differs.
#include "startup/dialog_proc.h"

#include "state/engine_state.h"

#include <array>

namespace {
struct Resolution {
    const char *text;
    int width;
    int height;
};
constexpr std::array<Resolution, 3> RESOLUTIONS = {{{"640.480", 640, 480}, {"800.600", 800, 600}, {"1024.768", 1024, 768}}};

SetupEngineStart engineStart = nullptr;

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
        if (selection >= 0 && selection < intptr_t(RESOLUTIONS.size())) {
            engine.screenWidth = RESOLUTIONS[size_t(selection)].width;
            engine.screenHeight = RESOLUTIONS[size_t(selection)].height;
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
    setup_SendDlgItemMessage(dialog, IDC_RESOLUTION, CB_RESETCONTENT, 0, 0);
    for (const Resolution &resolution : RESOLUTIONS)
        setup_SendDlgItemMessage(dialog, IDC_RESOLUTION, CB_ADDSTRING, 0, reinterpret_cast<intptr_t>(resolution.text));
    setup_SendDlgItemMessage(dialog, IDC_RESOLUTION, CB_GETCOUNT, 0, 0);
    setup_SendDlgItemMessage(dialog, IDC_RESOLUTION, CB_SETCURSEL, 0, 0);
}

void setup_SetEngineStart(SetupEngineStart start) { engineStart = start; }
