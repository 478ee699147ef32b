// The setup dialog's manager on Win32: template 100 written out as an in-memory dialog template
// for the system's dialog manager, the picture box as a registered window class, and start-up's
// display and notices.
#include "startup/setup_dialog_win32.h"

#include "resources/rcdata.h"
#include "script/text.h"
#include "startup/picture_styles.h"
#include "startup/program.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

// After the project's headers: its macros (WM_COMMAND, IDOK, WS_CHILD, ...) carry the values the
// project's constants already have.
#include <windows.h>

namespace {
constexpr WORD CLASS_BUTTON = 0x0080;     // the predefined classes' atoms in a dialog template
constexpr WORD CLASS_COMBOBOX = 0x0085;

// --- The in-memory template: DLGTEMPLATE and its DLGITEMTEMPLATEs, as WORDs ---
void putWord(std::vector<WORD> &out, unsigned value) { out.push_back(WORD(value)); }
void putDword(std::vector<WORD> &out, uint32_t value) {
    out.push_back(WORD(value & 0xFFFF));
    out.push_back(WORD(value >> 16));
}
void putText(std::vector<WORD> &out, const char *text) {
    wchar_t wide[256];
    const int n = MultiByteToWideChar(CP_ACP, 0, text ? text : "", -1, wide, 256);
    for (int i = 0; i < n - 1; ++i) out.push_back(WORD(wide[i]));
    out.push_back(0);
}

std::vector<WORD> buildTemplate(const DialogTemplate &dialog) {
    std::vector<WORD> out;
    putDword(out, dialog.style | DS_SETFONT);
    putDword(out, dialog.exStyle);
    const int count = dialog.itemCount < DIALOG_MAX_ITEMS ? dialog.itemCount : DIALOG_MAX_ITEMS;
    putWord(out, unsigned(count));
    for (int v : {dialog.x, dialog.y, dialog.cx, dialog.cy}) putWord(out, unsigned(v));
    putWord(out, 0);   // no menu
    putWord(out, 0);   // the dialog class
    putText(out, dialog.title);
    putWord(out, unsigned(dialog.pointSize));
    putText(out, dialog.fontName);
    for (int i = 0; i < count; ++i) {
        const DialogItemTemplate &item = dialog.items[i];
        if (out.size() % 2) out.push_back(0);   // items start on a DWORD
        putDword(out, item.style);
        putDword(out, 0);
        for (int v : {item.x, item.y, item.cx, item.cy}) putWord(out, unsigned(v));
        putWord(out, unsigned(item.id));
        if (strcmp(item.className, "BUTTON") == 0) {
            putWord(out, 0xFFFF);
            putWord(out, CLASS_BUTTON);
        } else if (strcmp(item.className, "COMBOBOX") == 0) {
            putWord(out, 0xFFFF);
            putWord(out, CLASS_COMBOBOX);
        } else {
            putText(out, item.className);
        }
        putText(out, item.text);
        putWord(out, 0);   // no creation data
    }
    return out;
}

INT_PTR CALLBACK dialogWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SetupDialog *dialog = reinterpret_cast<SetupDialog *>(GetWindowLongPtrA(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<SetupDialog *>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        dialog->window = window;
        return dialog->proc(dialog, WM_INITDIALOG, 0, 0) ? TRUE : FALSE;
    }
    if (!dialog || !dialog->proc) return FALSE;
    switch (message) {
    case WM_COMMAND: dialog->proc(dialog, WM_COMMAND, wParam, lParam); return TRUE;
    case WM_CLOSE: dialog->proc(dialog, WM_CLOSE, 0, 0); return TRUE;
    default: return FALSE;
    }
}

// --- The picture box: the shared rules of picture_styles.h around a Win32 window ---
// One per control, kept in the window's extra word from WM_CREATE to WM_DESTROY.
struct PictureBoxData {
    int width = 0, height = 0;                 // control size: the creation size, or the picture's
    HWND window = nullptr;                     // the control itself
    uint32_t flags = 0;                        // the flag word of picture_styles.h
    HCURSOR cursor = nullptr;                  // shown over the control; null: the class cursor
    char name[PICTUREBOX_NAME_SIZE] = "";      // the picture's name; empty until one is given
    int pictureWidth = 0, pictureHeight = 0;
    std::unique_ptr<unsigned char[]> bgra;     // the picture, top row first; null: none
};

PictureBoxData *recordOf(HWND window) { return reinterpret_cast<PictureBoxData *>(GetWindowLongPtrA(window, 0)); }

// Loads the picture the record names. On failure the record's picture is left as it was.
bool loadPicture(PictureBoxData &record) {
    PictureBoxImage image;
    if (!PictureBox_LoadPicture(record.name, record.flags, image)) return false;
    const size_t pixels = size_t(image.width) * size_t(image.height);
    std::unique_ptr<unsigned char[]> bgra(new (std::nothrow) unsigned char[pixels * 4]);
    if (!bgra) return false;
    for (size_t i = 0; i < pixels; ++i) {
        bgra[i * 4 + 0] = image.rgb[i * 3 + 2];
        bgra[i * 4 + 1] = image.rgb[i * 3 + 1];
        bgra[i * 4 + 2] = image.rgb[i * 3 + 0];
        bgra[i * 4 + 3] = 0;
    }
    record.bgra = std::move(bgra);
    record.pictureWidth = image.width;
    record.pictureHeight = image.height;
    return true;
}

// The picture stretched over the client area; a control without one shows the dialog's face.
void paintPicture(HWND window, HDC dc, const PictureBoxData *record) {
    RECT client;
    GetClientRect(window, &client);
    if (record && record->bgra) {
        BITMAPINFO info;
        memset(&info, 0, sizeof info);
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = record->pictureWidth;
        info.bmiHeader.biHeight = -record->pictureHeight;   // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        SetStretchBltMode(dc, HALFTONE);
        StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, record->pictureWidth, record->pictureHeight,
                      record->bgra.get(), &info, DIB_RGB_COLORS, SRCCOPY);
    } else {
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    }
}

