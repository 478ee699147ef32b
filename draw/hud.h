// The HUD of a show played in a window: lines of text in a small bitmap font (stb_easy_font),
// drawn over the finished frame. Never drawn into captured frames.
#pragma once
#include <cstddef>

constexpr size_t HUD_TEXT_SIZE = 1024;

// Draws text (lines separated by '\n') at the top left of a width x height window, over a dark
// band (the font doubled on windows 1024 pixels wide or more). Leaves the GL state as it found it. Needs a current context.
void hud_Draw(const char *text, int width, int height);
