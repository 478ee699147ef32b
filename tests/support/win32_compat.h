// The POSIX calls the portable test sources use, for their Windows build (included first into
// every test source there; empty elsewhere).
#pragma once
#ifdef _WIN32
#define _USE_MATH_DEFINES   // M_PI, which strict C++ hides on mingw
#include <cstdlib>
#include <cstring>
#include <direct.h>
#include <io.h>

inline int setenv(const char *name, const char *value, int overwrite) {
    if (!overwrite && getenv(name)) return 0;
    return _putenv_s(name, value);
}

inline int mkdir(const char *path, int) { return _mkdir(path); }

#define _SC_PAGESIZE 30
inline long sysconf(int) { return 4096; }

inline char *mkdtemp(char *pattern) {
    return _mktemp(pattern) && _mkdir(pattern) == 0 ? pattern : nullptr;
}
#endif
