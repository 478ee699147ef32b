// Bounded string routines of the script engine.
#include "script/text.h"

#include <cstring>

namespace {

bool isWhite(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

size_t text_CopyBounded(char *destination, const char *source, size_t n) {
    size_t length = strlen(source);
    if (n == 0) return 0;
    size_t count = length < n - 1 ? length : n - 1;
    memmove(destination, source, count);
    destination[count] = '\0';
    return length;
}

char *text_AppendBounded(char *destination, const char *source, size_t n, size_t destinationSize) {
    if (destinationSize == 0) return destination;
    size_t used = strnlen(destination, destinationSize);
    if (used >= destinationSize) { // unterminated destination: terminate it at its bound
        destination[destinationSize - 1] = '\0';
        return destination;
    }
    size_t room = destinationSize - 1 - used;
    size_t i = 0;
    while (i < n && i < room && source[i] != '\0') {
        destination[used + i] = source[i];
        i++;
    }
    destination[used + i] = '\0';
    return destination;
}

size_t text_ReplaceAll(const char *source, const char *pattern, const char *replacement,
                       char *destination, size_t destinationSize) {
    if (replacement == nullptr) replacement = "";
    size_t patternLength = strlen(pattern);
    size_t replacementLength = strlen(replacement);
    if (patternLength == 0) return destination ? 0 : strlen(source) + 1;

    if (destination == nullptr) {
        size_t count = 0;
        for (const char *p = strstr(source, pattern); p; p = strstr(p + patternLength, pattern)) count++;
        return strlen(source) + 1 + count * replacementLength - count * patternLength;
    }
    if (destinationSize == 0) return 0;
    if (destination != source) text_CopyBounded(destination, source, destinationSize);

    size_t count = 0;
    char *p = strstr(destination, pattern);
    while (p) {
        size_t length = strlen(destination);
        if (replacementLength > patternLength && length + replacementLength - patternLength + 1 > destinationSize)
            break; // no room for this replacement: keep the rest of the text as it is
        size_t tail = strlen(p + patternLength);
        memmove(p + replacementLength, p + patternLength, tail + 1);
        memcpy(p, replacement, replacementLength);
        count++;
        p = strstr(p + replacementLength, pattern);
    }
    return count;
}

void text_Squeeze(char *text) {
    const char *read = text;
    while (*read && isWhite(*read)) read++;
    char *write = text;
    bool inRun = false;
    for (; *read; read++) {
        char c = *read;
        if (!isWhite(c)) {
            inRun = false;
            *write++ = c;
        } else if (c == '\n' || c == '\r' || !inRun) {
            // A line feed or carriage return is never dropped: it starts a run of its own.
            inRun = true;
            *write++ = c;
        }
    }
    *write = '\0';
    if (write != text && isWhite(write[-1]) && write[-1] != '\n') write[-1] = '\0';
}

void text_Slice(const char *source, size_t sourceSize, char *destination, size_t destinationSize,
                size_t a, size_t n) {
    if (destinationSize == 0) return;
    size_t count = n + 1;
    if (count > destinationSize - 1) count = destinationSize - 1;
    // Compared as a distance from a, so a start near the top of size_t cannot wrap around.
    size_t available = a < sourceSize ? sourceSize - a : 0;
    for (size_t i = 0; i < count; i++) destination[i] = i < available ? source[a + i] : '\0';
    destination[count] = '\0';
}

const char *text_FileName(const char *path) {
    const char *name = path;
    for (const char *c = path; *c; ++c)
        if (*c == '/' || *c == '\\') name = c + 1;
    return name;
}
