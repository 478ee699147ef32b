// The picture box control: decoding from memory and files, creation flags from the style bits,
// its messages, and the picture drawn stretched for real on the display.
#include <gtest/gtest.h>

#include "startup/picture_box.h"

#include "resources/dialog_template.h"
#include "resources/rcdata.h"
#include "tests/support/temp_dir.h"

#include <FL/Fl.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Image.H>
#include <FL/Fl_Image_Surface.H>
#include <FL/x.H>
#undef None   // X11's macros would shadow names below
#undef Status
#undef Bool

#include <jpeglib.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {
struct TestRgb {
    unsigned char r, g, b;
};
const TestRgb QUADRANTS[4] = {{250, 20, 20}, {20, 250, 20}, {20, 20, 250}, {250, 250, 20}};

// A baseline JPEG made here with libjpeg: mid grey with one component, else the four flat
// QUADRANTS (top left, top right, bottom left, bottom right).
std::string encodeJpeg(int width, int height, int components) {
    std::vector<unsigned char> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const TestRgb &c = QUADRANTS[(y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0)];
            if (components == 1) pixels.push_back(128);
            else pixels.insert(pixels.end(), {c.r, c.g, c.b});
        }
    }
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = unsigned(width);
    cinfo.image_height = unsigned(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = &pixels[size_t(cinfo.next_scanline) * size_t(width * components)];
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string bytes(reinterpret_cast<char *>(buffer), size);
    jpeg_destroy_compress(&cinfo);
    free(buffer);
    return bytes;
}

const unsigned char *bytesOf(const std::string &s) { return reinterpret_cast<const unsigned char *>(s.data()); }
intptr_t nameOf(const char *name) { return reinterpret_cast<intptr_t>(name); }

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

TEST(PictureBox, DecodesTheBannerAndRefusesBrokenPictures) {
    RcData banner = resource_FindRcData(RCDATA_BANNER);
    ASSERT_NE(banner.bytes, nullptr);
    EXPECT_EQ(resource_FindRcData(4).bytes, nullptr);
    PictureBoxImage image;
    ASSERT_TRUE(PictureBox_DecodeJpeg(banner.bytes, banner.size, image));
    EXPECT_EQ(image.width, 577);
    EXPECT_EQ(image.height, 98);
    const std::string bytes(reinterpret_cast<const char *>(banner.bytes), banner.size);
    EXPECT_EQ(bytes.substr(6, 4), "JFIF");
    EXPECT_NE(bytes.find("\xFF\xC0"), std::string::npos); // a baseline (SOF0) frame

    // Truncated anywhere (header, tables, half the scan, one byte short), garbage or nothing:
    // refused and left empty, never read past.
    for (size_t keep : {size_t(2), size_t(100), banner.size / 2, banner.size - 1}) {
        PictureBoxImage cut;
        EXPECT_FALSE(PictureBox_DecodeJpeg(banner.bytes, keep, cut)) << keep << " bytes";
        EXPECT_EQ(cut.rgb, nullptr);
    }
    EXPECT_FALSE(PictureBox_DecodeJpeg(bytesOf(bytes.substr(20)), banner.size - 20, image));
    EXPECT_FALSE(PictureBox_DecodeJpeg(nullptr, 0, image));
    // Declared larger than 4096x4096: refused on the header, before any decompression.
    std::string huge = bytes;
    huge.replace(huge.find("\xFF\xC0") + 5, 4, std::string{'\x10', '\0', '\x20', '\0'}); // 8192x4096
    EXPECT_FALSE(PictureBox_DecodeJpeg(bytesOf(huge), huge.size(), image));
    EXPECT_STREQ(image.error, "the picture is 8192x4096 pixels; at most 4096x4096 are shown");

    const std::string grey = encodeJpeg(16, 8, 1); // grey pictures come out as RGB
    ASSERT_TRUE(PictureBox_DecodeJpeg(bytesOf(grey), grey.size(), image));
    EXPECT_NEAR(image.rgb[3 * 20 + 1], 128, 2);
}

