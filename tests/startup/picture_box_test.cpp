// The picture box control: decoding from memory and files, creation flags from the style bits,
// its messages, and the picture drawn stretched for real on the display.
#include <gtest/gtest.h>

#include "startup/picture_box.h"

#include "resources/dialog_template.h"
#include "resources/rcdata.h"
#include "tests/startup/jpeg_fixture.h"
#include "tests/support/temp_dir.h"

#include <FL/Fl.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Image.H>
#include <FL/Fl_Image_Surface.H>
#include <FL/x.H>
#undef None   // X11's macros would shadow names below
#undef Status
#undef Bool

#include <cstring>
#include <string>

namespace {
const TestRgb QUADRANTS[4] = {{250, 20, 20}, {20, 250, 20}, {20, 20, 250}, {250, 250, 20}};

bool openDisplay() {
    static bool open = false;
    if (open) return true;
    Display *display = XOpenDisplay(nullptr);
    if (!display) return false;
    fl_open_display(display);
    open = true;
    return true;
}

const unsigned char *bytesOf(const std::string &s) { return reinterpret_cast<const unsigned char *>(s.data()); }

// A control made as the dialog manager makes them, owned by the test.
struct Control {
    PictureBoxWindow *window;
    Control(uint32_t style, const char *text, int w = 200, int h = 50) {
        PictureBox_Register();
        window = PictureBox_CreateWindow("PictureBoxClass", text, style, 0, 0, 0, w, h, nullptr, 201);
    }
    ~Control() { PictureBox_Destroy(window); }
    PictureBoxData &data() { return *window->extra; }
    intptr_t send(unsigned message, uintptr_t wParam, intptr_t lParam) {
        return PictureBox_WndProc(window, message, wParam, lParam);
    }
};

bool near(const unsigned char *p, const TestRgb &c, int tolerance) {
    return std::abs(p[0] - c.r) <= tolerance && std::abs(p[1] - c.g) <= tolerance && std::abs(p[2] - c.b) <= tolerance;
}
} // namespace

TEST(PictureBoxDecode, BannerResourceAndBrokenPictures) {
    RcData banner = resource_FindRcData(RCDATA_BANNER);
    ASSERT_NE(banner.bytes, nullptr);
    PictureBoxImage image;
    ASSERT_TRUE(PictureBox_DecodeJpeg(banner.bytes, banner.size, image));
    EXPECT_EQ(image.width, 577);
    EXPECT_EQ(image.height, 98);
    // A baseline (SOF0) JFIF picture, as the dialog expects.
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(banner.bytes) + 6, 4), "JFIF");
    bool baseline = false;
    for (size_t i = 0; i + 1 < banner.size; ++i) baseline |= banner.bytes[i] == 0xFF && banner.bytes[i + 1] == 0xC0;
    EXPECT_TRUE(baseline);
    EXPECT_EQ(resource_FindRcData(4).bytes, nullptr);

    // Truncated anywhere (header, tables, half the scan, one byte short): refused, never read past.
    for (size_t keep : {size_t(2), size_t(100), banner.size / 2, banner.size - 1}) {
        PictureBoxImage cut;
        EXPECT_FALSE(PictureBox_DecodeJpeg(banner.bytes, keep, cut)) << keep << " bytes";
        EXPECT_EQ(cut.rgb, nullptr);
        EXPECT_EQ(cut.width, 0);
    }
    const std::string garbage = "not a picture at all, only some text";
    EXPECT_FALSE(PictureBox_DecodeJpeg(bytesOf(garbage), garbage.size(), image));
    EXPECT_FALSE(PictureBox_DecodeJpeg(nullptr, 0, image));

    // Grey pictures come out as RGB.
    std::vector<unsigned char> grey(16 * 8, 128);
    const std::string greyJpeg = testjpeg_Encode(grey, 16, 8, 1);
    ASSERT_TRUE(PictureBox_DecodeJpeg(bytesOf(greyJpeg), greyJpeg.size(), image));
    EXPECT_EQ(image.width, 16);
    EXPECT_NEAR(image.rgb[3 * 20 + 1], 128, 2);
}

