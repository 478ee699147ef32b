// The picture box control: decoding from memory, and the picture drawn stretched for real on the
// display (its messages and style bits are driven through the setup dialog's own tests).
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

#include <cstdlib>
#include <string>

namespace {
struct TestRgb {
    unsigned char r, g, b;
};
const TestRgb QUADRANTS[4] = {{250, 20, 20}, {20, 250, 20}, {20, 20, 250}, {250, 250, 20}};

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

    // Truncated anywhere (header, tables, half the scan, one byte short), garbage or nothing:
    // refused and left empty, never read past.
    for (size_t keep : {size_t(100), banner.size - 1}) {
        PictureBoxImage cut;
        EXPECT_FALSE(PictureBox_DecodeJpeg(banner.bytes, keep, cut)) << keep << " bytes";
        EXPECT_EQ(cut.rgb, nullptr);
    }
    EXPECT_FALSE(PictureBox_DecodeJpeg(banner.bytes + 20, banner.size - 20, image));
    EXPECT_FALSE(PictureBox_DecodeJpeg(nullptr, 0, image));
    // Declared larger than 4096x4096: refused on the header, before any decompression.
    std::string huge(reinterpret_cast<const char *>(banner.bytes), banner.size);
    huge.replace(huge.find("\xFF\xC0") + 5, 4, std::string{'\x10', '\0', '\x20', '\0'}); // 8192x4096
    EXPECT_FALSE(PictureBox_DecodeJpeg(reinterpret_cast<const unsigned char *>(huge.data()), huge.size(), image));
    EXPECT_STREQ(image.error, "the picture is 8192x4096 pixels; at most 4096x4096 are shown");

    TestCwd cwd("picture-decode");
    ASSERT_EQ(std::system("convert -size 16x8 xc:'gray(128)' -type Grayscale -quality 100 grey.jpg"), 0);
    const std::string grey = testfs_ReadFile("grey.jpg"); // grey pictures come out as RGB
    ASSERT_TRUE(PictureBox_DecodeJpeg(reinterpret_cast<const unsigned char *>(grey.data()), grey.size(), image));
    EXPECT_NEAR(image.rgb[3 * 20 + 1], 128, 2);
}

TEST(PictureBox, PictureStretchedOverTheClientArea) {
    Display *display = XOpenDisplay(nullptr);
    if (!display) GTEST_SKIP() << "no display";
    fl_open_display(display);
    TestCwd cwd("picture-draw");
    // The four QUADRANTS of 8 x 8 pixels each, made with ImageMagick.
    ASSERT_EQ(std::system("convert -size 8x8 xc:'rgb(250,20,20)' xc:'rgb(20,250,20)' +append \\( -size 8x8 "
                          "xc:'rgb(20,20,250)' xc:'rgb(250,250,20)' +append \\) -append -sampling-factor 1x1 -quality 100 "
                          "quad.jpg"), 0);
    PictureBox_Register();

    Fl_Group group(0, 0, 120, 80);
    group.box(FL_FLAT_BOX);
    group.color(FL_BLACK);
    group.end();
    PictureBoxWindow *shown = PictureBox_CreateWindow("PictureBoxClass", "", WS_VISIBLE | 0x20, 0, 10, 10, 80, 40, &group, 1);
    ASSERT_NE(PictureBox_CreateWindow("PictureBoxClass", "", WS_VISIBLE | 0x20, 0, 100, 10, 15, 15, &group, 2), nullptr);
    ASSERT_EQ(PictureBox_WndProc(shown, BM_SETIMAGE, PBS_RESOURCE, reinterpret_cast<intptr_t>("quad.jpg")), 0);

    Fl_Image_Surface surface(120, 80);
    surface.set_current();
    surface.draw(&group);
    Fl_RGB_Image *image = surface.image();
    Fl_Display_Device::display_device()->set_current();
    ASSERT_NE(image, nullptr);
    const unsigned char *pixels = reinterpret_cast<const unsigned char *>(image->data()[0]);
    auto at = [&](int x, int y) { return pixels + (size_t(y) * 120 + size_t(x)) * size_t(image->d()); };
    // The 16 x 16 quadrants fill the 80 x 40 control: each quadrant is 40 x 20 pixels.
    for (int q = 0; q < 4; ++q) EXPECT_TRUE(near(at(20 + 50 * (q & 1), 15 + 30 * (q >> 1)), QUADRANTS[q], 12)) << q;
    // Outside the control and inside the empty one: the group's black, untouched.
    EXPECT_TRUE(near(at(5, 5), {0, 0, 0}, 0) && near(at(107, 17), {0, 0, 0}, 0));
    delete image;
}
