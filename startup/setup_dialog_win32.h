// The setup dialog on Win32: the system's dialog manager builds template 100 and feeds the
// dialog procedure (startup/dialog_proc.h); this is the record it keeps per dialog.
#pragma once
#include "startup/dialog_proc.h"

struct HWND__;   // windows.h's HWND, without pulling its macros in here

struct SetupDialog {
    HWND__ *window = nullptr;   // the dialog, from WM_INITDIALOG on
    DialogProc proc = nullptr;
    bool modal = false;         // made by setup_DialogBox: EndDialog ends its loop
    bool ended = false;
    intptr_t result = 0;
};

// The flag word of a picture box control (tests read what PBX_SETSTYLE and BM_SETIMAGE made of
// it); 0 for a window that is not one.
uint32_t PictureBox_Flags(HWND__ *control);
