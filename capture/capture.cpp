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
    int codec = CAPTURE_H264;
};
CaptureState capture;

double virtualClock() { return capture_Clock(); }

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
    const int savedErrno = errno;
    const bool closed = fclose(file) == 0;
    if (!written) errno = savedErrno;
    return closed && written;
}

// Frame k's file in the capture folder, and the name it is written under until it is whole.
void frameName(char *path, size_t size, const char *dir, long k, bool partial) {
    snprintf(path, size, "%s/frame-%05ld.png%s", dir, k, partial ? ".part" : "");
}

// A frame is written under a temporary name and renamed once whole, so a full disk or an
// interrupted run never leaves a cut frame under a frame's name.
bool writeFrameFile(long k, const std::vector<unsigned char> &png) {
    char path[ENGINE_PATH_SIZE + 32], partial[ENGINE_PATH_SIZE + 40];
    frameName(path, sizeof path, capture.dir, k, false);
    frameName(partial, sizeof partial, capture.dir, k, true);
    if (writeFile(partial, png) && platform_ReplaceFile(partial, path)) return true;
    fprintf(stderr, "\nvortan: cannot write %s: %s\n", path, strerror(errno));
    remove(partial);
    return false;
}

// A temporary frame name ("frame-00012.png.part") as writeFrameFile makes it.
bool isPartialFrame(const char *name) {
    if (strncmp(name, "frame-", 6) != 0) return false;
    char *end = nullptr;
    const long k = strtol(name + 6, &end, 10);
    char own[64];
    snprintf(own, sizeof own, "frame-%05ld.png.part", k);
    return k >= 0 && strcmp(name, own) == 0;
}

// The folder holds this run only: frames and a soundtrack of an earlier run would be taken for
// this one's. Its frames are the unbroken run from frame-00000.png on, with the capture's own
// names; nothing else is touched (a "frame-123456789.png" of the user's stays). Done at the
// first frame, so a run refused before it leaves the earlier capture as it was.
void removeEarlierCapture(const char *dir) {
    char path[ENGINE_PATH_SIZE + 256];
    for (long k = 0;; ++k) {
        frameName(path, sizeof path, dir, k, false);
        if (remove(path) == 0) continue;
        if (errno != ENOENT) fprintf(stderr, "vortan: cannot remove %s: %s\n", path, strerror(errno));
        break;
    }
    snprintf(path, sizeof path, "%s/soundtrack.wav", dir);
    if (remove(path) != 0 && errno != ENOENT) fprintf(stderr, "vortan: cannot remove %s: %s\n", path, strerror(errno));
    if (DIR *folder = opendir(dir)) {
        while (const dirent *entry = readdir(folder)) {
            if (!isPartialFrame(entry->d_name)) continue;
            snprintf(path, sizeof path, "%s/%s", dir, entry->d_name);
            remove(path);
        }
        closedir(folder);
    }
}

