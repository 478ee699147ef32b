// The frame-exact capture's folders and PNG writer, and its own PNG encoder checked against
// libpng's reading.
#include <gtest/gtest.h>
#include <png.h>
#include <string>
#include <vector>

#include "capture/capture.h"
#include "capture/capture_png.h"
#include "state/engine_state.h"
#include "tests/support/temp_dir.h"

// The clock is seen in the engine's run; here the folders made on the way and the rows' order.
TEST(Capture, FoldersAndPngRows) {
    const std::string dir = testfs_MakeTempDir("capture") + "/a/b/c";
    ASSERT_TRUE(capture_Begin(dir.c_str(), 30.0));
    EXPECT_FALSE(capture_Begin("/proc/no-such-folder/x", 30.0));
    engine_SetClock(nullptr);

    // Two rows: the first written row (red) must come back as the top row.
    const unsigned char rgb[] = {255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 255};
    const std::string path = dir + "/p.png";
    ASSERT_TRUE(capture_WritePng(path.c_str(), rgb, 3, 2));
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << image.message;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> back(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, back.data(), 0, nullptr)) << image.message;
    EXPECT_EQ(back, std::vector<uint8_t>(rgb, rgb + 18));
    EXPECT_FALSE(capture_WritePng((dir + "/missing/q.png").c_str(), rgb, 3, 2));
}

// Pictures through the encoder and back through libpng: every pixel as it was, from R, G, B rows
// top first and from B, G, R, A rows bottom first (as frames are read back), and sizes that show
// runs and Huffman codes at work and the stored fallback on noise.
TEST(Capture, PngEncoderRoundTrip) {
    struct Case {
        const char *name;
        int width, height;
        unsigned (*pixel)(int x, int y, unsigned noise); // 0xRRGGBB
        double maxRatio; // file bytes / R, G, B bytes
    };
    const Case cases[] = {
        {"one pixel", 1, 1, [](int, int, unsigned) { return 0x123456u; }, 80.0},
        {"black, runs across rows and bands", 640, 100, [](int, int, unsigned) { return 0u; }, 0.01},
        {"flat colour", 333, 37, [](int, int, unsigned) { return 0x80ff01u; }, 0.02},
        {"short runs", 97, 41, [](int x, int y, unsigned) { return (x / 5 + y) % 3 ? 0xffffffu : 0u; }, 0.3},
        {"gradient", 256, 64, [](int x, int y, unsigned) { return unsigned(x << 16 | y << 8 | (x ^ y)); }, 0.4},
        {"noise: stored blocks, one after another", 200, 250, [](int, int, unsigned n) { return n & 0xffffffu; }, 1.02},
        {"mostly flat, a little noise", 200, 120, [](int, int, unsigned n) { return n % 7 ? 0x202020u : n; }, 0.5},
        {"rows longer than a stored block", 30000, 3, [](int x, int, unsigned n) { return x % 9000 < 10 ? n : 7u; }, 0.05},
    };
    unsigned noise = 12345;
    for (const Case &c : cases) {
        const size_t count = size_t(c.width) * size_t(c.height);
        std::vector<unsigned char> rgb(count * 3), bgra(count * 4);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                noise = noise * 1103515245u + 12345u;
                const unsigned v = c.pixel(x, y, noise >> 4);
                unsigned char *top = &rgb[(size_t(y) * size_t(c.width) + size_t(x)) * 3];
                unsigned char *bottom = &bgra[(size_t(c.height - 1 - y) * size_t(c.width) + size_t(x)) * 4];
                top[0] = bottom[2] = (unsigned char)(v >> 16);
                top[1] = bottom[1] = (unsigned char)(v >> 8);
                top[2] = bottom[0] = (unsigned char)v;
                bottom[3] = (unsigned char)(x * 31); // alpha is dropped
            }
        for (const CapturePixels &in : {CapturePixels{rgb.data(), c.width, c.height, false, false},
                                        CapturePixels{bgra.data(), c.width, c.height, true, true}}) {
            std::vector<unsigned char> file = {1, 2, 3}; // the encoder starts from empty
            ASSERT_TRUE(capture_EncodePng(file, in)) << c.name;
            png_image image{};
            image.version = PNG_IMAGE_VERSION;
            ASSERT_TRUE(png_image_begin_read_from_memory(&image, file.data(), file.size())) << c.name << image.message;
            EXPECT_EQ(image.format, PNG_FORMAT_RGB) << c.name;
            std::vector<unsigned char> back(PNG_IMAGE_SIZE(image));
            ASSERT_TRUE(png_image_finish_read(&image, nullptr, back.data(), 0, nullptr)) << c.name << image.message;
            EXPECT_TRUE(back == rgb) << c.name << (in.bgra ? " (B, G, R, A)" : " (R, G, B)");
            EXPECT_LE(double(file.size()), c.maxRatio * double(rgb.size())) << c.name << ": " << file.size() << " bytes";
        }
    }
    std::vector<unsigned char> file;
    EXPECT_FALSE(capture_EncodePng(file, {nullptr, 0, 5, false, false}));
    EXPECT_FALSE(capture_EncodePng(file, {nullptr, 5, -1, true, true}));
    EXPECT_FALSE(capture_EncodePng(file, {nullptr, 1 << 24, 1 << 24, false, false})); // refused before any read
}