TEST(PictureBoxCreate, FlagsFromTheStyleBits) {
    // The dialog's control: 0x24 gives FIT and RESOURCE, loads "#3" and keeps its own size.
    Control dialog(WS_CHILD | WS_VISIBLE | 0x24, "#3", 385, 60);
    ASSERT_NE(dialog.window, nullptr);
    EXPECT_EQ(dialog.data().flags, PBS_FIT | PBS_RESOURCE);
    EXPECT_EQ(dialog.window->style, WS_CHILD | WS_VISIBLE);   // the two bits are taken out
    ASSERT_NE(dialog.data().picture, nullptr);
    EXPECT_EQ(dialog.data().picture->w(), 577);
    EXPECT_EQ(dialog.window->w(), 385);
    EXPECT_EQ(dialog.data().width, 385);
    EXPECT_STREQ(dialog.data().name, "#3");

    // 0x10: AUTOSIZE and no picture type, so "#3" names nothing loadable.
    Control autosize(0x10, "#3");
    EXPECT_EQ(autosize.data().flags, PBS_AUTOSIZE);
    EXPECT_EQ(autosize.data().picture, nullptr);
    EXPECT_EQ(autosize.window->w(), 200);

    // No bits: AUTOSIZE by default, an empty name, nothing to show.
    Control none(0, "");
    EXPECT_EQ(none.data().flags, PBS_AUTOSIZE);
    EXPECT_EQ(none.data().name[0], '\0');
    EXPECT_EQ(none.data().picture, nullptr);
    EXPECT_EQ(none.window->style, 0u);

    // RESOURCE without a sizing bit: the control takes the picture's natural size.
    Control natural(0x04, "#3", 40, 30);
    EXPECT_EQ(natural.data().flags, PBS_AUTOSIZE | PBS_RESOURCE);
    EXPECT_EQ(natural.window->w(), 577);
    EXPECT_EQ(natural.window->h(), 98);
    EXPECT_EQ(natural.data().height, 98);

    // Both sizing bits: FIT wins and AUTOSIZE stays in the style; of several types the first
    // of 0x4, 0x1, 0x8, 0x2 is taken and the others stay.
    Control mixed(0x30 | 0x0B, "");
    EXPECT_EQ(mixed.data().flags, PBS_FIT | PBS_BITMAP);
    EXPECT_EQ(mixed.window->style, 0x10u | 0x08u | 0x02u);
    Control later(0x0A, "");
    EXPECT_EQ(later.data().flags, PBS_AUTOSIZE | PBS_RESOURCE2);
}

TEST(PictureBoxCreate, RegistrationAndCreation) {
    PictureBox_Unregister();
    EXPECT_EQ(PictureBox_CreateWindow("PictureBoxClass", "#3", 0x24, 0, 0, 0, 10, 10, nullptr, 1), nullptr);
    EXPECT_EQ(PictureBox_ClassInfo(), nullptr);
    EXPECT_EQ(PictureBox_Register(), 1);
    EXPECT_EQ(PictureBox_Register(), 1);
    ASSERT_NE(PictureBox_ClassInfo(), nullptr);
    EXPECT_STREQ(PictureBox_ClassInfo()->name, "PictureBoxClass");
    EXPECT_EQ(PictureBox_ClassInfo()->windowExtra, int(sizeof(void *)));
    EXPECT_EQ(PictureBox_CreateWindow("OtherClass", "", 0, 0, 0, 0, 10, 10, nullptr, 1), nullptr);

    EXPECT_EQ(PictureBox_Create(0x24, "#3", 0, 0, 10, 10, nullptr, 7), nullptr);   // no parent
    Fl_Group parent(0, 0, 300, 200);
    parent.end();
    PictureBoxWindow *child = PictureBox_Create(0x24 | PBS_CLIENTEDGE, "#3", 5, 6, 100, 40, &parent, 7);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->parent(), &parent);
    EXPECT_EQ(child->controlId, 7);
    EXPECT_TRUE(child->style & WS_CHILD);
    EXPECT_EQ(child->exStyle, WS_EX_CLIENTEDGE);
    int x, y, w, h;
    child->clientRect(x, y, w, h);
    EXPECT_EQ(w, 96);   // inside the two-pixel sunken edge
    EXPECT_EQ(x, 7);
}