// Frame k's turn to be written: its PNG, then its picture into the video. Runs on one encoder
// thread at a time, in frame order.
void writeFrame(long k, QueuedFrame &frame, bool *fileFailed, bool *videoFailed) {
    if (capture.dir[0] && (!frame.encoded || !writeFrameFile(k, frame.png))) *fileFailed = true;
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


bool fileExists(const char *path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

// A video container by its file name's ending: ffmpeg's name for it and its codecs.
struct VideoKind {
    const char *ending;
    const char *format;
    bool vp9; // WebM holds VP9 and Opus; the others H.264 and AAC
};
constexpr VideoKind VIDEO_KINDS[] = {
    {".mp4", "mp4", false}, {".mkv", "matroska", false}, {".mov", "mov", false}, {".webm", "webm", true}};

const VideoKind *videoKind(const char *path) {
    const size_t length = strlen(path);
    for (const VideoKind &kind : VIDEO_KINDS) {
        const size_t n = strlen(kind.ending);
        if (length > n && strcasecmp(path + length - n, kind.ending) == 0) return &kind;
    }
    return nullptr;
}

// An MP4 or QuickTime file (a box type at byte 4) or a Matroska or WebM one (the EBML mark).
bool looksLikeVideo(const char *path) {
    unsigned char head[12] = {};
    FILE *file = fopen(path, "rb");
    if (!file) return false;
    const size_t n = fread(head, 1, sizeof head, file);
    fclose(file);
    if (n >= 4 && !memcmp(head, "\x1a\x45\xdf\xa3", 4)) return true;
    for (const char *box : {"ftyp", "moov", "mdat", "wide", "free", "skip"})
        if (n >= 8 && !memcmp(head + 4, box, 4)) return true;
    return false;
}

// The picture-only stream and the soundtrack into the video file; the pictures are copied as
// they are, the sound encoded for the container. Made under a temporary name beside the video
// and renamed once whole, so a failure keeps the file that was there.
bool addSoundtrack(const char *wavPath) {
    // "file:" keeps a name that starts with "-" or holds a ":" from being read as an option or
    // a protocol.
    char stream[ENGINE_PATH_SIZE + 40], wav[ENGINE_PATH_SIZE + 8], output[ENGINE_PATH_SIZE + 16];
    char partial[ENGINE_PATH_SIZE + 8];
    snprintf(stream, sizeof stream, "file:%s", capture.stream);
    snprintf(wav, sizeof wav, "file:%s", wavPath ? wavPath : "");
    snprintf(partial, sizeof partial, "%s.part", capture.videoPath);
    snprintf(output, sizeof output, "file:%s", partial);
    const VideoKind *kind = videoKind(capture.videoPath);
    const bool withSound = wavPath && fileExists(wavPath);
    const char *argv[24];
    int n = 0;
    const auto add = [&](std::initializer_list<const char *> words) {
        for (const char *word : words) argv[n++] = word;
    };
    add({"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-i", stream});
    // A lossless picture in Matroska gets lossless sound too.
    const bool flac = capture.codec != CAPTURE_H264 && kind && !strcmp(kind->format, "matroska");
    if (withSound) add({"-i", wav, "-c:a", kind && kind->vp9 ? "libopus" : flac ? "flac" : "aac", "-shortest"});
    add({"-c:v", "copy", "-f", kind ? kind->format : "mp4", output});
    argv[n] = nullptr;
    const int status = platform_RunProgram(argv);
    if (status == 0 && platform_ReplaceFile(partial, capture.videoPath)) return true;
    if (status == 0) fprintf(stderr, "vortan: cannot write %s: %s\n", capture.videoPath, strerror(errno));
    else fprintf(stderr, "vortan: ffmpeg could not add the soundtrack (status %d)\n", status);
    remove(partial);
    return false;
}

// Closes the pipe, waits for ffmpeg and adds the sound. A run cut short (a failed frame, a
// signal) still gets the frames made so far; false when no video was made.
bool finishVideo(bool picturesFailed, const char *wavPath, bool withSound) {
    const int status = platform_WaitProgram(capture.ffmpeg);
    if (status != 0) {
        fprintf(stderr, "vortan: ffmpeg failed (status %d): no video\n", status);
        return false;
    }
    if (!addSoundtrack(withSound ? wavPath : nullptr)) return false;
    remove(capture.stream);
    if (picturesFailed || !withSound) {
        fprintf(stderr, "vortan: the frames made so far%s are in %s\n", withSound ? ", with their sound," : " (no sound)",
                capture.videoPath);
    } else {
        fprintf(stderr, "vortan: video written to %s\n", capture.videoPath);
    }
    return true;
}
} // namespace

bool capture_Begin(const char *dir, double fps) {
    if (dir[0] && !makeFolders(dir)) {
        fprintf(stderr, "vortan: cannot create the capture folder %s: %s\n", dir, strerror(errno));
        return false;
    }
    if (dir[0] && !platform_CanWriteDir(dir)) {
        fprintf(stderr, "vortan: cannot write into the capture folder %s: %s\n", dir, strerror(EACCES));
        return false;
    }
    text_CopyBounded(capture.dir, dir);
    capture.fps = fps > 0 ? fps : 60.0;
    capture.firstFrame = 0;
    capture.frame = 0;
    engine_SetClock(virtualClock);
    return true;
}

long capture_Frame() { return capture.frame; }
long capture_ShowFrame() { return capture.firstFrame + capture.frame; }
double capture_Clock() { return double(capture.firstFrame + capture.frame) / capture.fps; }
void capture_NextFrame() { ++capture.frame; }
void capture_SetFirstFrame(long firstFrame) { capture.firstFrame = firstFrame > 0 ? firstFrame : 0; }

bool capture_WritePng(const char *path, const unsigned char *rgb, int width, int height) {
    std::vector<unsigned char> bytes;
    return capture_EncodePng(bytes, {rgb, width, height, false, false}) && writeFile(path, bytes);
}

bool capture_StartVideo(const CaptureVideoSettings &settings) {
    text_CopyBounded(capture.videoPath, settings.path);
    snprintf(capture.stream, sizeof capture.stream, "%s/%s", settings.workDir, CAPTURE_STREAM_NAME);
    capture.codec = settings.codec;
    char size[32], rate[32], quality[16], stream[ENGINE_PATH_SIZE + 40], filters[96];
    snprintf(size, sizeof size, "%dx%d", settings.width, settings.height);
    snprintf(rate, sizeof rate, "%.9g", capture.fps);
    snprintf(quality, sizeof quality, "%d", settings.quality);
    snprintf(stream, sizeof stream, "file:%s", capture.stream);
    // GL reads rows bottom first: ffmpeg turns the picture over. A supersampled picture is
    // averaged down, each K x K block into one pixel. x264's 4:2:0 output needs even edges: an
    // odd size gets one black row or column more.
    const int k = std::max(settings.scaleDown, 1);
    const int width = settings.width / k, height = settings.height / k;
    const bool odd = settings.codec == CAPTURE_H264 && ((width % 2) != 0 || (height % 2) != 0);
    char scale[48];
    snprintf(scale, sizeof scale, ",scale=%d:%d:flags=area", width, height);
    text_CopyBounded(filters, "vflip");
    if (k > 1) text_AppendBounded(filters, scale);
    if (odd) text_AppendBounded(filters, ",pad=ceil(iw/2)*2:ceil(ih/2)*2");
    // Matroska keeps what was written when ffmpeg stops early; VP9 for WebM, its speed from the
    // preset (cpu-used 0 is its slowest).
    const VideoKind *kind = videoKind(settings.path);
    char cpuUsed[8];
    snprintf(cpuUsed, sizeof cpuUsed, "%d", std::clamp(8 - capture_PresetIndex(settings.preset), 0, 8));
    const char *argv[40] = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
                            "-f", "rawvideo", "-pix_fmt", "bgra", "-video_size", size, "-framerate", rate,
                            "-i", "pipe:0", "-vf", filters};
    int n = 18;
    const auto add = [&](std::initializer_list<const char *> words) {
        for (const char *word : words) argv[n++] = word;
    };
    if (kind && kind->vp9) add({"-c:v", "libvpx-vp9", "-b:v", "0", "-crf", quality, "-row-mt", "1", "-cpu-used", cpuUsed});
    else if (settings.codec == CAPTURE_FFV1) add({"-c:v", "ffv1", "-level", "3", "-slices", "4", "-g", "1", "-pix_fmt", "bgr0"});
    else if (settings.codec == CAPTURE_X264RGB) add({"-c:v", "libx264rgb", "-preset", settings.preset, "-qp", "0", "-pix_fmt", "bgr0"});
    else add({"-c:v", "libx264", "-preset", settings.preset, "-crf", quality});
    if (settings.codec == CAPTURE_H264) add({"-pix_fmt", "yuv420p"});
    add({"-f", "matroska", stream});
    argv[n] = nullptr;
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
    if (!capture.running) {
        if (capture.dir[0]) removeEarlierCapture(capture.dir);
        startEncoders(width, height);
    }
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

CaptureResult capture_End(const char *wavPath, bool soundtrackWritten) {
    stopEncoders();
    const EncoderPool &pool = capture.pool;
    CaptureResult result = pool.writeFailed || !soundtrackWritten ? CAPTURE_WRITE_FAILED : CAPTURE_OK;
    if (capture.ffmpeg.running && !finishVideo(pool.writeFailed || pool.videoFailed, wavPath, soundtrackWritten)) {
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
    char path[ENGINE_PATH_SIZE + 64];
    for (const char *name : {CAPTURE_STREAM_NAME, "soundtrack.wav"}) {
        snprintf(path, sizeof path, "%s/%s", dir, name);
        remove(path);
    }
    rmdir(dir); // left in place when anything else was put there
}

bool capture_IsVideoName(const char *path) { return videoKind(path) != nullptr; }

int capture_CodecIndex(const char *name) {
    for (int i = 0; i < int(sizeof CAPTURE_CODECS / sizeof CAPTURE_CODECS[0]); ++i)
        if (!strcmp(name, CAPTURE_CODECS[i])) return i;
    return -1;
}

const char *capture_CheckCodecName(int codec, const char *path) {
    const VideoKind *kind = videoKind(path);
    if (!kind || codec == CAPTURE_H264) return nullptr;
    if (codec == CAPTURE_FFV1 && strcmp(kind->format, "matroska") != 0) return "FFV1 is written into Matroska: name the video .mkv";
    if (kind->vp9) return "a .webm video holds VP9: name the video .mp4, .mkv or .mov";
    return nullptr;
}

int capture_PresetIndex(const char *name) {
    for (int i = 0; i < int(sizeof CAPTURE_PRESETS / sizeof CAPTURE_PRESETS[0]); ++i)
        if (!strcmp(name, CAPTURE_PRESETS[i])) return i;
    return -1;
}

bool capture_CheckVideoTarget(const char *path, bool overwrite) {
    char folder[ENGINE_PATH_SIZE];
    text_CopyBounded(folder, path);
    size_t cut = strlen(folder);
    while (cut > platform_RootLength(folder) && !platform_IsSeparator(folder[cut - 1])) --cut;
    if (cut == 0) text_CopyBounded(folder, ".");
    else folder[cut > platform_RootLength(folder) ? cut - 1 : cut] = '\0';
    struct stat info;
    const int problem = stat(folder, &info) != 0 ? errno : !S_ISDIR(info.st_mode) ? ENOTDIR : 0;
    if (problem != 0) {
        fprintf(stderr, "vortan: cannot write the video %s: its folder %s: %s\n", path, folder, strerror(problem));
        return false;
    }
    if (!platform_CanWriteDir(folder)) {
        fprintf(stderr, "vortan: cannot write the video %s: its folder %s: %s\n", path, folder, strerror(EACCES));
        return false;
    }
    if (stat(path, &info) != 0) return true; // a new file
    if (!S_ISREG(info.st_mode)) {
        fprintf(stderr, "vortan: cannot write the video %s: %s\n", path,
                S_ISDIR(info.st_mode) ? strerror(EISDIR) : "not a regular file");
        return false;
    }
    if (overwrite || looksLikeVideo(path)) return true;
    fprintf(stderr, "vortan: %s exists and is not a video: not replaced (--overwrite replaces it)\n", path);
    return false;
}
