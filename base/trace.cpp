// The trace log writer, and the echo of its error lines on standard error.
#include "base/trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
const char *const TRACE_PATH = "_vor_.log";
const char *const ERROR_PREFIX = "- _Vortan_ \terror";
constexpr int TRACE_ECHO_KINDS = 64;    // distinct error lines whose repeats are counted
constexpr int TRACE_ECHO_TEXT_SIZE = 256; // one echoed line, cut beyond this

// One distinct error line said on stderr: its text and how often the run wrote it.
struct EchoEntry {
    int count;
    char text[TRACE_ECHO_TEXT_SIZE];
};

// All of the writer's state: a command in a loop would flood stderr, so each distinct error
// line is echoed once and its repeats are counted for a summary when the process ends.
struct TraceState {
    int logStarted = 0; // 0: the next write empties the file; 1: it appends
    bool summaryRegistered = false;
    TraceEchoHook echoHook = nullptr;
    TraceErrorHook errorHook = nullptr;
    int kinds = 0;
    EchoEntry echoed[TRACE_ECHO_KINDS];
};
TraceState trace;

void printSummary() {
    for (int i = 0; i < trace.kinds; ++i) {
        const EchoEntry &entry = trace.echoed[i];
        if (entry.count > 1) fprintf(stderr, "vortan: error: %s (%d times in this run)\n", entry.text, entry.count);
    }
}

// "- _Vortan_ \terror on OP : WHAT\n" (or without " : WHAT", or "error : WHAT") as the readable
// "OP: WHAT"; a control character would break the one line, so it shows as '?'.
void readableError(const char *message, char (&text)[TRACE_ECHO_TEXT_SIZE]) {
    const char *rest = message + strlen(ERROR_PREFIX);
    if (strncmp(rest, " on ", 4) == 0) rest += 4;
    else if (strncmp(rest, " : ", 3) == 0) rest += 3;
    size_t length = strlen(rest);
    if (length > 0 && rest[length - 1] == '\n') length--; // the line's own end
    const char *separator = strstr(rest, " : ");
    size_t n = 0;
    for (size_t i = 0; i < length && n + 1 < sizeof text; ++i) {
        if (rest + i == separator) continue; // " : " reads ": "
        const unsigned char c = static_cast<unsigned char>(rest[i]);
        text[n++] = c < 0x20 || c == 0x7f ? '?' : char(c);
    }
    text[n] = '\0';
}

void echoError(const char *message) {
    char text[TRACE_ECHO_TEXT_SIZE] = "";
    readableError(message, text);
    if (trace.errorHook) trace.errorHook(text); // every time: the latest error is the one on screen
    for (int i = 0; i < trace.kinds; ++i) {
        if (strcmp(trace.echoed[i].text, text) == 0) {
            trace.echoed[i].count++;
            return;
        }
    }
    if (trace.echoHook) trace.echoHook();
    fprintf(stderr, "vortan: error: %s\n", text);
    if (trace.kinds == TRACE_ECHO_KINDS) return; // too many kinds to count: each is said every time
    EchoEntry &entry = trace.echoed[trace.kinds++];
    entry.count = 1;
    memcpy(entry.text, text, sizeof text);
    if (!trace.summaryRegistered) trace.summaryRegistered = atexit(printSummary) == 0;
}

void writeLog(const char *message) {
    FILE *file;
    if (trace.logStarted == 0) {
        file = fopen(TRACE_PATH, "wb");
        trace.logStarted = 1;
    } else {
        file = fopen(TRACE_PATH, "ab");
    }
    if (!file) {
        trace.logStarted = 0;
        return;
    }
    fputs(message, file);
    fclose(file);
}
} // namespace

void trace_Write(const char *message) {
    writeLog(message);
    if (strncmp(message, ERROR_PREFIX, strlen(ERROR_PREFIX)) == 0) echoError(message);
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

void trace_ErrorLogOnly(const char *operation, const char *detail) {
    char buffer[1024];
    snprintf(buffer, sizeof buffer, "- _Vortan_ \terror on %s : %s\n", operation, detail);
    writeLog(buffer);
}

void trace_SetEchoHook(TraceEchoHook hook) { trace.echoHook = hook; }

void trace_SetErrorHook(TraceErrorHook hook) { trace.errorHook = hook; }

void trace_Reset() { trace.logStarted = 0; }

void trace_NewLoad() {
    if (trace.echoHook) trace.echoHook();
    printSummary();
    trace.kinds = 0;
}
