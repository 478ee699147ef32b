// The POSIX side of the platform layer (Linux): mkdir, mkdtemp, stat, posix_spawnp.
#include "platform/platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char **environ;

bool platform_MakeDir(const char *path) {
    if (mkdir(path, 0777) != 0 && errno != EEXIST) return false;
    struct stat info;
    if (stat(path, &info) != 0) return false;
    if (!S_ISDIR(info.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

bool platform_IsDir(const char *path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

const char *platform_TempBase() {
    const char *base = getenv("TMPDIR");
    return base && *base ? base : "/tmp";
}

bool platform_MakeTempDir(char *dir, size_t size, const char *prefix) {
    const int length = snprintf(dir, size, "%s/%s-XXXXXX", platform_TempBase(), prefix);
    if (length < 0 || size_t(length) >= size) {
        errno = ENAMETOOLONG;
    } else if (mkdtemp(dir)) {
        return true;
    }
    if (size > 0) dir[0] = '\0';
    return false;
}

bool platform_FileStamp(const char *path, long long &seconds, long &nanoseconds, long long &size) {
    struct stat info;
    if (stat(path, &info) != 0) return false;
    seconds = info.st_mtim.tv_sec;
    nanoseconds = info.st_mtim.tv_nsec;
    size = info.st_size;
    return true;
}

int platform_RunProgram(const char *const argv[]) {
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], nullptr, nullptr, const_cast<char *const *>(argv), environ);
    if (spawned != 0) {
        errno = spawned;
        return -1;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -2;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

bool platform_IsSeparator(char c) { return c == '/'; }

size_t platform_RootLength(const char *path) { return path[0] == '/' ? 1 : 0; }

void platform_OpenConsole() {}
void platform_AttachParentConsole() {}
