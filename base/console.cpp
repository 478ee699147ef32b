// The debug console.
#include "base/console.h"

#include "base/platform.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {
struct ConsoleState {
    bool open = false;              // "debug" was given
    std::string *capture = nullptr; // tests: a copy of every text
    std::mutex lock;                // the audio thread's sync lines cross threads
};
ConsoleState console;
} // namespace

void console_Open() {
    std::lock_guard<std::mutex> guard(console.lock);
    platform_OpenConsole();
    setvbuf(stdout, nullptr, _IONBF, 0);
    console.open = true;
    fputs("_.________ _Vortan_ Initialized\n", stdout);
    if (console.capture) console.capture->append("_.________ _Vortan_ Initialized\n");
}

bool console_IsOpen() { return console.open; }

void console_Printf(const char *format, ...) {
    char buffer[2048];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    std::lock_guard<std::mutex> guard(console.lock);
    if (console.open) fputs(buffer, stdout);
    if (console.capture) console.capture->append(buffer);
}

void console_SetCapture(std::string *sink) {
    std::lock_guard<std::mutex> guard(console.lock);
    console.capture = sink;
}

void console_Close() {
    std::lock_guard<std::mutex> guard(console.lock);
    console.open = false;
}