TEST(PictureBoxMessages, SetImageKeepsTheOldPictureWhenTheNewOneFails) {
    TestCwd cwd("picture-box");
    testfs_WriteFile("quad.jpg", testjpeg_Quadrants(32, 16, QUADRANTS));
    const std::string banner = testfs_ReadFile(cwd.path + "/quad.jpg");
    testfs_WriteFile("cut.jpg", banner.substr(0, banner.size() / 2));

    Control control(0x24, "#3");
    Fl_RGB_Image *original = control.data().picture;
    ASSERT_NE(original, nullptr);

    // A missing file: 1, the picture stays, name and flags have moved on.
    EXPECT_EQ(control.send(BM_SETIMAGE, 0, reinterpret_cast<intptr_t>("no-such-file.jpg")), 1);
    EXPECT_EQ(control.data().picture, original);
    EXPECT_STREQ(control.data().name, "no-such-file.jpg");
    EXPECT_EQ(control.data().flags, PBS_FIT);

    // A truncated JPEG file: also 1 and the same picture.
    EXPECT_EQ(control.send(BM_SETIMAGE, 0, reinterpret_cast<intptr_t>("cut.jpg")), 1);
    EXPECT_EQ(control.data().picture, original);

    // A name too long for the record is refused whole.
    std::string longName(PICTUREBOX_NAME_SIZE + 10, 'a');
    EXPECT_EQ(control.send(BM_SETIMAGE, 0, reinterpret_cast<intptr_t>(longName.c_str())), 1);
    EXPECT_STREQ(control.data().name, "cut.jpg");

    // A good file replaces it; the control keeps its size until the next WM_SIZE.
    EXPECT_EQ(control.send(BM_SETIMAGE, PBS_RESOURCE2, reinterpret_cast<intptr_t>("quad.jpg")), 0);
    ASSERT_NE(control.data().picture, nullptr);
    EXPECT_EQ(control.data().picture->w(), 32);
    EXPECT_EQ(control.data().flags, PBS_FIT | PBS_RESOURCE2);
    EXPECT_EQ(control.window->w(), 200);

    // Back to the resource by "#3"; a "#n" with no such resource fails.
    EXPECT_EQ(control.send(BM_SETIMAGE, PBS_RESOURCE, reinterpret_cast<intptr_t>("#3")), 0);
    EXPECT_EQ(control.data().picture->w(), 577);
    EXPECT_EQ(control.send(BM_SETIMAGE, PBS_RESOURCE, reinterpret_cast<intptr_t>("#9")), 1);
    EXPECT_EQ(control.send(BM_SETIMAGE, PBS_ICON, reinterpret_cast<intptr_t>("#3")), 1);   // no icons
    EXPECT_EQ(control.send(WM_ERASEBKGND, 0, 0), 0);   // icon pictures report no erase
    EXPECT_EQ(control.data().picture->w(), 577);

    // An empty control gets its first picture through BM_SETIMAGE.
    Control empty(0x10, "");
    EXPECT_EQ(empty.send(WM_ERASEBKGND, 0, 0), 1);
    EXPECT_EQ(empty.send(BM_SETIMAGE, PBS_RESOURCE, reinterpret_cast<intptr_t>("#3")), 0);
    EXPECT_EQ(empty.send(WM_SIZE, 0, 0), 0);   // autosize happens at the next WM_SIZE
    EXPECT_EQ(empty.window->w(), 577);
}

