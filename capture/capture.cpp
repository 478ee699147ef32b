// Frame-exact capture: the virtual clock, the read-back queue with its encoder threads, the PNG
// writer and the video made by an ffmpeg child process fed through a pipe.
#include "capture/capture.h"

#include <GL/gl.h>
#include <GL/glext.h> // GL_BGRA
#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <initializer_list>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "base/platform.h"
#include "capture/capture_png.h"
#include "script/text.h"
#include "state/engine_state.h"

namespace {
constexpr int MAX_ENCODERS = 8;
constexpr int MAX_QUEUED = MAX_ENCODERS + 2; // frames read back and not yet written

// One frame on its way from the read-back to the disk and the video.
struct QueuedFrame {
    std::vector<unsigned char> pixels; // as read back: B, G, R, A, bottom row first; capacity kept
    std::vector<unsigned char> png;    // the encoded file
    bool encoded = false;
};

// The encoders take frames in order, encode them side by side, and each waits for its turn to
// write, so the files and the video get the frames in order and nothing after a failed frame is
// written. Frame k lies in slot k % slots; the reader waits while all slots are taken.
struct EncoderPool {
    std::mutex lock;
    std::condition_variable changed;
    std::array<std::thread, MAX_ENCODERS> threads;
    int threadCount = 0;
    std::array<QueuedFrame, MAX_QUEUED> frames;
    int slots = 1;
    long queued = 0;        // frames handed over by the reader
    long nextToEncode = 0;  // the next frame an encoder takes
    long nextToWrite = 0;   // the frame whose turn it is to be written
    bool stopping = false;
    bool writeFailed = false;
    bool videoFailed = false;
    int width = 0, height = 0;
};

struct CaptureState {
    char dir[ENGINE_PATH_SIZE] = ""; // "" : no PNG files
    double fps = 60.0;
    long firstFrame = 0;             // frame 0 reads firstFrame / fps
    long frame = 0;                  // frame being drawn
    EncoderPool pool;
    bool running = false;            // encoder threads started
    // The video: ffmpeg, reading the raw pictures from its standard input.
    PlatformProgram ffmpeg;
    char videoPath[ENGINE_PATH_SIZE] = "";
    char stream[ENGINE_PATH_SIZE + 32] = ""; // the picture-only video until the sound is added
};
CaptureState capture;

double virtualClock() { return capture_Clock(); }

bool isCaptureFile(const char *name);

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

bool writeFile(const char *path, const std::vector<unsigned char> &bytes) {
    FILE *file = fopen(path, "wb");
    if (!file) return false;
    const bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return (fclose(file) == 0) && written;
}

// Frame k's turn to be written: its PNG, then its picture into the video. Runs on one encoder
// thread at a time, in frame order.
void writeFrame(long k, QueuedFrame &frame, bool *fileFailed, bool *videoFailed) {
    if (capture.dir[0]) {
        char path[ENGINE_PATH_SIZE + 32];
        snprintf(path, sizeof path, "%s/frame-%05ld.png", capture.dir, k);
        if (!frame.encoded || !writeFile(path, frame.png)) {
            fprintf(stderr, "\nvortan: cannot write %s\n", path);
            *fileFailed = true;
        }
    }
    if (capture.ffmpeg.running && !*fileFailed) {
        if (!platform_WriteInput(capture.ffmpeg, frame.pixels.data(), frame.pixels.size())) {
            fprintf(stderr, "\nvortan: ffmpeg stopped taking frames at frame %ld\n", k);
            *videoFailed = true;
        }
    }
}

void encoderThread() {
    EncoderPool &pool = capture.pool;
    // Encoding on the time drawing leaves over: at normal priority the encoders take turns with
    // the rasteriser's threads and every frame waits a little longer (measured: 6 % slower).
    platform_BackgroundThread();
    std::unique_lock<std::mutex> held(pool.lock);
    for (;;) {
        pool.changed.wait(held, [&] { return pool.nextToEncode < pool.queued || pool.stopping; });
        if (pool.nextToEncode >= pool.queued) return; // stopping, and nothing left
        const long k = pool.nextToEncode++;
        QueuedFrame &frame = pool.frames[size_t(k % pool.slots)];
        const bool skip = pool.writeFailed || pool.videoFailed;
        held.unlock();
        frame.encoded = !skip && capture.dir[0] && capture_EncodePng(frame.png, {frame.pixels.data(), pool.width, pool.height, true, true});
        held.lock();
        pool.changed.wait(held, [&] { return pool.nextToWrite == k; });
        const bool skipWrite = pool.writeFailed || pool.videoFailed;
        held.unlock();
        bool fileFailed = false, videoFailed = false;
        if (!skipWrite) writeFrame(k, frame, &fileFailed, &videoFailed);
        held.lock();
        pool.writeFailed |= fileFailed;
        pool.videoFailed |= videoFailed;
        ++pool.nextToWrite;
        pool.changed.notify_all();
    }
}

// How many encoders: VORTAN_CAPTURE_THREADS when set (1 writes every frame on one thread),
// else one per core, at most four. Without PNG files one thread only feeds the pipe.
int encoderCount() {
    if (!capture.dir[0]) return 1;
    if (const char *text = getenv("VORTAN_CAPTURE_THREADS")) {
        const int n = atoi(text);
        if (n >= 1) return std::min(n, MAX_ENCODERS);
    }
    const int cores = int(std::thread::hardware_concurrency());
    return std::clamp(cores, 1, 4);
}

void startEncoders(int width, int height) {
    EncoderPool &pool = capture.pool;
    pool.width = width;
    pool.height = height;
    pool.queued = pool.nextToEncode = pool.nextToWrite = 0;
    pool.stopping = pool.writeFailed = pool.videoFailed = false;
    pool.threadCount = encoderCount();
    pool.slots = pool.threadCount + 2;
    for (int i = 0; i < pool.threadCount; ++i) pool.threads[size_t(i)] = std::thread(encoderThread);
    capture.running = true;
}

// Waits for the queue to drain and the threads to end.
void stopEncoders() {
    if (!capture.running) return;
    EncoderPool &pool = capture.pool;
    {
        std::lock_guard<std::mutex> held(pool.lock);
        pool.stopping = true;
    }
    pool.changed.notify_all();
    for (int i = 0; i < pool.threadCount; ++i) pool.threads[size_t(i)].join();
    capture.running = false;
}

// The names the capture writes into its folders (frame-NNNNN.png, soundtrack.wav, and the
// picture stream of a video); only these are removed from them.
bool isCaptureFile(const char *name) {
    if (!strcmp(name, "soundtrack.wav") || !strcmp(name, "pictures.mp4")) return true;
    if (strncmp(name, "frame-", 6) != 0) return false;
    const size_t digits = strspn(name + 6, "0123456789");
    return digits >= 5 && !strcmp(name + 6 + digits, ".png");
}

bool fileExists(const char *path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

// The picture-only stream and the soundtrack into the video file; the pictures are copied as
// they are, the sound encoded as AAC.
bool addSoundtrack(const char *wavPath) {
    // "file:" keeps a name that starts with "-" or holds a ":" from being read as an option or
    // a protocol.
    char stream[ENGINE_PATH_SIZE + 40], wav[ENGINE_PATH_SIZE + 8], output[ENGINE_PATH_SIZE + 8];
    snprintf(stream, sizeof stream, "file:%s", capture.stream);
    snprintf(wav, sizeof wav, "file:%s", wavPath ? wavPath : "");
    snprintf(output, sizeof output, "file:%s", capture.videoPath);
    const bool withSound = wavPath && fileExists(wavPath);
    const char *argv[24];
    int n = 0;
    const auto add = [&](std::initializer_list<const char *> words) {
        for (const char *word : words) argv[n++] = word;
    };
    add({"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-i", stream});
    if (withSound) add({"-i", wav, "-c:a", "aac", "-shortest"});
    add({"-c:v", "copy", output});
    argv[n] = nullptr;
    const int status = platform_RunProgram(argv);
    if (status != 0) fprintf(stderr, "vortan: ffmpeg could not add the soundtrack (status %d)\n", status);
    return status == 0;
}

// Closes the pipe, waits for ffmpeg and adds the sound. False when no video was made.
bool finishVideo(bool picturesComplete, const char *wavPath) {
    const int status = platform_WaitProgram(capture.ffmpeg);
    if (!picturesComplete) return false;
    if (status != 0) {
        fprintf(stderr, "vortan: ffmpeg failed (status %d)\n", status);
        return false;
    }
    if (!addSoundtrack(wavPath)) return false;
    unlink(capture.stream);
    fprintf(stderr, "vortan: video written to %s\n", capture.videoPath);
    return true;
}
} // namespace

bool capture_Begin(const char *dir, double fps) {
    if (dir[0] && !makeFolders(dir)) {
        fprintf(stderr, "vortan: cannot create the capture folder %s: %s\n", dir, strerror(errno));
        return false;
    }
    // The folder holds this run only: frames and a soundtrack of an earlier run would be taken for
    // this one's. Nothing else in it is touched.
    if (DIR *folder = dir[0] ? opendir(dir) : nullptr) {
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
    return true;
}

long capture_Frame() { return capture.frame; }
double capture_Clock() { return double(capture.firstFrame + capture.frame) / capture.fps; }
void capture_NextFrame() { ++capture.frame; }
void capture_SetFirstFrame(long firstFrame) { capture.firstFrame = firstFrame > 0 ? firstFrame : 0; }

bool capture_WritePng(const char *path, const unsigned char *rgb, int width, int height) {
    std::vector<unsigned char> bytes;
    return capture_EncodePng(bytes, {rgb, width, height, false, false}) && writeFile(path, bytes);
}

bool capture_StartVideo(const CaptureVideoSettings &settings) {
    text_CopyBounded(capture.videoPath, settings.path);
    snprintf(capture.stream, sizeof capture.stream, "%s/pictures.mp4", settings.workDir);
    char size[32], rate[32], quality[16], stream[ENGINE_PATH_SIZE + 40];
    snprintf(size, sizeof size, "%dx%d", settings.width, settings.height);
    snprintf(rate, sizeof rate, "%.9g", capture.fps);
    snprintf(quality, sizeof quality, "%d", settings.quality);
    snprintf(stream, sizeof stream, "file:%s", capture.stream);
    // GL reads rows bottom first: ffmpeg turns the picture over. x264's 4:2:0 output needs even
    // edges: an odd window gets one black row or column more.
    const bool odd = (settings.width % 2) != 0 || (settings.height % 2) != 0;
    const char *filters = odd ? "vflip,pad=ceil(iw/2)*2:ceil(ih/2)*2" : "vflip";
    const char *argv[] = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
                          "-f", "rawvideo", "-pix_fmt", "bgra", "-video_size", size, "-framerate", rate,
                          "-i", "pipe:0", "-vf", filters, "-c:v", "libx264", "-preset", settings.preset,
                          "-crf", quality, "-pix_fmt", "yuv420p", stream, nullptr};
    if (!platform_StartProgram(argv, true, capture.ffmpeg)) {
        if (errno == ENOENT) {
            fprintf(stderr, "vortan: ffmpeg is not installed (apt-get install ffmpeg), so no video can be made\n");
        } else {
            fprintf(stderr, "vortan: cannot run ffmpeg: %s\n", strerror(errno));
        }
        return false;
    }
    return true;
}

bool capture_WriteFrame(int width, int height) {
    if (!capture.dir[0] && !capture.ffmpeg.running) return true;
    if (!capture.running) startEncoders(width, height);
    EncoderPool &pool = capture.pool;
    std::unique_lock<std::mutex> held(pool.lock);
    pool.changed.wait(held, [&] { return pool.queued - pool.nextToWrite < pool.slots; });
    if (pool.writeFailed || pool.videoFailed) return false;
    QueuedFrame &frame = pool.frames[size_t(pool.queued % pool.slots)];
    held.unlock();
    // The slot is ours until it is queued; the window keeps its size during a capture.
    // B, G, R, A is the frame buffer's own order with Mesa and most drivers: read back as it is,
    // five times faster than as R, G, B, it is reordered on the encoder threads.
    frame.pixels.resize(size_t(pool.width) * size_t(pool.height) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, pool.width, pool.height, GL_BGRA, GL_UNSIGNED_BYTE, frame.pixels.data());
    held.lock();
    ++pool.queued;
    pool.changed.notify_all();
    return true;
}

CaptureResult capture_End(const char *wavPath) {
    stopEncoders();
    const EncoderPool &pool = capture.pool;
    CaptureResult result = pool.writeFailed ? CAPTURE_WRITE_FAILED : CAPTURE_OK;
    if (capture.ffmpeg.running && !finishVideo(!pool.writeFailed && !pool.videoFailed, wavPath)) {
        if (result == CAPTURE_OK) result = CAPTURE_VIDEO_FAILED;
    }
    capture.dir[0] = '\0';
    engine_SetClock(nullptr);
    return result;
}

bool capture_MakeTempDir(char *dir, size_t size) {
    if (!platform_MakeTempDir(dir, size, "vortan-video")) {
        fprintf(stderr, "vortan: cannot create a temporary folder for the video under %s: %s\n", platform_TempBase(),
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
