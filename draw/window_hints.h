// The framebuffer the engine asks GLFW for: 8-bit red, green, blue and alpha, a 24-bit depth
// buffer and no stencil. The drawing tests open their windows with the same hints.
#pragma once
#include <GLFW/glfw3.h>

inline void engine_WindowHints() {
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_RED_BITS, 8);
    glfwWindowHint(GLFW_GREEN_BITS, 8);
    glfwWindowHint(GLFW_BLUE_BITS, 8);
    glfwWindowHint(GLFW_ALPHA_BITS, 8);
    glfwWindowHint(GLFW_DEPTH_BITS, 24);
    glfwWindowHint(GLFW_STENCIL_BITS, 0);
}
