// The picture box control's JPEG decoding from memory and the rules both platforms' controls
// follow (their windows are driven through the setup dialog's own tests, and the fuzz target
// feeds the decoder damaged pictures).
#include <gtest/gtest.h>

#include "startup/picture_box.h"

#include "resources/dialog_template.h"
#include "resources/rcdata.h"
#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <string>
#include <tuple>

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
    // (Grey and progressive JPEGs against their twins: the texture pictures' test.)
}

TEST(PictureBox, RulesOfCreationImagesAndStyles) {
    const struct { uint32_t style, flags, left; } created[] = {
        {0x0024, PBS_FIT | PBS_RESOURCE, 0},                        // the setup dialog's control
        {0x0030 | WS_CHILD, PBS_FIT, 0x0010 | WS_CHILD},            // fit wins; autosize stays in the style
        {0x000B, PBS_AUTOSIZE | PBS_BITMAP, 0x000A},                // the default sizing; the first type taken
        {0x000A, PBS_AUTOSIZE | PBS_RESOURCE2, 0x0002},
    };
    for (const auto &c : created) {
        const PictureBoxCreation made = PictureBox_CreationFlags(c.style);
        EXPECT_TRUE(made.flags == c.flags && made.style == c.left) << std::hex << c.style << " " << made.flags;
    }
    EXPECT_EQ(PictureBox_PictureType(PBS_FIT | PBS_ICON | PBS_RESOURCE2), PBS_RESOURCE2);
    EXPECT_EQ(PictureBox_ImageFlags(PBS_FIT | PBS_RESOURCE, PBS_ICON), PBS_FIT | PBS_ICON);
    EXPECT_TRUE(PictureBox_IsClassName("PictureBoxClass") && !PictureBox_IsClassName("PictureBoxClas"));
    const PictureBoxStyle wide = PictureBox_NewStyle(PBS_FIT | PBS_RESOURCE, PBS_AUTOSIZE | PBS_CLIENTEDGE, 200);
    EXPECT_TRUE(wide.flags == (PBS_AUTOSIZE | PBS_CLIENTEDGE | PBS_RESOURCE) && wide.clientEdge && !wide.toggleBorder &&
                !wide.resize);
    const PictureBoxStyle sized = PictureBox_NewStyle(0, PBS_TOGGLEBORDER, 120 | (30 << 16));
    EXPECT_TRUE(!sized.clientEdge && sized.toggleBorder && sized.resize && sized.width == 120 && sized.height == 30);

    TestCwd cwd("picture-rules");
    const RcData banner = resource_FindRcData(RCDATA_BANNER);
    testfs_WriteFile("banner.jpg", std::string(reinterpret_cast<const char *>(banner.bytes), banner.size));
    for (auto [name, flags, loads] : {std::tuple{"#3", PBS_RESOURCE, true}, {"#3", PBS_RESOURCE2, true}, {"#3", PBS_ICON, false},
                                      {"#99", PBS_RESOURCE, false}, {"#3x", PBS_RESOURCE, false}, {"#", PBS_RESOURCE, false},
                                      {"banner.jpg", 0u, true}, {"absent.jpg", 0u, false}, {"", 0u, false}}) {
        PictureBoxImage image;
        EXPECT_TRUE(PictureBox_LoadPicture(name, flags, image) == loads && image.width == (loads ? 577 : 0)) << name;
    }
}
