// The setup dialog's manager on FLTK: controls built from the template, keyboard, modal loop, and
// the display and notices of start-up.
#include "startup/setup_dialog.h"

#include "startup/picture_box.h"
#include "startup/program.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
constexpr int DIALOG_FONT_SIZE = 11;       // 8 points at 96 dots per inch
constexpr int CHECKBOX_FONT_SIZE = 10;     // Helvetica runs wider than the dialog font: "NoVsync" fits
constexpr int DROPLIST_HEIGHT = 21;        // the closed list; the template's height includes the open list
constexpr int WINDOW_BORDER = 1;           // the one-pixel border around the client area
constexpr Fl_Color FACE_COLOR = 0xD4D0C800; // the classic dialog face
constexpr size_t MENU_TEXT_SIZE = 128;

// The default push button: Enter presses it from any control that does not use Enter itself.
class DefaultButton : public Fl_Button {
public:
    DefaultButton(int x, int y, int w, int h) : Fl_Button(x, y, w, h) {}
    int handle(int event) override {
        if (event == FL_SHORTCUT && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
            simulate_key_action();
            do_callback();
            return 1;
        }
        return Fl_Button::handle(event);
    }
    void draw() override {
        Fl_Button::draw();
        fl_rect(x(), y(), w(), h(), FL_BLACK);   // the default button's heavier frame
        fl_rect(x() + 1, y() + 1, w() - 2, h() - 2, FL_BLACK);
    }
};

SetupDialog *dialogOf(Fl_Widget *widget) {
    Fl_Window *window = widget->window() ? widget->window() : widget->as_window();
    return window ? static_cast<SetupDialog *>(window->user_data()) : nullptr;
}

void sendCommand(Fl_Widget *widget, void *data) {
    SetupDialog *dialog = dialogOf(widget);
    const DialogControl *control = static_cast<const DialogControl *>(data);
    if (!dialog || !dialog->proc || !control) return;
    unsigned code = control->kind == DialogControlKind::DropList ? CBN_SELCHANGE : BN_CLICKED;
    dialog->proc(dialog, WM_COMMAND, setup_MakeWParam(unsigned(control->id), code), reinterpret_cast<intptr_t>(widget));
}

// Esc arrives as the window's callback during a shortcut; anything else is a close request.
void windowCallback(Fl_Widget *widget, void *data) {
    SetupDialog *dialog = static_cast<SetupDialog *>(data);
    if (!dialog || !dialog->proc) return;
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape)
        dialog->proc(dialog, WM_COMMAND, setup_MakeWParam(IDCANCEL, BN_CLICKED), reinterpret_cast<intptr_t>(widget));
    else
        dialog->proc(dialog, WM_CLOSE, 0, 0);
}

void styleWidget(Fl_Widget *widget, const char *text) {
    widget->copy_label(text);
    widget->labelfont(FL_HELVETICA);
    widget->labelsize(DIALOG_FONT_SIZE);
    widget->color(FACE_COLOR);
}

Fl_Widget *makeButton(const DialogItemTemplate &item, const PixelRect &r, DialogControlKind &kind) {
    uint32_t type = item.style & BS_TYPEMASK;
    Fl_Button *button = nullptr;
    if (type == BS_AUTOCHECKBOX) {
        kind = DialogControlKind::CheckBox;
        button = new Fl_Check_Button(r.x, r.y, r.w, r.h);
        button->down_box(FL_DOWN_BOX);
    } else if (type == BS_DEFPUSHBUTTON || type == BS_PUSHBUTTON) {
        kind = type == BS_DEFPUSHBUTTON ? DialogControlKind::DefaultButton : DialogControlKind::PushButton;
        button = kind == DialogControlKind::DefaultButton ? new DefaultButton(r.x, r.y, r.w, r.h)
                                                          : new Fl_Button(r.x, r.y, r.w, r.h);
        if (item.style & BS_FLAT) {
            button->box(FL_BORDER_BOX);
            button->down_box(FL_BORDER_BOX);
        }
    } else {
        return nullptr;
    }
    styleWidget(button, item.text);
    button->align(button->align() | FL_ALIGN_CLIP);   // a label never spills out of its control
    if (kind == DialogControlKind::CheckBox) {
        button->color(FACE_COLOR, FL_BLACK);
        button->labelsize(CHECKBOX_FONT_SIZE);
    }
    return button;
}

