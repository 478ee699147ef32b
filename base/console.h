// The debug console: standard output, written only once the console is open ("debug" tail).
// Lines from the audio thread and the main thread never interleave mid-call.
#pragma once
#include <string>

// Opens the console: standard output becomes unbuffered and the banner
// "_.________ _Vortan_ Initialized\n" is printed.
void console_Open();
bool console_IsOpen();

// Writes formatted text when the console is open (and to the capture string, if any).
void console_Printf(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Tests: every console_Printf text is also appended to *sink (null stops capturing).
// Capturing works whether or not the console is open.
void console_SetCapture(std::string *sink);

// Closes the console again (tests).
void console_Close();
