// The picture box control, window class "PictureBoxClass": a child widget that holds one picture
// and draws it stretched over its client area. Programs talk to it with messages.
#pragma once
#include "startup/picture_styles.h"

#include <FL/Fl_Widget.H>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "draw/picture_jpeg.h"

class Fl_Group;
class Fl_Image;
class Fl_RGB_Image;

// Messages the control answers.
constexpr unsigned WM_CREATE = 0x0001;
constexpr unsigned WM_DESTROY = 0x0002;
constexpr unsigned WM_SIZE = 0x0005;
constexpr unsigned WM_PAINT = 0x000F;
constexpr unsigned WM_ERASEBKGND = 0x0014;
constexpr unsigned WM_SETCURSOR = 0x0020;
constexpr unsigned BM_SETIMAGE = 0x00F7;   // wParam: picture-type flags, lParam: name; 0 loaded, 1 not
// PBX_SETSTYLE and PBX_SETCURSOR (lParam: an Fl_Cursor) come from picture_styles.h.

class PictureBoxWindow;

// One per control, kept in the window's extra word from WM_CREATE to WM_DESTROY.
struct PictureBoxData {
    int width;                   // control width: creation width, or the picture's when autosized
    int height;                  // control height, likewise
    PictureBoxWindow *window;    // the control itself
    uint32_t flags;              // the flag word above
    int cursor;                  // Fl_Cursor over the control; 0: the class cursor
    char name[PICTUREBOX_NAME_SIZE]; // the picture's name; empty until one is given
    Fl_RGB_Image *picture;       // the loaded picture; null when there is none
};

// What the class was registered with.
struct PictureBoxClassInfo {
    uint32_t style;      // 0
    int windowExtra;     // one extra word: the PictureBoxData
    int classExtra;      // 0
    int cursor;          // the arrow
    int background;      // the dialog face colour; never painted, the control erases nothing
    const char *name;    // "PictureBoxClass"
};

// The control's window: an FLTK widget with a class name, window text, window style, extended
// style, control id and the extra word. Its FLTK events arrive as messages at PictureBox_WndProc.
class PictureBoxWindow : public Fl_Widget {
public:
    PictureBoxWindow(const char *className, const char *text, uint32_t style, uint32_t exStyle, int x, int y,
                     int w, int h, int id);
    ~PictureBoxWindow() override;
    void draw() override;
    int handle(int event) override;
    void resize(int x, int y, int w, int h) override;

    // The area inside the border and the sunken edge.
    void clientRect(int &x, int &y, int &w, int &h) const;
    // The picture at the client area's size, scaled once and kept until either changes.
    Fl_Image *scaledPicture(Fl_RGB_Image *picture, int w, int h);
    void forgetScaled();

    char className[PICTUREBOX_CLASS_SIZE];
    char text[PICTUREBOX_NAME_SIZE];
    uint32_t style;
    uint32_t exStyle;
    int controlId;
    PictureBoxData *extra = nullptr;

private:
    std::unique_ptr<Fl_Image> scaled_;
    const Fl_RGB_Image *scaledFrom_ = nullptr;
};

// Registers the class once per process: 1 on success (also when it already was registered).
int PictureBox_Register();
bool PictureBox_IsRegistered();
const PictureBoxClassInfo *PictureBox_ClassInfo();   // null until registered
void PictureBox_Unregister();                        // tests: the dialog must then fail

intptr_t PictureBox_WndProc(PictureBoxWindow *window, unsigned message, uintptr_t wParam, intptr_t lParam);

// Creates a window of a registered class as a child of parent (none: a widget without a parent)
// and sends it WM_CREATE and WM_SIZE. Null when the class is unknown or creation fails.
PictureBoxWindow *PictureBox_CreateWindow(const char *className, const char *text, uint32_t style,
                                          uint32_t exStyle, int x, int y, int w, int h, Fl_Group *parent,
                                          int id);

// Registers the class if needed and creates a child control (WS_CHILD added; sunken edge with
// 0x0200). Null without a parent.
PictureBoxWindow *PictureBox_Create(uint32_t style, const char *text, int x, int y, int width, int height,
                                    Fl_Group *parent, int id);

// Destroys a control (WM_DESTROY frees its record and picture).
void PictureBox_Destroy(PictureBoxWindow *window);

// Modal notice "PictureBox Library Version 1.00", caption "Version", one OK button.
void PictureBox_About();