TEST(PictureBoxMessages, SetStyleAndCursor) {
    Control control(0x24, "#3", 120, 40);
    // Width 200, height 0: the flags change, the size does not; the type flag is kept.
    EXPECT_EQ(control.send(PBX_SETSTYLE, PBS_AUTOSIZE, 200), 0);
    EXPECT_EQ(control.data().flags, PBS_AUTOSIZE | PBS_RESOURCE);
    EXPECT_EQ(control.window->w(), 120);
    EXPECT_EQ(control.window->h(), 40);
    // Both given: the control takes them (and, autosizing, goes back to the picture's size at
    // its WM_SIZE, as the flag asks).
    EXPECT_EQ(control.send(PBX_SETSTYLE, PBS_FIT, 200 | (50 << 16)), 0);
    EXPECT_EQ(control.window->w(), 200);
    EXPECT_EQ(control.window->h(), 50);
    control.send(PBX_SETSTYLE, PBS_AUTOSIZE, 300 | (60 << 16));
    EXPECT_EQ(control.window->w(), 577);

    EXPECT_EQ(control.send(PBX_SETSTYLE, PBS_FIT | PBS_CLIENTEDGE, 0), 0);
    EXPECT_EQ(control.window->exStyle, WS_EX_CLIENTEDGE);
    control.send(PBX_SETSTYLE, PBS_FIT | PBS_TOGGLEBORDER, 0);
    EXPECT_EQ(control.window->exStyle, 0u);
    EXPECT_TRUE(control.window->style & WS_BORDER);
    control.send(PBX_SETSTYLE, PBS_FIT | PBS_TOGGLEBORDER, 0);
    EXPECT_FALSE(control.window->style & WS_BORDER);

    EXPECT_EQ(control.data().cursor, 0);
    EXPECT_EQ(control.send(PBX_SETCURSOR, 0, FL_CURSOR_HAND), 0);
    EXPECT_EQ(control.data().cursor, int(FL_CURSOR_HAND));
}

TEST(PictureBoxDraw, PictureStretchedOverTheClientArea) {
    if (!openDisplay()) GTEST_SKIP() << "no display";
    TestCwd cwd("picture-draw");
    testfs_WriteFile("quad.jpg", testjpeg_Quadrants(16, 16, QUADRANTS));
    PictureBox_Register();

    Fl_Group group(0, 0, 120, 80);
    group.box(FL_FLAT_BOX);
    group.color(FL_BLACK);
    group.end();
    PictureBoxWindow *shown = PictureBox_CreateWindow("PictureBoxClass", "", WS_VISIBLE | 0x20, 0, 10, 10, 80, 40, &group, 1);
    PictureBoxWindow *blank = PictureBox_CreateWindow("PictureBoxClass", "", WS_VISIBLE | 0x20, 0, 100, 10, 15, 15, &group, 2);
    ASSERT_NE(shown, nullptr);
    ASSERT_NE(blank, nullptr);
    ASSERT_EQ(PictureBox_WndProc(shown, BM_SETIMAGE, PBS_RESOURCE, reinterpret_cast<intptr_t>("quad.jpg")), 0);

    Fl_Image_Surface surface(120, 80);
    surface.set_current();
    surface.draw(&group);
    Fl_RGB_Image *image = surface.image();
    Fl_Display_Device::display_device()->set_current();
    ASSERT_NE(image, nullptr);
    const unsigned char *pixels = reinterpret_cast<const unsigned char *>(image->data()[0]);
    const int depth = image->d();
    auto at = [&](int x, int y) { return pixels + (size_t(y) * 120 + size_t(x)) * size_t(depth); };
    // The 16 x 16 quadrants fill the 80 x 40 control: each quadrant is 40 x 20 pixels.
    EXPECT_TRUE(near(at(20, 15), QUADRANTS[0], 12));
    EXPECT_TRUE(near(at(70, 15), QUADRANTS[1], 12));
    EXPECT_TRUE(near(at(20, 45), QUADRANTS[2], 12));
    EXPECT_TRUE(near(at(70, 45), QUADRANTS[3], 12));
    // Outside the control and inside the empty one: the group's black, untouched.
    EXPECT_TRUE(near(at(5, 5), {0, 0, 0}, 0));
    EXPECT_TRUE(near(at(107, 17), {0, 0, 0}, 0));
    delete image;
}
