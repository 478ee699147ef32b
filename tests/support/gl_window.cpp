// A real GL window for drawing tests.
#include "tests/support/gl_window.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GLFW/glfw3.h>
#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

#include "draw/window_hints.h"

GLFWwindow *testgl_Open(int width, int height) {
    // Xvfb now and then refuses a connection made in quick succession: try a few times, with the
    // engine's framebuffer in a window of fixed size.
    GLFWwindow *window = nullptr;
    for (int attempt = 0; attempt < 5 && !window; attempt++) {
        if (attempt > 0) usleep(200000);
        if (!glfwInit()) continue;
        engine_WindowHints();
        glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
        window = glfwCreateWindow(width, height, "vortan test", nullptr, nullptr);
        if (!window) glfwTerminate();
    }
    if (!window) {
        // Under the suite's own Xvfb a missing window is a failure, not a reason to skip.
        if (getenv("VORTAN_REQUIRE_DISPLAY")) ADD_FAILURE() << "no GL window could be opened on " << getenv("DISPLAY");
        return nullptr;
    }
    glfwMakeContextCurrent(window);
    glViewport(0, 0, width, height);
    return window;
}

void testgl_Close(GLFWwindow *window) {
    if (window) glfwDestroyWindow(window);
    glfwTerminate();
}

TestPixel testgl_Read(int x, int y) {
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    TestPixel p{};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &p);
    return p;
}

bool testgl_Near(TestPixel a, int r, int g, int b, int tolerance) {
    return std::abs(a.r - r) <= tolerance && std::abs(a.g - g) <= tolerance && std::abs(a.b - b) <= tolerance;
}
