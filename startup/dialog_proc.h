// The setup dialog's procedure, shared by every platform: the messages it speaks, the dialog
// manager each platform provides (startup/setup_dialog.cpp with FLTK, setup_dialog_win32.cpp
// with Win32), and the procedure that writes the chosen resolution, window mode and swap
// interval into the engine state.
#pragma once
#include "resources/dialog_template.h"

#include <cstdint>

// Dialog messages and notifications.
constexpr unsigned WM_CLOSE = 0x0010;
constexpr unsigned WM_INITDIALOG = 0x0110;
constexpr unsigned WM_COMMAND = 0x0111;
constexpr unsigned BN_CLICKED = 0;
constexpr unsigned CBN_SELCHANGE = 1;
constexpr unsigned BM_GETCHECK = 0x00F0;
constexpr unsigned BM_SETCHECK = 0x00F1;
constexpr unsigned CB_ADDSTRING = 0x0143;
constexpr unsigned CB_GETCOUNT = 0x0146;
constexpr unsigned CB_GETCURSEL = 0x0147;
constexpr unsigned CB_GETLBTEXT = 0x0148;
constexpr unsigned CB_RESETCONTENT = 0x014B;
constexpr unsigned CB_SETCURSEL = 0x014E;
constexpr intptr_t CB_ERR = -1;

constexpr uintptr_t setup_MakeWParam(unsigned low, unsigned high) { return uintptr_t((low & 0xFFFF) | (high << 16)); }

// One dialog built from a template; each platform's dialog manager defines it.
struct SetupDialog;
using DialogProc = intptr_t (*)(SetupDialog *dialog, unsigned message, uintptr_t wParam, intptr_t lParam);

// --- The platform's dialog manager ---
// Registers the controls' window classes the template names ("PictureBoxClass"): 1 on success.
int setup_RegisterControls();

// Builds the window and its controls (not shown) and sends WM_INITDIALOG. False when a control
// cannot be created (an unknown or unregistered class): nothing is left behind.
bool setup_CreateDialog(const DialogTemplate &dialogTemplate, DialogProc proc, SetupDialog &dialog);
// Frees the window and its controls.
void setup_DestroyDialog(SetupDialog &dialog);

// The modal dialog: builds it, centres and shows it, and runs the event loop until the
// procedure ends it. Returns the result given to setup_EndDialog, or -1 when it cannot be
// created. The display must be open.
intptr_t setup_DialogBox(int templateId, DialogProc proc);

// Ends the dialog with result: the window is hidden and the display flushed at once, so a window
// opened right after never overlaps it.
void setup_EndDialog(SetupDialog *dialog, intptr_t result);

// The control messages used here: combo box contents and selection, check states.
intptr_t setup_SendDlgItemMessage(SetupDialog *dialog, int id, unsigned message, uintptr_t wParam, intptr_t lParam);

// --- Shared ---
// The setup dialog's procedure and its resolution list.
intptr_t setup_DialogProc(SetupDialog *dialog, unsigned message, uintptr_t wParam, intptr_t lParam);
void setup_FillResolutions(SetupDialog *dialog);

// What "process_" runs once the dialog is gone: engine_Run, which never returns. Tests put a
// function of their own here.
using SetupEngineStart = void (*)();
void setup_SetEngineStart(SetupEngineStart start);
