// The setup dialog on FLTK (Linux): a small dialog manager that builds a window from a dialog
// template and feeds its events to the dialog procedure (startup/dialog_proc.h) as messages.
#pragma once
#include "startup/dialog_proc.h"

class Fl_Double_Window;
class Fl_Widget;

enum class DialogControlKind { Picture, PushButton, DefaultButton, CheckBox, DropList };

struct DialogControl {
    int id;
    DialogControlKind kind;
    Fl_Widget *widget;
    bool tabStop;
};

// One dialog built from a template: the window, its controls in template order, the procedure,
// and how it ended.
struct SetupDialog {
    Fl_Double_Window *window = nullptr;
    DialogControl controls[DIALOG_MAX_ITEMS] = {};
    int controlCount = 0;
    DialogProc proc = nullptr;
    bool ended = false;
    intptr_t result = 0;
};


Fl_Widget *setup_GetDlgItem(SetupDialog *dialog, int id);
