// Dialog template 100: the setup dialog with its picture, resolution list, two check boxes
// and the "process_" / "_terminate" buttons.
#include "resources/dialog_template.h"

namespace {
const DialogTemplate setupDialog = {
    DIALOG_SETUP, 1036,
    WS_POPUP | WS_VISIBLE | WS_BORDER | WS_SYSMENU | DS_CENTER | DS_SETFONT, 0,
    7, 20, 390, 99,
    "", "Helv", 8,
    6,
    {
        {IDC_PICTURE, "PictureBoxClass", "#3", WS_CHILD | WS_VISIBLE | 0x24u, 2, 2, 385, 60},
        {IDOK, "BUTTON", "process_", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_FLAT | BS_DEFPUSHBUTTON,
         137, 71, 120, 14},
        {IDCANCEL, "BUTTON", "_terminate", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_FLAT | BS_PUSHBUTTON,
         263, 71, 120, 14},
        {IDC_RESOLUTION, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST,
         69, 72, 58, 47},
        {IDC_FULLSCREEN, "BUTTON", "fullscreen", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
         15, 70, 51, 10},
        {IDC_NOVSYNC, "BUTTON", "NoVsync", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
         15, 81, 40, 10},
    },
};
} // namespace

const DialogTemplate *resource_FindDialog(int id) { return id == DIALOG_SETUP ? &setupDialog : nullptr; }
