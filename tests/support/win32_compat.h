// The POSIX calls the portable test sources use, for their Windows build (included first into
// every test source there; empty elsewhere).
#pragma once
#ifdef _WIN32
#define _USE_MATH_DEFINES   // M_PI, which strict C++ hides on mingw
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <direct.h>
#include <io.h>
#include <process.h>

inline int setenv(const char *name, const char *value, int overwrite) {
    if (!overwrite && getenv(name)) return 0;
    return _putenv_s(name, value);
}

inline int mkdir(const char *path, int) { return _mkdir(path); }

#define _SC_PAGESIZE 30
inline long sysconf(int) { return 4096; }

// Not _mktemp: its names are one letter and the process id, and Wine gives out the same few ids
// run after run, so 26 leftover folders of one id make it fail.
inline char *mkdtemp(char *pattern) {
    const size_t n = strlen(pattern);
    if (n < 6 || strcmp(pattern + n - 6, "XXXXXX") != 0) return nullptr;
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        unsigned v = unsigned(time(nullptr)) * 2654435761u + unsigned(_getpid()) * 40503u + ++counter * 7919u;
        for (size_t i = n - 6; i < n; ++i, v /= 36) pattern[i] = "abcdefghijklmnopqrstuvwxyz0123456789"[v % 36];
        if (_mkdir(pattern) == 0) return pattern;
        if (errno != EEXIST) return nullptr;
    }
    return nullptr;
}
#endif
