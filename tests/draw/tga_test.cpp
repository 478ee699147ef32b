// The picture readers without a window: every accepted TGA type and origin, hand-made files,
// broken files, the power-of-two resampling and the halving rule; PNG and JPEG pictures written
// by ImageMagick against their TGA twins.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>

#include "draw/picture.h"
#include "draw/tga.h"
#include "tests/draw/tga_expect.h"
#include "tests/support/temp_dir.h"
#include "tools/texgen/tga_write.h"

namespace {

std::vector<uint8_t> encode(const TgaImage &img, int type, bool topFirst, bool rightToLeft, int mapFirst = 0) {
    return tgawrite_Encode(img.pixels.data(), img.width, img.height, img.components, {type, topFirst, rightToLeft, mapFirst, "id"});
}

bool decode(const std::vector<uint8_t> &bytes, TgaImage *out, std::string *why = nullptr) {
    const char *reason = nullptr;
    bool ok = tga_Decode(bytes.data(), bytes.size(), out, &reason);
    if (why) *why = reason ? reason : "";
    return ok;
}

// A picture of few colours, so it fits a colour map.
TgaImage paletteImage(int w, int h, int c) {
    TgaImage img = expect_Pattern(w, h, c, 7);
    for (size_t i = 0; i < img.pixels.size(); ++i) img.pixels[i] = static_cast<uint8_t>((img.pixels[i] / 64) * 85);
    return img;
}

std::vector<uint8_t> header(int mapType, int type, int mapLength, int mapBits, int w, int h, int bpp, int descriptor) {
    const int f[] = {0, mapType, type, 0, 0, mapLength & 0xFF, mapLength >> 8, mapBits, 0, 0, 0, 0,
                     w & 0xFF, w >> 8, h & 0xFF, h >> 8, bpp, descriptor};
    return {std::begin(f), std::end(f)};
}

} // namespace

TEST(TgaDecode, EveryTypeAndOriginRoundTrips) {
    for (auto [type, components] : {std::pair{1, 3}, {1, 4}, {9, 3}, {9, 4}, {2, 3}, {2, 4}, {10, 3}, {10, 4}, {3, 1}, {11, 1}}) {
        // Odd sizes and runs that cross rows; colour-mapped ones with few colours and long runs.
        TgaImage img = (type & 7) == 1 ? paletteImage(37, 11, components) : expect_Pattern(37, 11, components, type);
        for (int i = 0; i < 150; ++i) memset(&img.pixels[(200 + i) * components], 0x55, components);
        for (int origin = 0; origin < 4; ++origin) {
            SCOPED_TRACE("type " + std::to_string(type) + " components " + std::to_string(components) +
                         " origin " + std::to_string(origin));
            std::vector<uint8_t> bytes = encode(img, type, origin & 1, origin & 2, (type & 7) == 1 ? 3 : 0);
            ASSERT_FALSE(bytes.empty());
            TgaImage out;
            ASSERT_TRUE(decode(bytes, &out));
            EXPECT_EQ(std::make_tuple(out.width, out.height, out.components), std::make_tuple(37, 11, components));
            EXPECT_EQ(out.pixels, img.pixels);
        }
    }
}

TEST(TgaDecode, HandMadeFilesGiveBottomRowFirstInRgbOrder) {
    // 2 x 2 true-colour, top row first and right to left: the file's first pixel is the top right.
    std::vector<uint8_t> f = header(0, 2, 0, 0, 2, 2, 24, 0x30);
    f.insert(f.end(), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}); // BGR: TR, TL, BR, BL
    TgaImage out;
    ASSERT_TRUE(decode(f, &out));
    std::vector<uint8_t> want = {12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}; // BL, BR, TL, TR as RGB
    EXPECT_EQ(out.pixels, want);

    // Run-length, colour map of 32-bit entries starting at index 2, one run crossing a row.
    f = header(1, 9, 2, 32, 3, 2, 8, 0);
    f[3] = 2; // first map entry
    f.insert(f.end(), {10, 20, 30, 40, 50, 60, 70, 80}); // the map
    f.insert(f.end(), {0x83, 3, 0x01, 2, 3});            // four of entry 3, then raw 2, 3
    ASSERT_TRUE(decode(f, &out));
    EXPECT_EQ(out.components, 4);
    want = {70, 60, 50, 80, 70, 60, 50, 80, 70, 60, 50, 80, 70, 60, 50, 80, 30, 20, 10, 40, 70, 60, 50, 80};
    EXPECT_EQ(out.pixels, want);
}