bool isPictureBox(HWND window) {
    char className[PICTUREBOX_CLASS_SIZE] = "";
    GetClassNameA(window, className, sizeof className);
    return PictureBox_IsClassName(className);
}

LRESULT onCreate(HWND window, const CREATESTRUCTA *create) {
    if (!isPictureBox(window)) return -1;
    PictureBoxData *record = new (std::nothrow) PictureBoxData;
    if (!record) return -1;
    const PictureBoxCreation made = PictureBox_CreationFlags(uint32_t(create->style));
    record->flags = made.flags;
    record->width = create->cx;
    record->height = create->cy;
    record->window = window;
    if (create->lpszName && create->lpszName[0] && strlen(create->lpszName) < PICTUREBOX_NAME_SIZE) {
        text_CopyBounded(record->name, create->lpszName);
        loadPicture(*record);   // a picture that cannot be loaded leaves the control empty
    }
    SetWindowLongA(window, GWL_STYLE, LONG(made.style));
    SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(record));
    return 0;
}

LRESULT onSize(HWND window, PictureBoxData &record) {
    if (!record.bgra || !(record.flags & PBS_AUTOSIZE)) return 0;
    // Decoded pictures are measured in pixels already, so the natural size needs no dpi step.
    RECT bounds;
    GetWindowRect(window, &bounds);
    if (bounds.right - bounds.left != record.pictureWidth || bounds.bottom - bounds.top != record.pictureHeight)
        SetWindowPos(window, nullptr, 0, 0, record.pictureWidth, record.pictureHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    record.width = record.pictureWidth;
    record.height = record.pictureHeight;
    return 0;
}

LRESULT onSetImage(HWND window, PictureBoxData &record, uint32_t types, const char *name) {
    // A name that does not fit would load some other file: refuse it and change nothing.
    if (!name || strlen(name) >= PICTUREBOX_NAME_SIZE) return 1;
    text_CopyBounded(record.name, name);
    record.flags = PictureBox_ImageFlags(record.flags, types);
    if (!loadPicture(record)) return 1;   // the old picture stays; name and flags have already changed
    if (record.flags & PBS_ICON) {
        HDC dc = GetDC(window);
        SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        ReleaseDC(window, dc);
    }
    InvalidateRect(window, nullptr, TRUE);
    return 0;
}

LRESULT onSetStyle(HWND window, PictureBoxData &record, uint32_t flags, LPARAM size) {
    const PictureBoxStyle style = PictureBox_NewStyle(record.flags, flags, intptr_t(size));
    record.flags = style.flags;
    if (style.clientEdge) SetWindowLongA(window, GWL_EXSTYLE, WS_EX_CLIENTEDGE);
    if (style.toggleBorder) {
        SetWindowLongA(window, GWL_EXSTYLE, 0);
        SetWindowLongA(window, GWL_STYLE, GetWindowLongA(window, GWL_STYLE) ^ LONG(WS_BORDER));
    }
    // The frame follows the styles only when told; the size changes only when both are given.
    UINT sizing = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED;
    if (!style.resize) sizing |= SWP_NOSIZE;
    SetWindowPos(window, nullptr, 0, 0, style.width, style.height, sizing);
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    return 0;
}

LRESULT CALLBACK pictureWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return onCreate(window, reinterpret_cast<const CREATESTRUCTA *>(lParam));
    PictureBoxData *record = recordOf(window);
    if (message == WM_DESTROY) {
        if (isPictureBox(window)) {
            delete record;
            SetWindowLongPtrA(window, 0, 0);
        }
        return 0;
    }
    if (!record) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_SIZE: return onSize(window, *record);
    case WM_ERASEBKGND: return (record->flags & PBS_ICON) ? 0 : 1;   // the picture covers the control
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        paintPicture(window, dc, record);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_PRINTCLIENT: paintPicture(window, reinterpret_cast<HDC>(wParam), record); return 0;
    case WM_SETCURSOR:
        if (!record->cursor) return DefWindowProcA(window, message, wParam, lParam);
        SetCursor(record->cursor);
        return TRUE;
    case BM_SETIMAGE: return onSetImage(window, *record, uint32_t(wParam), reinterpret_cast<const char *>(lParam));
    case PBX_SETSTYLE: return onSetStyle(window, *record, uint32_t(wParam), lParam);
    case PBX_SETCURSOR: record->cursor = reinterpret_cast<HCURSOR>(lParam); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}
} // namespace

