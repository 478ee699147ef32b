// Frame-exact capture: a virtual clock (frame k reads (first + k) / fps) and every drawn frame
// written to a folder as frame-00000.png, frame-00001.png, ... (8-bit RGB, top row first); and
// the video made from such a folder with ffmpeg.
#pragma once
#include <cstddef>

// Creates dir when missing (parents too) and installs the virtual clock at frame 0, reading 0.
// False, with a message on standard error, when the folder cannot be made.
bool capture_Begin(const char *dir, double fps);

// Frame 0 reads firstFrame / fps from now on (a show started part-way keeps the frame grid of
// a show played from 0).
void capture_SetFirstFrame(long firstFrame);

// Reads the back buffer (width x height) and writes it as the current frame's PNG; progress goes
// to standard error. False when the file cannot be written.
bool capture_WriteFrame(int width, int height);

// Moves the virtual clock to the next frame.
void capture_NextFrame();

// The current frame number (from 0) and the clock reading ((firstFrame + frame) / fps).
long capture_Frame();
double capture_Clock();

// Ends the progress line and puts the engine clock back to its default.
void capture_End();

// Writes an RGB picture (rows top first, width x 3 bytes each) as an 8-bit PNG.
bool capture_WritePng(const char *path, const unsigned char *rgb, int width, int height);

// A new empty folder under $TMPDIR (or /tmp) for a capture that only feeds a video. False, with
// a message on standard error, when none can be made.
bool capture_MakeTempDir(char *dir, size_t size);

// Removes a folder made by capture_MakeTempDir with the frames and soundtrack written into it.
void capture_RemoveDir(const char *dir);

enum CaptureVideoResult {
    CAPTURE_VIDEO_MADE = 0,
    CAPTURE_VIDEO_NO_FFMPEG = 1, // ffmpeg is not on the PATH
    CAPTURE_VIDEO_FAILED = 2,    // ffmpeg ran and failed
};

// Encodes dir/frame-%05d.png (and dir/soundtrack.wav when there) into an H.264 + AAC video at
// fps, running ffmpeg from the PATH directly (no shell, the paths passed as they are).
// Messages go to standard error.
CaptureVideoResult capture_MakeVideo(const char *dir, double fps, int width, int height, const char *videoPath);