TEST(TgaDecode, BrokenFilesFailCleanly) {
    TgaImage keep = expect_Pattern(2, 2, 3);
    TgaImage out = keep;
    std::string why;
    // Every cut of valid files of each kind fails; the image handed in is left alone.
    TgaImage mapped = paletteImage(9, 7, 4), rgb = expect_Pattern(9, 7, 3), grey = expect_Pattern(9, 7, 1);
    for (const auto &bytes : {encode(mapped, 1, false, false), encode(mapped, 9, true, false), encode(rgb, 2, false, true),
                              encode(rgb, 10, false, false), encode(grey, 3, false, false), encode(grey, 11, true, true)}) {
        for (size_t n = 0; n < bytes.size(); ++n) {
            std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + n);
            ASSERT_FALSE(decode(cut, &out, &why)) << "cut at " << n;
            EXPECT_FALSE(why.empty());
        }
        ASSERT_TRUE(decode(bytes, &out));
    }
    EXPECT_FALSE(tga_Decode(nullptr, 0, &out));

    out = keep;
    auto fails = [&](std::vector<uint8_t> f, const char *expectWhy) {
        f.resize(f.size() + 4096, 0x7F); // plenty of pixel bytes, so only the header is at fault
        EXPECT_FALSE(decode(f, &out, &why)) << expectWhy;
        EXPECT_EQ(why, expectWhy);
        EXPECT_EQ(out.pixels, keep.pixels);
    };
    fails(header(0, 2, 0, 0, 4, 4, 16, 0), "unsupported bits per pixel");
    fails(header(0, 3, 0, 0, 4, 4, 24, 0), "bits per pixel do not suit the image type");
    fails(header(0, 12, 0, 0, 4, 4, 24, 0), "unsupported image type");
    fails(header(2, 2, 0, 0, 4, 4, 24, 0), "unsupported colour map type");
    fails(header(0, 1, 0, 0, 4, 4, 8, 0), "colour-mapped image without a colour map");
    fails(header(1, 1, 16, 16, 4, 4, 8, 0), "unsupported colour map entry size");
    fails(header(1, 1, 257, 24, 4, 4, 8, 0), "unsupported colour map length");
    fails(header(0, 2, 0, 0, 0, 4, 24, 0), "empty image");
    fails(header(0, 10, 0, 0, 16385, 1, 24, 0), "image too large");
    // Headers a few kilobytes cannot honour: refused before the pixel buffer is allocated.
    fails(header(0, 2, 0, 0, 8192, 8192, 32, 0), "truncated pixel data");
    fails(header(0, 11, 0, 0, 4096, 4096, 8, 0), "truncated run-length data");

    // Map indices past the map, raw and in a run (first entry 1: index 0 lies below the map).
    for (auto [type, first, last] : {std::tuple{1, 0, 2}, {9, 1, 0x81}}) {
        std::vector<uint8_t> f = header(1, type, 2, 24, 2, 1, 8, 0);
        f[3] = uint8_t(first);
        f.insert(f.end(), {1, 2, 3, 4, 5, 6, uint8_t(last), 0});
        EXPECT_FALSE(decode(f, &out, &why)) << type;
        EXPECT_EQ(why, "colour map index outside the map");
    }
    EXPECT_EQ(out.pixels, keep.pixels);
}

TEST(TgaResample, HandWorkedResamplingAndHalving) {
    // 3 wide becomes 4: samples at 0, 2/3, 4/3, 2 of {0, 90, 255}.
    TgaImage img = TgaImage{3, 1, 1, {0, 90, 255}};
    ASSERT_TRUE(tga_ResampleToPowerOfTwo(&img));
    EXPECT_EQ(img.pixels, (std::vector<uint8_t>{0, 60, 145, 255}));
    // 5 high becomes 8: positions j * 4 / 7 (never exactly half way), rounded to nearest.
    img = TgaImage{1, 5, 1, {0, 100, 0, 100, 1}};
    ASSERT_TRUE(tga_ResampleToPowerOfTwo(&img));
    EXPECT_EQ(img.pixels, (std::vector<uint8_t>{0, 57, 86, 29, 29, 86, 58, 1}));
    // A power-of-two edge is only copied through; a power-of-two picture stays as it is.
    img = TgaImage{2, 3, 1, {0, 255, 90, 90, 255, 0}};
    ASSERT_TRUE(tga_ResampleToPowerOfTwo(&img));
    EXPECT_EQ(img.pixels, (std::vector<uint8_t>{0, 255, 60, 145, 145, 60, 255, 0}));
    const TgaImage square = expect_Pattern(16, 8, 4);
    img = square;
    ASSERT_TRUE(tga_ResampleToPowerOfTwo(&img));
    EXPECT_EQ(img.pixels, square.pixels);

    // Halving: 2 x 2 blocks (sums 3 and 41) round as (sum + 2) / 4, pairs as (sum + 1) / 2.
    TgaImage half, quarter;
    tga_HalveImage(TgaImage{4, 2, 1, {1, 2, 10, 10, 0, 0, 11, 10}}, &half);
    EXPECT_EQ(half.pixels, (std::vector<uint8_t>{1, 10}));
    tga_HalveImage(half, &quarter);
    EXPECT_EQ(quarter.pixels, (std::vector<uint8_t>{6}));
    tga_HalveImage(TgaImage{1, 2, 3, {0, 255, 5, 1, 255, 6}}, &half);
    EXPECT_EQ(half.pixels, (std::vector<uint8_t>{1, 255, 6}));
}

