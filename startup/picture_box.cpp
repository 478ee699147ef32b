// The picture box control on FLTK: class registration, the window procedure over the shared rules
// of picture_styles.h, and stretched drawing.
#include "startup/picture_box.h"

#include "resources/dialog_template.h"
#include "script/text.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Image.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>

#include <cstring>
#include <new>

namespace {
struct ClassRegistry {
    bool registered = false;
    PictureBoxClassInfo info{};
};
ClassRegistry registry;

// The picture a record names, as an FLTK picture that owns the decoded pixels; null when there
// is nothing to show (the control then keeps what it had).
Fl_RGB_Image *loadPicture(const PictureBoxData &record) {
    PictureBoxImage image;
    if (!PictureBox_LoadPicture(record.name, record.flags, image)) return nullptr;
    Fl_RGB_Image *picture = new (std::nothrow) Fl_RGB_Image(image.rgb.get(), image.width, image.height, 3);
    if (!picture) return nullptr;
    picture->alloc_array = 1;   // FLTK frees the pixels with delete[]
    image.rgb.release();
    return picture;
}

intptr_t onCreate(PictureBoxWindow *window) {
    if (!PictureBox_IsClassName(window->className)) return -1;
    PictureBoxData *record = new (std::nothrow) PictureBoxData{};
    if (!record) return -1;
    const PictureBoxCreation made = PictureBox_CreationFlags(window->style);
    record->flags = made.flags;
    record->width = window->w();
    record->height = window->h();
    record->window = window;
    if (window->text[0] != '\0') {
        text_CopyBounded(record->name, window->text);
        record->picture = loadPicture(*record);
    }
    window->style = made.style;
    window->extra = record;
    return 0;
}

intptr_t onDestroy(PictureBoxWindow *window) {
    if (!PictureBox_IsClassName(window->className) || !window->extra) return 0;
    delete window->extra->picture;
    delete window->extra;
    window->extra = nullptr;
    window->forgetScaled();
    return 0;
}

intptr_t onSize(PictureBoxWindow *window, PictureBoxData &record) {
    if (!record.picture || !(record.flags & PBS_AUTOSIZE)) return 0;
    // Decoded pictures are measured in pixels already, so the natural size needs no dpi step.
    int w = record.picture->w(), h = record.picture->h();
    if (window->w() != w || window->h() != h) window->size(w, h);
    record.width = w;
    record.height = h;
    return 0;
}

intptr_t PictureBox_Paint(PictureBoxWindow *window, PictureBoxData &record) {
    if (!record.picture) return 0;
    int x, y, w, h;
    window->clientRect(x, y, w, h);
    if (w <= 0 || h <= 0) return 0;
    Fl_Image *shown = window->scaledPicture(record.picture, w, h);
    if (shown) shown->draw(x, y, w, h);
    return 0;
}

intptr_t onSetCursor(PictureBoxWindow *window, PictureBoxData &record) {
    Fl_Window *top = window->window();
    if (!top) return 0;
    top->cursor(record.cursor ? Fl_Cursor(record.cursor) : FL_CURSOR_DEFAULT);
    return record.cursor ? 1 : 0;
}

intptr_t PictureBox_SetImage(PictureBoxWindow *window, PictureBoxData &record, uint32_t types, const char *name) {
    // A name that does not fit would load some other file: refuse it and change nothing.
    if (!name || strlen(name) >= PICTUREBOX_NAME_SIZE) return 1;
    text_CopyBounded(record.name, name);
    record.flags = PictureBox_ImageFlags(record.flags, types);
    Fl_RGB_Image *picture = loadPicture(record);
    if (!picture) return 1;   // the old picture stays; name and flags have already changed
    delete record.picture;
    record.picture = picture;
    window->forgetScaled();
    window->redraw();
    return 0;
}

intptr_t PictureBox_SetStyle(PictureBoxWindow *window, PictureBoxData &record, uint32_t flags, intptr_t size) {
    const PictureBoxStyle style = PictureBox_NewStyle(record.flags, flags, size);
    record.flags = style.flags;
    if (style.clientEdge) window->exStyle = WS_EX_CLIENTEDGE;
    if (style.toggleBorder) {
        window->exStyle = 0;
        window->style ^= WS_BORDER;
    }
    if (style.resize) window->size(style.width, style.height);
    window->forgetScaled();
    window->redraw();
    if (window->window() && window->window()->shown()) Fl::flush();
    return 0;
}
} // namespace

PictureBoxWindow::PictureBoxWindow(const char *className_, const char *text_, uint32_t style_, uint32_t exStyle_,
                                   int x, int y, int w, int h, int id)
    : Fl_Widget(x, y, w, h), style(style_), exStyle(exStyle_), controlId(id) {
    text_CopyBounded(className, className_ ? className_ : "");
    text_CopyBounded(text, text_ ? text_ : "");
    box(FL_NO_BOX);
}

PictureBoxWindow::~PictureBoxWindow() { PictureBox_WndProc(this, WM_DESTROY, 0, 0); }

void PictureBoxWindow::clientRect(int &cx, int &cy, int &cw, int &ch) const {
    int inset = ((style & WS_BORDER) ? 1 : 0) + ((exStyle & WS_EX_CLIENTEDGE) ? 2 : 0);
    cx = x() + inset;
    cy = y() + inset;
    cw = w() - 2 * inset;
    ch = h() - 2 * inset;
}