int setup_RegisterControls() {
    WNDCLASSA windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = pictureWindowProc;
    windowClass.cbWndExtra = sizeof(LONG_PTR);   // the PictureData
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = PICTUREBOX_CLASS;
    return RegisterClassA(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS ? 1 : 0;
}

bool setup_CreateDialog(const DialogTemplate &dialogTemplate, DialogProc proc, SetupDialog &dialog) {
    dialog = SetupDialog{};
    dialog.proc = proc;
    const std::vector<WORD> memory = buildTemplate(dialogTemplate);
    HWND window = CreateDialogIndirectParamW(GetModuleHandleA(nullptr),
                                             reinterpret_cast<LPCDLGTEMPLATEW>(memory.data()), nullptr,
                                             dialogWindowProc, reinterpret_cast<LPARAM>(&dialog));
    if (!window) return false;
    dialog.window = window;
    return true;
}

void setup_DestroyDialog(SetupDialog &dialog) {
    if (dialog.window) DestroyWindow(dialog.window);
    dialog.window = nullptr;
}

intptr_t setup_DialogBox(int templateId, DialogProc proc) {
    const DialogTemplate *dialogTemplate = resource_FindDialog(templateId);
    if (!dialogTemplate || !proc) return -1;
    SetupDialog dialog;
    dialog.proc = proc;
    dialog.modal = true;
    const std::vector<WORD> memory = buildTemplate(*dialogTemplate);
    const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleA(nullptr),
                                                   reinterpret_cast<LPCDLGTEMPLATEW>(memory.data()), nullptr,
                                                   dialogWindowProc, reinterpret_cast<LPARAM>(&dialog));
    return result == -1 ? -1 : (dialog.ended ? dialog.result : 0);
}

void setup_EndDialog(SetupDialog *dialog, intptr_t result) {
    if (!dialog) return;
    dialog->ended = true;
    dialog->result = result;
    if (!dialog->window) return;
    // Hidden at once: "process_" runs the show from inside the dialog procedure.
    ShowWindow(dialog->window, SW_HIDE);
    if (dialog->modal) EndDialog(dialog->window, result);
}

intptr_t setup_SendDlgItemMessage(SetupDialog *dialog, int id, unsigned message, uintptr_t wParam, intptr_t lParam) {
    if (!dialog || !dialog->window || !GetDlgItem(dialog->window, id)) return 0;
    return SendDlgItemMessageA(dialog->window, id, message, wParam, lParam);
}

// --- Start-up's display and notices: Windows always has its desktop ---
bool startup_OpenDisplay() { return true; }

void startup_Notice(const char *text, const char *caption, bool information) {
    fprintf(stderr, "%s: %s\n", caption, text);
    MessageBoxA(GetActiveWindow(), text, caption, information ? MB_ICONINFORMATION : MB_OK);
}

uint32_t PictureBox_Flags(HWND__ *control) {
    const PictureBoxData *record = control && isPictureBox(control) ? recordOf(control) : nullptr;
    return record ? record->flags : 0;
}