#ifndef PICTURE_TEST_WITHOUT_IMAGEMAGICK // the Windows build's tests run under Wine, without it
// Each kind of PNG and JPEG a paint program writes, made by ImageMagick from one RGBA picture,
// decodes to the pixels of its twin: the same picture written by ImageMagick as a TGA.
TEST(PictureDecode, PngAndJpegDecodeAsTheirTgaTwins) {
    TestCwd cwd("pictures");
    const TgaImage source = expect_Pattern(7, 5, 4, 3);
    ASSERT_TRUE(tgawrite_Save("source.tga", source.pixels.data(), 7, 5, 4, TgaWriteOptions{}));
    const struct { const char *made, *options; int components, tolerance; PictureKind kind; } rows[] = {
        {"PNG24:rgb.png", "-alpha off", 3, 0, PICTURE_PNG},
        {"PNG32:rgba.png", "", 4, 0, PICTURE_PNG},
        {"gray.png", "-colorspace Gray -type Grayscale", 1, 0, PICTURE_PNG},
        {"grayalpha.png", "-colorspace Gray -type GrayscaleAlpha", 4, 0, PICTURE_PNG},
        {"PNG8:palette.png", "", 4, 0, PICTURE_PNG},   // a palette with transparency
        {"PNG64:deep.png", "-depth 16", 4, 1, PICTURE_PNG},
        {"base.jpg", "-quality 95", 3, 2, PICTURE_JPEG},
        {"progressive.jpg", "-quality 95 -interlace Plane", 3, 2, PICTURE_JPEG},
        {"grey.jpg", "-colorspace Gray -quality 95", 3, 2, PICTURE_JPEG},
    };
    for (const auto &row : rows) {
        const std::string file = strchr(row.made, ':') ? strchr(row.made, ':') + 1 : row.made;
        ASSERT_EQ(std::system(("convert source.tga " + std::string(row.options) + " " + row.made + " && convert " + file +
                               " -depth 8 -orient topleft twin.tga").c_str()), 0) << file;
        const std::string bytes = testfs_ReadFile(file), twinBytes = testfs_ReadFile("twin.tga");
        TgaImage picture, twin;
        const char *why = "";
        EXPECT_EQ(picture_Kind(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()), row.kind) << file;
        ASSERT_TRUE(picture_Decode(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), &picture, &why)) << why;
        ASSERT_TRUE(picture_Decode(reinterpret_cast<const uint8_t *>(twinBytes.data()), twinBytes.size(), &twin)) << file;
        ASSERT_TRUE(picture.width == 7 && picture.height == 5 && picture.components == row.components) << file;
        int worst = 0; // the twin may carry channels the picture folds away (grey as RGB, no alpha)
        for (size_t i = 0; i < picture.pixels.size(); ++i) {
            const size_t pixel = i / size_t(row.components), c = i % size_t(row.components);
            const size_t at = twin.components == row.components ? i : pixel * size_t(twin.components) + (c < size_t(twin.components) && twin.components > 1 ? c : 0);
            worst = std::max(worst, std::abs(int(picture.pixels[i]) - int(twin.pixels[at])));
        }
        EXPECT_LE(worst, row.tolerance) << file;
    }
    // Damaged: refused with the decoder's reason, never read past the bytes.
    std::string cut = testfs_ReadFile("rgba.png").substr(0, 40);
    TgaImage none;
    const char *why = "";
    EXPECT_FALSE(picture_Decode(reinterpret_cast<const uint8_t *>(cut.data()), cut.size(), &none, &why));
    EXPECT_EQ(std::string(why).rfind("damaged PNG: ", 0), 0u) << why;
}
#endif
