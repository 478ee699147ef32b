// Frame-exact capture: the virtual clock, the PNG writer (libpng) and the video encoding by an
// ffmpeg child process.
#include "runtime/capture.h"

#include <GL/gl.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <initializer_list>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/platform.h"
#include "runtime/engine_state.h"
#include "script/text.h"
#include "startup/trace.h"

namespace {
struct CaptureState {
    char dir[ENGINE_PATH_SIZE] = "";
    double fps = 60.0;
    long firstFrame = 0;               // frame 0 reads firstFrame / fps
    long frame = 0;                    // frame being drawn
    bool progressOpen = false;         // the progress line on stderr awaits its line end
    std::vector<unsigned char> pixels; // read-back buffer, grown once to the window size
};
CaptureState capture;

double virtualClock() { return capture_Clock(); }

bool isCaptureFile(const char *name);

void endProgressLine() {
    if (capture.progressOpen) fputc('\n', stderr);
    capture.progressOpen = false;
}

// mkdir -p: every missing folder along the path.
bool makeFolders(const char *dir) {
    char path[ENGINE_PATH_SIZE];
    if (text_CopyBounded(path, dir) >= sizeof path) {
        errno = ENAMETOOLONG; // so the caller's message names the real reason
        return false;
    }
    char *p = path + platform_RootLength(path);
    for (p += *p ? 1 : 0; *p; ++p) {
        if (!platform_IsSeparator(*p) || platform_IsSeparator(p[-1])) continue;
        const char separator = *p;
        *p = '\0';
        if (!platform_MakeDir(path)) return false;
        *p = separator;
    }
    return platform_MakeDir(path);
}
} // namespace

bool capture_Begin(const char *dir, double fps) {
    if (!makeFolders(dir)) {
        fprintf(stderr, "vortan: cannot create the capture folder %s: %s\n", dir, strerror(errno));
        return false;
    }
    // The folder holds this run only: frames and a soundtrack of an earlier run would end up in
    // its video. Nothing else in it is touched.
    if (DIR *folder = opendir(dir)) {
        char path[ENGINE_PATH_SIZE + 256];
        while (const dirent *entry = readdir(folder)) {
            if (!isCaptureFile(entry->d_name)) continue;
            snprintf(path, sizeof path, "%s/%s", dir, entry->d_name);
            if (unlink(path) != 0) fprintf(stderr, "vortan: cannot remove %s: %s\n", path, strerror(errno));
        }
        closedir(folder);
    }
    text_CopyBounded(capture.dir, dir);
    capture.fps = fps > 0 ? fps : 60.0;
    capture.firstFrame = 0;
    capture.frame = 0;
    engine_SetClock(virtualClock);
    trace_SetEchoHook(endProgressLine); // an error line then stands on a line of its own
    return true;
}

long capture_Frame() { return capture.frame; }
double capture_Clock() { return double(capture.firstFrame + capture.frame) / capture.fps; }
void capture_NextFrame() { ++capture.frame; }
void capture_SetFirstFrame(long firstFrame) { capture.firstFrame = firstFrame > 0 ? firstFrame : 0; }

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
        endProgressLine();
        fprintf(stderr, "vortan: cannot write %s\n", path);
        return false;
    }
    fprintf(stderr, "\rvortan: captured %ld frames, show time %.3f s", capture.frame + 1, capture_Clock());
    capture.progressOpen = true;
    return true;
}

void capture_End() {
    endProgressLine();
    trace_SetEchoHook(nullptr);
}

namespace {
// The names the capture writes into its folder (frame-NNNNN.png, soundtrack.wav); only these are
// removed from it.
bool isCaptureFile(const char *name) {
    if (!strcmp(name, "soundtrack.wav")) return true;
    if (strncmp(name, "frame-", 6) != 0) return false;
    const size_t digits = strspn(name + 6, "0123456789");
    return digits >= 5 && !strcmp(name + 6 + digits, ".png");
}

bool fileExists(const char *path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}
} // namespace

bool capture_MakeTempDir(char *dir, size_t size) {
    if (!platform_MakeTempDir(dir, size, "vortan-video")) {
        fprintf(stderr, "vortan: cannot create a temporary folder for the frames under %s: %s\n", platform_TempBase(),
                strerror(errno));
        return false;
    }
    return true;
}

void capture_RemoveDir(const char *dir) {
    if (DIR *folder = opendir(dir)) {
        char path[ENGINE_PATH_SIZE + 64];
        while (const dirent *entry = readdir(folder)) {
            if (!isCaptureFile(entry->d_name)) continue;
            snprintf(path, sizeof path, "%s/%s", dir, entry->d_name);
            unlink(path);
        }
        closedir(folder);
    }
    rmdir(dir); // left in place when anything else was put there
}

CaptureVideoResult capture_MakeVideo(const char *dir, double fps, int width, int height, const char *videoPath) {
    char rate[32], frames[2 * ENGINE_PATH_SIZE + 32], wav[ENGINE_PATH_SIZE + 32];
    snprintf(rate, sizeof rate, "%.9g", fps);
    // ffmpeg's frame pattern reads "%" itself, so the folder's own are doubled.
    char folder[2 * ENGINE_PATH_SIZE];
    size_t length = 0;
    for (const char *c = dir; *c && length + 2 < sizeof folder; ++c) {
        if (*c == '%') folder[length++] = '%';
        folder[length++] = *c;
    }
    folder[length] = '\0';
    // "file:" keeps a name that starts with "-" or holds a ":" from being read as an option or
    // a protocol.
    snprintf(frames, sizeof frames, "file:%s/frame-%%05d.png", folder);
    snprintf(wav, sizeof wav, "file:%s/soundtrack.wav", dir);
    char output[ENGINE_PATH_SIZE + 8];
    snprintf(output, sizeof output, "file:%s", videoPath);
    const bool withSound = fileExists(wav + strlen("file:"));
    // x264's 4:2:0 output needs even edges: an odd window gets one black row or column more.
    const bool odd = (width % 2) != 0 || (height % 2) != 0;
    const char *argv[32];
    int n = 0;
    const auto add = [&](std::initializer_list<const char *> words) {
        for (const char *word : words) argv[n++] = word;
    };
    add({"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-framerate", rate, "-i", frames});
    if (withSound) add({"-i", wav});
    if (odd) add({"-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2"});
    add({"-c:v", "libx264", "-pix_fmt", "yuv420p"});
    if (withSound) add({"-c:a", "aac", "-shortest"});
    add({output});
    argv[n] = nullptr;

    fprintf(stderr, "vortan: encoding %s with ffmpeg\n", videoPath);
    const int status = platform_RunProgram(argv);
    if (status == -1 && errno == ENOENT) {
        fprintf(stderr,
                "vortan: ffmpeg is not installed (apt-get install ffmpeg), so no video was made; "
                "the frames and the soundtrack are in %s\n",
                dir);
        return CAPTURE_VIDEO_NO_FFMPEG;
    }
    if (status != 0) {
        if (status == -1) fprintf(stderr, "vortan: cannot run ffmpeg: %s\n", strerror(errno));
        else fprintf(stderr, "vortan: ffmpeg failed (status %d)\n", status);
        fprintf(stderr, "vortan: no video was made; the frames and the soundtrack are in %s\n", dir);
        return CAPTURE_VIDEO_FAILED;
    }
    fprintf(stderr, "vortan: video written to %s\n", videoPath);
    return CAPTURE_VIDEO_MADE;
}