TEST(PictureBox, CreationFromTheStyleBits) {
    // The dialog's control: 0x24 gives FIT and RESOURCE, loads "#3" and keeps its own size.
    Control dialog(WS_CHILD | WS_VISIBLE | 0x24, "#3", 385, 60);
    ASSERT_NE(dialog.window, nullptr);
    EXPECT_EQ(dialog.data().flags, PBS_FIT | PBS_RESOURCE);
    EXPECT_EQ(dialog.window->style, WS_CHILD | WS_VISIBLE); // the two bits are taken out
    ASSERT_NE(dialog.data().picture, nullptr);
    EXPECT_EQ(dialog.data().picture->w(), 577);
    EXPECT_EQ(dialog.window->w(), 385);
    // 0x10: AUTOSIZE and no picture type, so "#3" names nothing loadable; no bits: AUTOSIZE too.
    Control autosize(0x10, "#3"), none(0, "");
    EXPECT_EQ(autosize.data().flags, PBS_AUTOSIZE);
    EXPECT_EQ(autosize.data().picture, nullptr);
    EXPECT_EQ(autosize.window->w(), 200);
    EXPECT_EQ(none.data().flags, PBS_AUTOSIZE);
    EXPECT_EQ(none.data().picture, nullptr);
    // RESOURCE without a sizing bit: the control takes the picture's natural size.
    Control natural(0x04, "#3", 40, 30);
    EXPECT_EQ(natural.data().flags, PBS_AUTOSIZE | PBS_RESOURCE);
    EXPECT_EQ(natural.window->w(), 577);
    EXPECT_EQ(natural.window->h(), 98);
    // Both sizing bits: FIT wins and AUTOSIZE stays in the style; of several types the first of
    // 0x4, 0x1, 0x8, 0x2 is taken and the others stay.
    Control mixed(0x30 | 0x0B, ""), later(0x0A, "");
    EXPECT_EQ(mixed.data().flags, PBS_FIT | PBS_BITMAP);
    EXPECT_EQ(mixed.window->style, 0x10u | 0x08u | 0x02u);
    EXPECT_EQ(later.data().flags, PBS_AUTOSIZE | PBS_RESOURCE2);

    // Only the registered class, and PictureBox_Create only with a parent.
    EXPECT_STREQ(PictureBox_ClassInfo()->name, "PictureBoxClass");
    EXPECT_EQ(PictureBox_CreateWindow("OtherClass", "", 0, 0, 0, 0, 10, 10, nullptr, 1), nullptr);
    EXPECT_EQ(PictureBox_Create(0x24, "#3", 0, 0, 10, 10, nullptr, 7), nullptr);
    Fl_Group parent(0, 0, 300, 200);
    parent.end();
    PictureBoxWindow *child = PictureBox_Create(0x24 | PBS_CLIENTEDGE, "#3", 5, 6, 100, 40, &parent, 7);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->parent(), &parent);
    EXPECT_EQ(child->exStyle, WS_EX_CLIENTEDGE);
    int x, y, w, h;
    child->clientRect(x, y, w, h);
    EXPECT_EQ(x, 7); // inside the two-pixel sunken edge
    EXPECT_EQ(w, 96);
}

