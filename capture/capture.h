// Frame-exact capture: a virtual clock (frame k reads (first + k) / fps); every drawn frame read
// back and handed to a small pool of encoder threads that write it, in frame order, as
// frame-00000.png, frame-00001.png, ... (8-bit RGB, top row first) and/or as raw pictures into
// an ffmpeg that makes the video.
#pragma once
#include <cstddef>

// Installs the virtual clock at frame 0, reading 0. With a folder (non-empty dir) it is created
// when missing (parents too) and the frames are written into it as PNG; with "" the clock alone
// runs (a video alone, a time demo). False, with a message on standard error, when the folder
// cannot be made or written into. An earlier capture's frames and soundtrack in the folder are
// removed at the first frame written, not before.
bool capture_Begin(const char *dir, double fps);

// Frame 0 reads firstFrame / fps from now on (a show started part-way keeps the frame grid of
// a show played from 0).
void capture_SetFirstFrame(long firstFrame);

// The video codecs of --video-codec: H.264 in 4:2:0 (the default, what players take), FFV1
// (lossless, in Matroska) and H.264 on the RGB pictures at quantiser 0 (lossless).
enum CaptureCodec { CAPTURE_H264 = 0, CAPTURE_FFV1 = 1, CAPTURE_X264RGB = 2 };
constexpr const char *CAPTURE_CODECS[] = {"h264", "ffv1", "x264rgb"};
// A codec's place in CAPTURE_CODECS, -1 for none.
int capture_CodecIndex(const char *name);
// Null when the codec goes into the video file path names, else why not.
const char *capture_CheckCodecName(int codec, const char *path);

// What the video encoder is given: quality as x264's crf (0 best .. 51), its preset name.
struct CaptureVideoSettings {
    const char *path = "";       // the video file
    const char *workDir = "";    // a folder for the picture-only stream until the sound is added
    int width = 640, height = 480; // the pictures read back
    int quality = 18;
    const char *preset = "medium";
    int codec = CAPTURE_H264;
    int scaleDown = 1;           // the video is width / scaleDown x height / scaleDown (supersampling)
};

// The picture-only stream's name in a video's temporary folder, until the sound is added.
constexpr const char *CAPTURE_STREAM_NAME = "pictures.mkv";

// x264's speed presets, fastest first (for WebM's VP9 they set its speed the same way).
constexpr const char *CAPTURE_PRESETS[] = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                                           "medium", "slow", "slower", "veryslow", "placebo"};
// A preset's place in CAPTURE_PRESETS, -1 for none.
int capture_PresetIndex(const char *name);

// True for the video file names --video takes: .mp4, .mkv, .mov (H.264 + AAC) and .webm
// (VP9 + Opus), case aside.
bool capture_IsVideoName(const char *path);

// Before the first frame: the video's folder exists and takes new files, and a file already at
// path is a video (or overwrite is set). False, with the reason on standard error, otherwise.
bool capture_CheckVideoTarget(const char *path, bool overwrite);

// Starts ffmpeg reading raw frames from a pipe, before the first frame. False, with a message on
// standard error (what to install when ffmpeg is missing), when it cannot be started.
bool capture_StartVideo(const CaptureVideoSettings &settings);

// Reads the back buffer (width x height) and queues it for the encoders: the PNG of the current
// frame and/or its picture for the video. Waits only while the queue is full. False once an
// earlier frame could not be written (the run then ends).
bool capture_WriteFrame(int width, int height);

// Moves the virtual clock to the next frame.
void capture_NextFrame();

// The current frame number (from 0), its number in the whole show (firstFrame + frame) and the
// clock reading ((firstFrame + frame) / fps).
long capture_Frame();
long capture_ShowFrame();
double capture_Clock();

enum CaptureResult {
    CAPTURE_OK = 0,
    CAPTURE_WRITE_FAILED = 3, // a frame or the soundtrack could not be written (the process's exit status)
    CAPTURE_VIDEO_FAILED = 4, // ffmpeg failed or stopped: no video
};

// Waits until every queued frame is written, stops the encoders and puts the engine clock back
// to its default. With a video it closes the pipe, waits for ffmpeg and adds the soundtrack
// wavPath; a run cut short keeps the frames made so far, and a soundtrack that could not be
// written (soundtrackWritten false) leaves the video silent and is CAPTURE_WRITE_FAILED.
// Messages go to standard error.
CaptureResult capture_End(const char *wavPath, bool soundtrackWritten = true);

// Writes an RGB picture (rows top first, width x 3 bytes each) as an 8-bit PNG.
bool capture_WritePng(const char *path, const unsigned char *rgb, int width, int height);

// A new empty folder under $TMPDIR (or /tmp) for the soundtrack and picture stream of a video.
// False, with a message on standard error, when none can be made.
bool capture_MakeTempDir(char *dir, size_t size);

// Removes a folder made by capture_MakeTempDir with what the capture wrote into it (the picture
// stream and soundtrack.wav); a folder holding anything else stays.
void capture_RemoveDir(const char *dir);
