// A real GL window for drawing tests (Xvfb + Mesa in CI): open, draw, read pixels back.
#pragma once
#include <cstdint>

struct GLFWwindow;

struct TestPixel {
    uint8_t r, g, b, a;
};

// Opens a compatibility-profile window of the given size (8-bit RGBA, 24-bit depth), makes
// its context current, and sets the viewport. Returns null when no display is available.
GLFWwindow *testgl_Open(int width, int height);
void testgl_Close(GLFWwindow *window);

// Reads one pixel of the back buffer (origin lower left), after glFinish.
TestPixel testgl_Read(int x, int y);

// True when every channel of a is within tolerance of (r, g, b).
bool testgl_Near(TestPixel a, int r, int g, int b, int tolerance = 2);

// Skips the calling test when there is no display (prints why). Use as:
//   GLFWwindow *w = testgl_Open(640, 480); if (!w) GTEST_SKIP() << "no display";
