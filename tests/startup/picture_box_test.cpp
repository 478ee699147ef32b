// The picture box control's JPEG decoding from memory (its messages and style bits are driven
// through the setup dialog's own tests, and the fuzz target feeds it damaged pictures).
#include <gtest/gtest.h>

#include "startup/picture_box.h"

#include "resources/rcdata.h"
#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <string>

TEST(PictureBox, DecodesTheBannerAndRefusesBrokenPictures) {
    RcData banner = resource_FindRcData(RCDATA_BANNER);
    ASSERT_NE(banner.bytes, nullptr);
    EXPECT_EQ(resource_FindRcData(4).bytes, nullptr);
    PictureBoxImage image;
    ASSERT_TRUE(PictureBox_DecodeJpeg(banner.bytes, banner.size, image));
    EXPECT_EQ(image.width, 577);
    EXPECT_EQ(image.height, 98);

    // One byte short or nothing at all: refused and left empty.
    PictureBoxImage cut;
    EXPECT_FALSE(PictureBox_DecodeJpeg(banner.bytes, banner.size - 1, cut));
    EXPECT_EQ(cut.rgb, nullptr);
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
