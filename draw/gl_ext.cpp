// The multitexture entry points, fetched once through GLFW after the window is open.
#include "draw/gl_ext.h"

#include <GLFW/glfw3.h>

GlExtensions glext;

void glext_Load() {
    // Not tested afterwards: a driver that reports GL_ARB_multitexture provides them.
    glext.activeTexture = reinterpret_cast<PFNGLACTIVETEXTUREARBPROC>(glfwGetProcAddress("glActiveTextureARB"));
    glext.multiTexCoord2f = reinterpret_cast<PFNGLMULTITEXCOORD2FARBPROC>(glfwGetProcAddress("glMultiTexCoord2fARB"));
    glext.clientActiveTexture =
        reinterpret_cast<PFNGLCLIENTACTIVETEXTUREARBPROC>(glfwGetProcAddress("glClientActiveTextureARB"));
}
