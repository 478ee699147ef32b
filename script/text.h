// Bounded string routines of the script engine, also used to build file paths.
// Every routine takes the size of the buffer it writes and never writes past it.
#pragma once
#include <cstddef>

// Copies at most n - 1 characters of source and terminates; returns strlen(source).
// n == 0 writes nothing. The caller sees a cut copy by comparing the result with n.
size_t text_CopyBounded(char *destination, const char *source, size_t n);

// Appends at most n characters of source to destination's text, never letting the result
// (terminator included) exceed destinationSize bytes. Returns destination.
char *text_AppendBounded(char *destination, const char *source, size_t n, size_t destinationSize);

// Replaces every occurrence of pattern (non-empty) by replacement (null counts as empty).
// With a destination: copies source there first, then replaces left to right, never
// rescanning inserted text; returns the number of replacements made. A replacement that
// would not fit in destinationSize is not made, and the text stays terminated.
// Without a destination (null): returns the size the replaced text would need, terminator
// included.
size_t text_ReplaceAll(const char *source, const char *pattern, const char *replacement,
                       char *destination, size_t destinationSize);

// Squeezes white space in place: leading white space removed, runs folded to their first
// character (a line feed or carriage return always starts a new run), and one trailing
// white-space character other than a line feed removed.
void text_Squeeze(char *text);

// Copies the n + 1 characters at positions a..a+n of source and terminates. Positions at or
// beyond sourceSize are not read (they count as terminators), and the copy is cut to fit
// destinationSize.
void text_Slice(const char *source, size_t sourceSize, char *destination, size_t destinationSize,
                size_t a, size_t n);

// The file name of a path: what follows its last '/' or '\\' (the whole text without one).
const char *text_FileName(const char *path);

// Array overloads: the compiler supplies the bound, so a caller cannot pass the wrong one.
template <size_t N> inline size_t text_CopyBounded(char (&destination)[N], const char *source) {
    return text_CopyBounded(destination, source, N);
}
template <size_t N> inline char *text_AppendBounded(char (&destination)[N], const char *source, size_t n = N) {
    return text_AppendBounded(destination, source, n, N);
}
