// Frame-exact capture: a virtual clock (frame k reads k / fps) and every drawn frame written to
// a folder as frame-00000.png, frame-00001.png, ... (8-bit RGB, top row first).
#pragma once

// Creates dir when missing (parents too) and installs the virtual clock at frame 0. False, with
// a message on standard error, when the folder cannot be made.
bool capture_Begin(const char *dir, double fps);

// Reads the back buffer (width x height) and writes it as the current frame's PNG; progress goes
// to standard error. False when the file cannot be written.
bool capture_WriteFrame(int width, int height);

// Moves the virtual clock to the next frame.
void capture_NextFrame();

// The current frame number and the clock reading (frame / fps).
long capture_Frame();
double capture_Clock();

// Ends the progress line and puts the engine clock back to its default.
void capture_End();

// Writes an RGB picture (rows top first, width x 3 bytes each) as an 8-bit PNG.
bool capture_WritePng(const char *path, const unsigned char *rgb, int width, int height);
