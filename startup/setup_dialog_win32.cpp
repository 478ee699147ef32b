// The setup dialog's manager on Win32: template 100 written out as an in-memory dialog template
// for the system's dialog manager, the picture box as a registered window class drawing the
// banner, and start-up's display and notices.
#include "startup/setup_dialog_win32.h"

#include "resources/rcdata.h"
#include "startup/picture_styles.h"
#include "startup/program.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

// After the project's headers: its macros (WM_COMMAND, IDOK, WS_CHILD, ...) carry the values the
// project's constants already have.
#include <windows.h>

namespace {
constexpr const char *PICTUREBOX_CLASS = "PictureBoxClass";
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

// --- The picture box: one picture, drawn stretched over the client area ---
struct PictureData {
    int width = 0, height = 0;
    std::unique_ptr<unsigned char[]> bgra;   // top row first, as the DIB below says
};

// "#n" with a resource flag names raw data resource n, a JPEG.
bool loadPicture(PictureData &data, const char *name, uint32_t flags) {
    data = PictureData{};
    if (!name || name[0] != '#' || !(flags & (PBS_RESOURCE | PBS_RESOURCE2))) return false;
    const RcData resource = resource_FindRcData(atoi(name + 1));
    PictureBoxImage image;
    if (!resource.bytes || !PictureBox_DecodeJpeg(resource.bytes, resource.size, image)) return false;
    const size_t pixels = size_t(image.width) * size_t(image.height);
    data.bgra.reset(new (std::nothrow) unsigned char[pixels * 4]);
    if (!data.bgra) return false;
    for (size_t i = 0; i < pixels; ++i) {
        data.bgra[i * 4 + 0] = image.rgb[i * 3 + 2];
        data.bgra[i * 4 + 1] = image.rgb[i * 3 + 1];
        data.bgra[i * 4 + 2] = image.rgb[i * 3 + 0];
        data.bgra[i * 4 + 3] = 0;
    }
    data.width = image.width;
    data.height = image.height;
    return true;
}

void paintPicture(HWND window, const PictureData *data) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    if (data && data->bgra) {
        BITMAPINFO info;
        memset(&info, 0, sizeof info);
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = data->width;
        info.bmiHeader.biHeight = -data->height;   // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        SetStretchBltMode(dc, HALFTONE);
        StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, data->width, data->height, data->bgra.get(),
                      &info, DIB_RGB_COLORS, SRCCOPY);
    } else {
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    }
    EndPaint(window, &paint);
}

LRESULT CALLBACK pictureWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    PictureData *data = reinterpret_cast<PictureData *>(GetWindowLongPtrA(window, 0));
    switch (message) {
    case WM_CREATE: {
        const CREATESTRUCTA *create = reinterpret_cast<const CREATESTRUCTA *>(lParam);
        data = new (std::nothrow) PictureData;
        if (!data) return -1;
        SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(data));
        loadPicture(*data, create->lpszName, uint32_t(create->style));
        return 0;
    }
    case WM_DESTROY:
        delete data;
        SetWindowLongPtrA(window, 0, 0);
        return 0;
    case WM_ERASEBKGND: return 1;   // the picture covers the whole control
    case WM_PAINT: paintPicture(window, data); return 0;
    case BM_SETIMAGE: {             // wParam: picture-type flags, lParam: name; 0 loaded, 1 not
        if (!data) return 1;
        const bool loaded = loadPicture(*data, reinterpret_cast<const char *>(lParam), uint32_t(wParam));
        InvalidateRect(window, nullptr, FALSE);
        return loaded ? 0 : 1;
    }
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

void startup_Notice(const char *text, const char *caption) {
    fprintf(stderr, "%s: %s\n", caption, text);
    MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONERROR);
}
