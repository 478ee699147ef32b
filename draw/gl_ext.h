// The multitexture entry points the engine fetches at start-up. Mesa's gl.h already declares
// glActiveTextureARB and friends, so ours carry names of their own.
#pragma once
#include <GL/gl.h>
#include <GL/glext.h>

struct GlExtensions {
    PFNGLACTIVETEXTUREARBPROC activeTexture = nullptr;
    PFNGLMULTITEXCOORD2FARBPROC multiTexCoord2f = nullptr;
    PFNGLCLIENTACTIVETEXTUREARBPROC clientActiveTexture = nullptr; // fetched, never called
};

extern GlExtensions glext;

// Fetches the entry points through GLFW (a current context is needed).
void glext_Load();