TEST(PictureBox, Messages) {
    TestCwd cwd("picture-box");
    const std::string quad = encodeJpeg(32, 16, 3);
    testfs_WriteFile("quad.jpg", quad);
    testfs_WriteFile("cut.jpg", quad.substr(0, quad.size() / 2));
    Control control(0x24, "#3", 120, 40);
    Fl_RGB_Image *original = control.data().picture;
    ASSERT_NE(original, nullptr);

    // A missing file, a truncated one, a name too long for the record (refused whole), a "#n"
    // with no such resource, an icon: 1, and the old picture stays.
    EXPECT_EQ(control.send(BM_SETIMAGE, 0, nameOf("no-such-file.jpg")), 1);
    EXPECT_STREQ(control.data().name, "no-such-file.jpg");
    EXPECT_EQ(control.data().flags, PBS_FIT);
    EXPECT_EQ(control.send(BM_SETIMAGE, 0, nameOf("cut.jpg")), 1);
    EXPECT_EQ(control.send(BM_SETIMAGE, 0, nameOf(std::string(PICTUREBOX_NAME_SIZE + 10, 'a').c_str())), 1);
    EXPECT_STREQ(control.data().name, "cut.jpg");
    EXPECT_EQ(control.send(BM_SETIMAGE, PBS_RESOURCE, nameOf("#9")), 1);
    EXPECT_EQ(control.send(BM_SETIMAGE, PBS_ICON, nameOf("#3")), 1);
    EXPECT_EQ(control.data().picture, original);
    // A good file replaces it; the control keeps its size.
    EXPECT_EQ(control.send(BM_SETIMAGE, PBS_RESOURCE2, nameOf("quad.jpg")), 0);
    EXPECT_EQ(control.data().picture->w(), 32);
    EXPECT_EQ(control.data().flags, PBS_FIT | PBS_RESOURCE2);
    EXPECT_EQ(control.window->w(), 120);

    // PBX_SETSTYLE with a width and a zero height: the flags change, the size does not.
    EXPECT_EQ(control.send(PBX_SETSTYLE, PBS_AUTOSIZE, 200), 0);
    EXPECT_EQ(control.data().flags, PBS_AUTOSIZE | PBS_RESOURCE2);
    EXPECT_EQ(control.window->w(), 120);
    EXPECT_EQ(control.window->h(), 40);
    // Both given: the control takes them (and, autosizing, goes back to the picture's size).
    control.send(PBX_SETSTYLE, PBS_FIT, 200 | (50 << 16));
    EXPECT_EQ(control.window->w(), 200);
    EXPECT_EQ(control.window->h(), 50);
    control.send(PBX_SETSTYLE, PBS_AUTOSIZE, 300 | (60 << 16));
    EXPECT_EQ(control.window->w(), 32);
    control.send(PBX_SETSTYLE, PBS_FIT | PBS_CLIENTEDGE, 0);
    EXPECT_EQ(control.window->exStyle, WS_EX_CLIENTEDGE);
    control.send(PBX_SETSTYLE, PBS_FIT | PBS_TOGGLEBORDER, 0);
    EXPECT_EQ(control.window->exStyle, 0u);
    EXPECT_TRUE(control.window->style & WS_BORDER);
    EXPECT_EQ(control.send(PBX_SETCURSOR, 0, FL_CURSOR_HAND), 0);
    EXPECT_EQ(control.data().cursor, int(FL_CURSOR_HAND));

    // An empty control gets its first picture through BM_SETIMAGE, and autosizes at WM_SIZE.
    Control empty(0x10, "");
    EXPECT_EQ(empty.send(BM_SETIMAGE, PBS_RESOURCE, nameOf("#3")), 0);
    EXPECT_EQ(empty.send(WM_SIZE, 0, 0), 0);
    EXPECT_EQ(empty.window->w(), 577);
}

TEST(PictureBox, PictureStretchedOverTheClientArea) {
    Display *display = XOpenDisplay(nullptr);
    if (!display) GTEST_SKIP() << "no display";
    fl_open_display(display);
    TestCwd cwd("picture-draw");
    testfs_WriteFile("quad.jpg", encodeJpeg(16, 16, 3));
    PictureBox_Register();

    Fl_Group group(0, 0, 120, 80);
    group.box(FL_FLAT_BOX);
    group.color(FL_BLACK);
    group.end();
    PictureBoxWindow *shown = PictureBox_CreateWindow("PictureBoxClass", "", WS_VISIBLE | 0x20, 0, 10, 10, 80, 40, &group, 1);
    ASSERT_NE(PictureBox_CreateWindow("PictureBoxClass", "", WS_VISIBLE | 0x20, 0, 100, 10, 15, 15, &group, 2), nullptr);
    ASSERT_EQ(PictureBox_WndProc(shown, BM_SETIMAGE, PBS_RESOURCE, nameOf("quad.jpg")), 0);

    Fl_Image_Surface surface(120, 80);
    surface.set_current();
    surface.draw(&group);
    Fl_RGB_Image *image = surface.image();
    Fl_Display_Device::display_device()->set_current();
    ASSERT_NE(image, nullptr);
    const unsigned char *pixels = reinterpret_cast<const unsigned char *>(image->data()[0]);
    auto at = [&](int x, int y) { return pixels + (size_t(y) * 120 + size_t(x)) * size_t(image->d()); };
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
