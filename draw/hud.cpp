// The HUD: text through stb_easy_font's quads, drawn last in a 2D projection of its own.
#include "draw/hud.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <cstring>

#include "draw/draw.h"
#include "draw/gl_ext.h"
#include "script/text.h"

// The header defines its functions static; only the print and width are used.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wcast-qual"
#pragma GCC diagnostic ignored "-Wuseless-cast"
#endif
#include <stb/stb_easy_font.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {
constexpr int HUD_DOUBLE_WIDTH = 1024; // from this window width on the font is drawn twice its size
constexpr float HUD_MARGIN = 6.0f;  // pixels between the window edge and the text
constexpr int HUD_QUAD_BYTES = 64;  // four vertices of 16 bytes (x, y, z, colour)
constexpr int HUD_MAX_QUADS = 6000; // room for the whole text
} // namespace

void hud_Draw(const char *text, int width, int height) {
    const float scale = width >= HUD_DOUBLE_WIDTH ? 2.0f : 1.0f;
    // The font's table covers ' '..'~' only: anything else would index past it.
    static char clean[HUD_TEXT_SIZE];
    // Lines wider than the window are broken, at their last blank where there is one.
    const float room = (float(width) - 2 * HUD_MARGIN) / scale;
    size_t n = 0, lineStart = 0, lastBlank = 0;
    float lineWidth = 0.0f;
    for (const char *p = text; *p && n + 1 < sizeof clean; ++p) {
        char c = (*p == '\n' || (*p >= ' ' && *p <= '~')) ? *p : '?';
        char one[2] = {c, '\0'};
        const float advance = c == '\n' ? 0.0f : float(stb_easy_font_width(one));
        if (c != '\n' && lineWidth + advance > room && n > lineStart) {
            if (lastBlank > lineStart) { // break at the blank: the rest moves down
                clean[lastBlank] = '\n';
                lineStart = lastBlank + 1;
                clean[n] = '\0';
                lineWidth = float(stb_easy_font_width(clean + lineStart));
            } else if (n + 2 < sizeof clean) {
                clean[n++] = '\n';
                lineStart = n;
                lineWidth = 0.0f;
            }
        }
        if (c == ' ') lastBlank = n;
        clean[n++] = c;
        lineWidth = c == '\n' ? 0.0f : lineWidth + advance;
        if (c == '\n') lineStart = n;
    }
    clean[n] = '\0';
    int lines = 1;
    for (const char *p = clean; *p; ++p) lines += *p == '\n';
    static unsigned char quads[HUD_MAX_QUADS * HUD_QUAD_BYTES];
    const int count = stb_easy_font_print(0.0f, 0.0f, clean, nullptr, quads, int(sizeof quads));
    const float bandWidth = float(stb_easy_font_width(clean)) * scale + 2 * HUD_MARGIN;
    const float bandHeight = float(lines * 12) * scale + 2 * HUD_MARGIN;

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    glext.activeTexture(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
    glext.activeTexture(GL_TEXTURE0_ARB);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glViewport(0, 0, width, height);
    Begin2D();
    // Font coordinates run downward from the top left; the 2D projection's origin is the lower left.
    glTranslatef(0.0f, float(height), 0.0f);
    glScalef(1.0f, -1.0f, 1.0f);
    glColor4f(0.0f, 0.0f, 0.0f, 0.6f);
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(bandWidth, 0);
    glVertex2f(bandWidth, bandHeight);
    glVertex2f(0, bandHeight);
    glEnd();
    glTranslatef(HUD_MARGIN, HUD_MARGIN, 0.0f);
    glScalef(scale, scale, 1.0f);
    glColor4f(1.0f, 1.0f, 0.6f, 1.0f);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 16, quads);
    glDrawArrays(GL_QUADS, 0, count * 4);
    End2D();
    glPopClientAttrib();
    glPopAttrib();
}