void PictureBoxWindow::draw() {
    if (style & WS_BORDER) fl_draw_box(FL_BORDER_FRAME, x(), y(), w(), h(), FL_BLACK);
    if (exStyle & WS_EX_CLIENTEDGE) {
        int inset = (style & WS_BORDER) ? 1 : 0;
        fl_draw_box(FL_DOWN_FRAME, x() + inset, y() + inset, w() - 2 * inset, h() - 2 * inset, FL_GRAY);
    }
    PictureBox_WndProc(this, WM_ERASEBKGND, 0, 0);
    PictureBox_WndProc(this, WM_PAINT, 0, 0);
}

int PictureBoxWindow::handle(int event) {
    switch (event) {
    case FL_ENTER:
    case FL_MOVE:
        PictureBox_WndProc(this, WM_SETCURSOR, 0, 0);
        return 1;   // taking FL_ENTER keeps the FL_MOVE events coming
    case FL_LEAVE:
        if (window()) window()->cursor(FL_CURSOR_DEFAULT);
        return 1;
    default: return Fl_Widget::handle(event);
    }
}

void PictureBoxWindow::resize(int nx, int ny, int nw, int nh) {
    bool sized = nw != w() || nh != h();
    Fl_Widget::resize(nx, ny, nw, nh);
    if (sized) {
        forgetScaled();
        PictureBox_WndProc(this, WM_SIZE, 0, intptr_t(nw & 0xFFFF) | (intptr_t(nh & 0xFFFF) << 16));
    }
}

Fl_Image *PictureBoxWindow::scaledPicture(Fl_RGB_Image *picture, int sw, int sh) {
    if (picture->w() == sw && picture->h() == sh) return picture;
    if (!scaled_ || scaledFrom_ != picture || scaled_->w() != sw || scaled_->h() != sh) {
        Fl_RGB_Image::RGB_scaling(FL_RGB_SCALING_BILINEAR);
        scaled_.reset(picture->copy(sw, sh));
        scaledFrom_ = picture;
    }
    return scaled_.get();
}

void PictureBoxWindow::forgetScaled() {
    scaled_.reset();
    scaledFrom_ = nullptr;
}

int PictureBox_Register() {
    if (registry.registered) return 1;
    registry.info = {0, int(sizeof(PictureBoxData *)), 0, FL_CURSOR_DEFAULT, FL_BACKGROUND_COLOR,
                     PICTUREBOX_CLASS};
    registry.registered = true;
    return 1;
}

bool PictureBox_IsRegistered() { return registry.registered; }

const PictureBoxClassInfo *PictureBox_ClassInfo() { return registry.registered ? &registry.info : nullptr; }

void PictureBox_Unregister() { registry.registered = false; }

intptr_t PictureBox_WndProc(PictureBoxWindow *window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    if (!window) return 0;
    if (message == WM_CREATE) return onCreate(window);
    if (message == WM_DESTROY) return onDestroy(window);
    PictureBoxData *record = window->extra;
    if (!record) return 0;
    switch (message) {
    case WM_SIZE: return onSize(window, *record);
    case WM_PAINT: return PictureBox_Paint(window, *record);
    case WM_ERASEBKGND: return (record->flags & PBS_ICON) ? 0 : 1;
    case WM_SETCURSOR: return onSetCursor(window, *record);
    case BM_SETIMAGE:
        return PictureBox_SetImage(window, *record, uint32_t(wParam), reinterpret_cast<const char *>(lParam));
    case PBX_SETSTYLE: return PictureBox_SetStyle(window, *record, uint32_t(wParam), lParam);
    case PBX_SETCURSOR: record->cursor = int(lParam); return 0;
    default: return 0;
    }
}

PictureBoxWindow *PictureBox_CreateWindow(const char *className, const char *text, uint32_t style, uint32_t exStyle,
                                          int x, int y, int w, int h, Fl_Group *parent, int id) {
    if (!className || !registry.registered || strcmp(className, registry.info.name) != 0) return nullptr;
    Fl_Group *previous = Fl_Group::current();
    Fl_Group::current(nullptr);   // the widget joins its parent below, not whatever group is open
    PictureBoxWindow *window = new PictureBoxWindow(className, text, style, exStyle, x, y, w, h, id);
    Fl_Group::current(previous);
    if (PictureBox_WndProc(window, WM_CREATE, 0, 0) != 0) {
        delete window;
        return nullptr;
    }
    if (parent) parent->add(window);
    if (!(window->style & WS_VISIBLE)) window->hide();
    PictureBox_WndProc(window, WM_SIZE, 0, intptr_t(w & 0xFFFF) | (intptr_t(h & 0xFFFF) << 16));
    return window;
}

PictureBoxWindow *PictureBox_Create(uint32_t style, const char *text, int x, int y, int width, int height,
                                    Fl_Group *parent, int id) {
    if (!parent || !PictureBox_Register()) return nullptr;
    uint32_t exStyle = (style & PBS_CLIENTEDGE) ? WS_EX_CLIENTEDGE : 0;
    return PictureBox_CreateWindow(PICTUREBOX_CLASS, text, style | WS_CHILD, exStyle, x, y, width, height, parent,
                                   id);
}

void PictureBox_Destroy(PictureBoxWindow *window) {
    if (!window) return;
    if (window->parent()) window->parent()->remove(window);
    delete window;
}

void PictureBox_About() {
    fl_message_title("Version");
    fl_choice("%s", "OK", nullptr, nullptr, "PictureBox Library Version 1.00");
}