Fl_Widget *makeControl(const DialogItemTemplate &item, int originX, int originY, Fl_Group *parent,
                       DialogControlKind &kind) {
    PixelRect r = dialog_MapRect(item.x, item.y, item.cx, item.cy);
    r.x += originX;
    r.y += originY;
    if (strcmp(item.className, "BUTTON") == 0) return makeButton(item, r, kind);
    if (strcmp(item.className, "COMBOBOX") == 0 && (item.style & 0x3u) == CBS_DROPDOWNLIST) {
        kind = DialogControlKind::DropList;
        Fl_Choice *list = new Fl_Choice(r.x, r.y, r.w, DROPLIST_HEIGHT);
        styleWidget(list, item.text);
        list->textsize(DIALOG_FONT_SIZE);
        list->color(FL_WHITE);
        return list;
    }
    kind = DialogControlKind::Picture;
    return PictureBox_CreateWindow(item.className, item.text, item.style, 0, r.x, r.y, r.w, r.h, parent, item.id);
}

void focusFirstTabStop(SetupDialog &dialog) {
    for (int i = 0; i < dialog.controlCount; ++i) {
        if (dialog.controls[i].tabStop) {
            dialog.controls[i].widget->take_focus();
            return;
        }
    }
}

DialogControl *findControl(SetupDialog *dialog, int id) {
    if (!dialog) return nullptr;
    for (int i = 0; i < dialog->controlCount; ++i)
        if (dialog->controls[i].id == id) return &dialog->controls[i];
    return nullptr;
}

// Menu texts are literal here: '/', '\\', '&' and '_' would otherwise steer FLTK's menu syntax.
void escapeMenuText(const char *text, char (&out)[MENU_TEXT_SIZE]) {
    size_t n = 0;
    for (const char *p = text; *p && n + 2 < MENU_TEXT_SIZE; ++p) {
        if (strchr("/\\&_", *p)) out[n++] = '\\';
        out[n++] = *p;
    }
    out[n] = '\0';
}

intptr_t dropListMessage(Fl_Choice *list, unsigned message, uintptr_t wParam, intptr_t lParam) {
    int count = list->size() > 0 ? list->size() - 1 : 0;   // FLTK counts the terminator
    switch (message) {
    case CB_RESETCONTENT: list->clear(); return 0;
    case CB_ADDSTRING: {
        const char *text = reinterpret_cast<const char *>(lParam);
        if (!text) return CB_ERR;
        char escaped[MENU_TEXT_SIZE];
        escapeMenuText(text, escaped);
        int index = list->add(escaped);
        return index < 0 ? CB_ERR : index;
    }
    case CB_GETCOUNT: return count;
    case CB_GETCURSEL: return list->value() < 0 ? CB_ERR : list->value();
    case CB_SETCURSEL:
        if (intptr_t(wParam) < 0 || intptr_t(wParam) >= count) return CB_ERR;
        list->value(int(wParam));
        return intptr_t(wParam);
    default: return 0;
    }
}

} // namespace

bool setup_CreateDialog(const DialogTemplate &dialogTemplate, DialogProc proc, SetupDialog &dialog) {
    dialog = SetupDialog{};
    dialog.proc = proc;
    bool bordered = (dialogTemplate.style & WS_BORDER) != 0;
    int inset = bordered ? WINDOW_BORDER : 0;
    PixelRect client = dialog_MapRect(0, 0, dialogTemplate.cx, dialogTemplate.cy);
    Fl_Group *previous = Fl_Group::current();
    Fl_Double_Window *window = new Fl_Double_Window(client.w + 2 * inset, client.h + 2 * inset);
    window->box(bordered ? FL_BORDER_BOX : FL_FLAT_BOX);
    window->color(FACE_COLOR);
    window->copy_label(dialogTemplate.title);
    window->xclass("vortan_setup");   // lets tools find the dialog, whose title is empty
    if ((dialogTemplate.style & WS_CAPTION) != WS_CAPTION) window->border(0);   // no title bar
    window->user_data(&dialog);
    window->callback(windowCallback, &dialog);
    dialog.window = window;
    for (int i = 0; i < dialogTemplate.itemCount && i < DIALOG_MAX_ITEMS; ++i) {
        const DialogItemTemplate &item = dialogTemplate.items[i];
        DialogControl &control = dialog.controls[dialog.controlCount];
        Fl_Widget *widget = makeControl(item, inset, inset, window, control.kind);
        if (!widget) {   // the whole dialog fails, as with a control of an unregistered class
            window->end();
            Fl_Group::current(previous);
            setup_DestroyDialog(dialog);
            return false;
        }
        if (!widget->parent()) window->add(widget);
        control.id = item.id;
        control.widget = widget;
        control.tabStop = (item.style & WS_TABSTOP) != 0;
        if (control.kind != DialogControlKind::Picture) widget->callback(sendCommand, &control);
        if (!control.tabStop) widget->clear_visible_focus();
        ++dialog.controlCount;
    }
    window->end();
    window->resizable(nullptr);
    Fl_Group::current(previous);
    if (proc(&dialog, WM_INITDIALOG, 0, 0)) focusFirstTabStop(dialog);
    return true;
}

