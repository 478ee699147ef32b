// The POSIX side of the platform layer (Linux): mkdir, mkdtemp, stat, posix_spawnp and pipes,
// and the stop signals.
#include "base/platform.h"

#include <cerrno>
#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {
volatile sig_atomic_t stopSignal = 0;

// The first signal asks the frame loop to end; a second one, when the shutdown itself does not
// end (a stuck child), ends the process the system's way.
void noteStop(int number) {
    if (stopSignal == 0) {
        stopSignal = number;
        return;
    }
    signal(number, SIG_DFL);
    raise(number);
}
} // namespace

void platform_CatchStopSignals() {
    struct sigaction action = {};
    action.sa_handler = noteStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // a write into ffmpeg's pipe goes on where it was
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

int platform_StopSignal() { return int(stopSignal); }

bool platform_ReplaceFile(const char *from, const char *to) { return rename(from, to) == 0; }

bool platform_CanWriteDir(const char *path) { return platform_IsDir(path) && access(path, W_OK | X_OK) == 0; }

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

bool platform_StartProgram(const char *const argv[], bool withInput, PlatformProgram &program) {
    program = PlatformProgram{};
    int ends[2] = {-1, -1};
    if (withInput) {
        if (pipe(ends) != 0) return false;
        // Our end must not stay open in the child, or it never sees the end of its input.
        fcntl(ends[0], F_SETFD, FD_CLOEXEC);
        fcntl(ends[1], F_SETFD, FD_CLOEXEC);
        signal(SIGPIPE, SIG_IGN); // a program that stopped reading shows as a failed write
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (withInput) posix_spawn_file_actions_adddup2(&actions, ends[0], 0);
    // The child gets the default signal actions, in a process group of its own: Ctrl-C in the
    // terminal reaches us alone, and a video's ffmpeg is ended by its input's end after we
    // shut down, so it finishes the file.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, &attributes, const_cast<char *const *>(argv), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (withInput) close(ends[0]);
    if (spawned != 0) {
        if (withInput) close(ends[1]);
        errno = spawned;
        return false;
    }
    program.process = child;
    program.input = withInput ? ends[1] : -1;
    program.running = true;
    return true;
}

bool platform_WriteInput(PlatformProgram &program, const void *data, size_t size) {
    const char *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = write(int(program.input), bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= size_t(n);
    }
    return true;
}

int platform_WaitProgram(PlatformProgram &program) {
    if (!program.running) return -2;
    if (program.input >= 0) close(int(program.input));
    program.running = false;
    int status = 0;
    while (waitpid(pid_t(program.process), &status, 0) < 0) {
        if (errno != EINTR) return -2;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

int platform_RunProgram(const char *const argv[]) {
    PlatformProgram program;
    if (!platform_StartProgram(argv, false, program)) return -1;
    return platform_WaitProgram(program);
}

bool platform_IsSeparator(char c) { return c == '/'; }

size_t platform_RootLength(const char *path) { return path[0] == '/' ? 1 : 0; }

void platform_OpenConsole() {}
void platform_AttachParentConsole() {}

bool platform_StderrSeen() { return true; } // a terminal, a file, or a pipe its reader chose

void platform_BackgroundThread() {
#ifdef SCHED_IDLE
    const sched_param none{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &none); // a refusal leaves it as it was
#endif
}

bool platform_ProgramDir(char *dir, size_t size) {
    if (size == 0) return false;
    const ssize_t length = readlink("/proc/self/exe", dir, size - 1);
    if (length <= 0 || size_t(length) >= size - 1) return false; // a full buffer may be cut
    dir[length] = '\0';
    char *slash = strrchr(dir, '/');
    if (!slash) return false;
    slash[slash == dir ? 1 : 0] = '\0'; // a program in "/" keeps its root
    return true;
}

bool platform_CurrentDir(char *dir, size_t size) { return getcwd(dir, size) != nullptr; }

bool platform_ChangeDir(const char *path) { return chdir(path) == 0; }
