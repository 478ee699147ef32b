// The trace log writer.
#include "startup/trace.h"

#include <cstdarg>
#include <cstdio>

namespace {
const char *const TRACE_PATH = "_vor_.log";
int logStarted = 0; // 0: the next write empties the file; 1: it appends
} // namespace

void trace_Write(const char *message) {
    FILE *file;
    if (logStarted == 0) {
        file = fopen(TRACE_PATH, "w");
        logStarted = 1;
    } else {
        file = fopen(TRACE_PATH, "a");
    }
    if (!file) {
        logStarted = 0;
        return;
    }
    fputs(message, file);
    fclose(file);
}

void trace_Printf(const char *format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    trace_Write(buffer);
}

void trace_Error(const char *operation, const char *detail) {
    trace_Printf("- _Vortan_ \terror on %s : %s\n", operation, detail);
}

void trace_Reset() { logStarted = 0; }
