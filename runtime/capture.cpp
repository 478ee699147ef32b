// Frame-exact capture: the virtual clock and the PNG writer (libpng).
#include "runtime/capture.h"

#include <GL/gl.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <png.h>
#include <sys/stat.h>
#include <vector>

#include "runtime/engine_state.h"

namespace {
struct CaptureState {
    char dir[ENGINE_PATH_SIZE] = "";
    double fps = 60.0;
    long frame = 0;                    // frame being drawn
    std::vector<unsigned char> pixels; // read-back buffer, grown once to the window size
};
CaptureState capture;

double virtualClock() { return capture_Clock(); }

// mkdir -p: every missing folder along the path.
bool makeFolders(const char *dir) {
    char path[ENGINE_PATH_SIZE];
    if (strlen(dir) >= sizeof path) return false;
    strcpy(path, dir);
    for (char *p = path + 1; *p; ++p) {
        if (*p != '/') continue;
        *p = '\0';
        if (mkdir(path, 0777) != 0 && errno != EEXIST) return false;
        *p = '/';
    }
    if (mkdir(path, 0777) != 0 && errno != EEXIST) return false;
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}
} // namespace

bool capture_Begin(const char *dir, double fps) {
    if (!makeFolders(dir)) {
        fprintf(stderr, "vortan: cannot create the capture folder %s: %s\n", dir, strerror(errno));
        return false;
    }
    snprintf(capture.dir, sizeof capture.dir, "%s", dir);
    capture.fps = fps > 0 ? fps : 60.0;
    capture.frame = 0;
    engine_SetClock(virtualClock);
    return true;
}

long capture_Frame() { return capture.frame; }
double capture_Clock() { return double(capture.frame) / capture.fps; }
void capture_NextFrame() { ++capture.frame; }

bool capture_WritePng(const char *path, const unsigned char *rgb, int width, int height) {
    FILE *file = fopen(path, "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        fclose(file);
        return false;
    }
    png_init_io(png, file);
    // Fast settings: a capture writes many frames and they are compressed again later.
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int row = 0; row < height; ++row) {
        png_write_row(png, const_cast<png_bytep>(rgb + size_t(row) * size_t(width) * 3));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return fclose(file) == 0;
}

bool capture_WriteFrame(int width, int height) {
    const size_t rowBytes = size_t(width) * 3;
    capture.pixels.resize(rowBytes * size_t(height) * 2);
    unsigned char *bottomUp = capture.pixels.data();
    unsigned char *topDown = bottomUp + rowBytes * size_t(height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp);
    for (int row = 0; row < height; ++row) {
        memcpy(topDown + size_t(row) * rowBytes, bottomUp + size_t(height - 1 - row) * rowBytes, rowBytes);
    }
    char path[ENGINE_PATH_SIZE + 32];
    snprintf(path, sizeof path, "%s/frame-%05ld.png", capture.dir, capture.frame);
    if (!capture_WritePng(path, topDown, width, height)) {
        fprintf(stderr, "\nvortan: cannot write %s\n", path);
        return false;
    }
    fprintf(stderr, "\rvortan: captured %ld frames, show time %.3f s", capture.frame + 1, capture_Clock());
    return true;
}

void capture_End() {
    if (capture.frame > 0) fputc('\n', stderr);
}
