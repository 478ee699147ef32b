// Frame-exact capture: a virtual clock (frame k reads (first + k) / fps); every drawn frame read
// back and handed to a small pool of encoder threads that write it, in frame order, as
// frame-00000.png, frame-00001.png, ... (8-bit RGB, top row first) and/or as raw pictures into
// an ffmpeg that makes the video.
#pragma once
#include <cstddef>

// Installs the virtual clock at frame 0, reading 0. With a folder (non-empty dir) it is created
// when missing (parents too) and the frames are written into it as PNG; with "" the clock alone
// runs (a video alone, a time demo). False, with a message on standard error, when the folder
// cannot be made.
bool capture_Begin(const char *dir, double fps);

// Frame 0 reads firstFrame / fps from now on (a show started part-way keeps the frame grid of
// a show played from 0).
void capture_SetFirstFrame(long firstFrame);

// What the video encoder is given: quality as x264's crf (0 best .. 51), its preset name.
struct CaptureVideoSettings {
    const char *path = "";       // the video file
    const char *workDir = "";    // a folder for the picture-only stream until the sound is added
    int width = 640, height = 480;
    int quality = 18;
    const char *preset = "medium";
};

// Starts ffmpeg reading raw frames from a pipe, before the first frame. False, with a message on
// standard error (what to install when ffmpeg is missing), when it cannot be started.
bool capture_StartVideo(const CaptureVideoSettings &settings);

// Reads the back buffer (width x height) and queues it for the encoders: the PNG of the current
// frame and/or its picture for the video. Waits only while the queue is full. False once an
// earlier frame could not be written (the run then ends).
bool capture_WriteFrame(int width, int height);

// Moves the virtual clock to the next frame.
void capture_NextFrame();

// The current frame number (from 0) and the clock reading ((firstFrame + frame) / fps).
long capture_Frame();
double capture_Clock();

enum CaptureResult {
    CAPTURE_OK = 0,
    CAPTURE_WRITE_FAILED = 3, // a frame could not be written (the process's exit status)
    CAPTURE_VIDEO_FAILED = 4, // ffmpeg failed or stopped: no video
};

// Waits until every queued frame is written, stops the encoders and puts the engine clock back
// to its default. With a video it closes the pipe, waits for ffmpeg and adds the soundtrack
// wavPath (when it is there). Messages go to standard error.
CaptureResult capture_End(const char *wavPath);

// Writes an RGB picture (rows top first, width x 3 bytes each) as an 8-bit PNG.
bool capture_WritePng(const char *path, const unsigned char *rgb, int width, int height);

// A new empty folder under $TMPDIR (or /tmp) for the soundtrack and picture stream of a video.
// False, with a message on standard error, when none can be made.
bool capture_MakeTempDir(char *dir, size_t size);

// Removes a folder made by capture_MakeTempDir with what the capture wrote into it.
void capture_RemoveDir(const char *dir);
