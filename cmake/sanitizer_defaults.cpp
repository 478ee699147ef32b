// Linked into every program of the sanitized build (-DVORTAN_SANITIZE=ON): the system libraries'
// own leftovers at exit are not reported as leaks, so a leak report always points at our code.
#include <cstdlib>
#include <dlfcn.h>

// Blocks that fontconfig (through FLTK), D-Bus (through SDL) and Mesa's software driver keep
// until the process ends, and the info block libvorbis loses when it gives up on a cut Ogg file.
extern "C" const char *__lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n"
           "leak:swrast_dri.so\n"
           "leak:libvorbis.so\n";
}

namespace {
// Mesa unloads its driver when the display closes, and the leak check at exit then finds the
// driver's blocks with no module name to suppress by; holding the driver loaded keeps its name.
// The software renderer draws on one thread here: LeakSanitizer's check at exit, which stops
// every thread, now and then crashes on the renderer's worker threads as they wind down.
__attribute__((constructor)) void keepGlDriverLoaded() {
    setenv("LP_NUM_THREADS", "0", 0);
    dlopen(VORTAN_GL_DRIVER, RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE);
}
} // namespace