void setup_DestroyDialog(SetupDialog &dialog) {
    delete dialog.window;   // deletes the controls with it
    dialog.window = nullptr;
    dialog.controlCount = 0;
}

intptr_t setup_DialogBox(int templateId, DialogProc proc) {
    const DialogTemplate *dialogTemplate = resource_FindDialog(templateId);
    if (!dialogTemplate || !proc) return -1;
    SetupDialog dialog;
    if (!setup_CreateDialog(*dialogTemplate, proc, dialog)) return -1;
    if (!dialog.ended) {
        Fl_Double_Window *window = dialog.window;
        int sx, sy, sw, sh;
        Fl::screen_work_area(sx, sy, sw, sh);
        window->position(sx + (sw - window->w()) / 2, sy + (sh - window->h()) / 2);
        window->show();
        focusFirstTabStop(dialog); // again: the first call ran before the window was shown
        while (!dialog.ended && Fl::first_window()) Fl::wait();
    }
    intptr_t result = dialog.ended ? dialog.result : 0;
    setup_DestroyDialog(dialog);
    Fl::flush();
    return result;
}

void setup_EndDialog(SetupDialog *dialog, intptr_t result) {
    if (!dialog) return;
    dialog->ended = true;
    dialog->result = result;
    if (dialog->window && dialog->window->shown()) {
        dialog->window->hide();
        Fl::flush();
        if (fl_display) XSync(fl_display, False);
    }
}

Fl_Widget *setup_GetDlgItem(SetupDialog *dialog, int id) {
    DialogControl *control = findControl(dialog, id);
    return control ? control->widget : nullptr;
}

intptr_t setup_SendDlgItemMessage(SetupDialog *dialog, int id, unsigned message, uintptr_t wParam, intptr_t lParam) {
    DialogControl *control = findControl(dialog, id);
    if (!control) return 0;
    switch (control->kind) {
    case DialogControlKind::DropList:
        return dropListMessage(static_cast<Fl_Choice *>(control->widget), message, wParam, lParam);
    case DialogControlKind::CheckBox: {
        Fl_Button *box = static_cast<Fl_Button *>(control->widget);
        if (message == BM_GETCHECK) return box->value() ? 1 : 0;
        if (message == BM_SETCHECK) box->value(wParam ? 1 : 0);
        return 0;
    }
    case DialogControlKind::Picture:
        return PictureBox_WndProc(static_cast<PictureBoxWindow *>(control->widget), message, wParam, lParam);
    default: return 0;
    }
}

int setup_RegisterControls() { return PictureBox_Register(); }

namespace {
bool displayOpen = false;
}

bool startup_OpenDisplay() {
    if (displayOpen) return true;
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        const char *name = getenv("DISPLAY");
        fprintf(stderr, "vortan: cannot open the display \"%s\" for the setup dialog (--no-dialog skips it)\n",
                name ? name : "");
        return false;
    }
    fl_open_display(display);
    displayOpen = true;
    return true;
}

void startup_Notice(const char *text, const char *caption, bool /*information*/) {
    fprintf(stderr, "%s: %s\n", caption, text);
    if (!displayOpen) return;
    fl_message_title(caption);
    fl_choice("%s", "OK", nullptr, nullptr, text);
}
