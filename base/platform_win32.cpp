// The Win32 side of the platform layer: CreateDirectory, _stat64, CreateProcess, a real
// console window for "debug" (the program has none of its own), and the console's Ctrl-C.
#include "base/platform.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>

namespace {
volatile LONG stopSignal = 0;

// Ctrl-C reads as SIGINT, Ctrl-Break as SIGTERM; a second event gets the default (the process
// ends), for a shutdown that does not end.
BOOL WINAPI consoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    const LONG number = event == CTRL_C_EVENT ? SIGINT : SIGTERM;
    return InterlockedCompareExchange(&stopSignal, number, 0) == 0;
}

void noteSignal(int number) {
    signal(number, noteSignal);
    InterlockedCompareExchange(&stopSignal, number, 0);
}

// A handle that already leads somewhere (a file, a pipe, a console) is kept as it is: output
// redirected by the caller stays redirected.
bool hasStandardHandle(DWORD which) {
    HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

void reopenOnConsole() {
    if (!hasStandardHandle(STD_OUTPUT_HANDLE)) freopen("CONOUT$", "w", stdout);
    if (!hasStandardHandle(STD_ERROR_HANDLE)) freopen("CONOUT$", "w", stderr);
}

// Arguments are joined into one command line with the quoting CommandLineToArgvW undoes.
void appendQuoted(char *line, size_t size, const char *word) {
    size_t n = strlen(line);
    const auto put = [&](char c) {
        if (n + 1 < size) line[n++] = c;
    };
    if (n > 0) put(' ');
    put('"');
    size_t backslashes = 0;
    for (const char *p = word; *p; ++p) {
        if (*p == '\\') {
            ++backslashes;
        } else if (*p == '"') {
            for (size_t i = 0; i < backslashes + 1; ++i) put('\\');
            backslashes = 0;
        } else {
            backslashes = 0;
        }
        put(*p);
    }
    for (size_t i = 0; i < backslashes; ++i) put('\\');
    put('"');
    line[n] = '\0';
}
} // namespace

void platform_CatchStopSignals() {
    SetConsoleCtrlHandler(consoleEvent, TRUE);
    signal(SIGTERM, noteSignal);
}

int platform_StopSignal() { return int(stopSignal); }

bool platform_ReplaceFile(const char *from, const char *to) {
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) return true;
    errno = GetLastError() == ERROR_DISK_FULL ? ENOSPC : EACCES;
    return false;
}

bool platform_CanWriteDir(const char *path) { return platform_IsDir(path); }

bool platform_MakeDir(const char *path) {
    if (!CreateDirectoryA(path, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        errno = GetLastError() == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES;
        return false;
    }
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

bool platform_IsDir(const char *path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

const char *platform_TempBase() {
    static char base[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof base, base);
    if (length == 0 || length >= sizeof base) return ".";
    if (length > 1 && (base[length - 1] == '\\' || base[length - 1] == '/')) base[length - 1] = '\0';
    return base;
}

bool platform_MakeTempDir(char *dir, size_t size, const char *prefix) {
    const char *base = platform_TempBase();
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const unsigned tag = unsigned(GetTickCount()) * 7919u + unsigned(GetCurrentProcessId()) + attempt;
        const int length = snprintf(dir, size, "%s\\%s-%08x", base, prefix, tag);
        if (length < 0 || size_t(length) >= size) {
            errno = ENAMETOOLONG;
            break;
        }
        if (CreateDirectoryA(dir, nullptr)) return true;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            errno = EACCES;
            break;
        }
    }
    if (size > 0) dir[0] = '\0';
    return false;
}

bool platform_FileStamp(const char *path, long long &seconds, long &nanoseconds, long long &size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return false;
    const unsigned long long ticks = (unsigned long long)data.ftLastWriteTime.dwHighDateTime << 32 |
                                     data.ftLastWriteTime.dwLowDateTime;   // 100 ns since 1601
    seconds = (long long)(ticks / 10000000ull);
    nanoseconds = long(ticks % 10000000ull) * 100;
    size = (long long)data.nFileSizeHigh << 32 | data.nFileSizeLow;
    return true;
}

bool platform_StartProgram(const char *const argv[], bool withInput, PlatformProgram &program) {
    program = PlatformProgram{};
    char line[32768] = "";
    for (const char *const *word = argv; *word; ++word) appendQuoted(line, sizeof line, *word);
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (withInput) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        if (!CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 20)) {
            errno = EMFILE;
            return false;
        }
        // Our end stays ours, or the child never sees the end of its input.
        SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
    }
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    if (withInput) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = readEnd;
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION process;
    // A group of its own: the console's Ctrl-C reaches us alone, and a video's ffmpeg finishes
    // its file when its input ends after our shutdown.
    const BOOL started = CreateProcessA(nullptr, line, nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &process);
    const DWORD failure = GetLastError();
    if (readEnd) CloseHandle(readEnd);
    if (!started) {
        if (writeEnd) CloseHandle(writeEnd);
        errno = (failure == ERROR_FILE_NOT_FOUND || failure == ERROR_PATH_NOT_FOUND) ? ENOENT : EACCES;
        return false;
    }
    CloseHandle(process.hThread);
    program.process = intptr_t(process.hProcess);
    program.input = intptr_t(writeEnd);
    program.running = true;
    return true;
}

bool platform_WriteInput(PlatformProgram &program, const void *data, size_t size) {
    const char *bytes = static_cast<const char *>(data);
    while (size > 0) {
        DWORD written = 0;
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : DWORD(size);
        if (!WriteFile(HANDLE(program.input), bytes, chunk, &written, nullptr) || written == 0) return false;
        bytes += written;
        size -= written;
    }
    return true;
}

int platform_WaitProgram(PlatformProgram &program) {
    if (!program.running) return -2;
    if (program.input) CloseHandle(HANDLE(program.input));
    program.running = false;
    const HANDLE process = HANDLE(program.process);
    DWORD status = 0;
    const bool waited = WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &status);
    CloseHandle(process);
    return waited ? int(status) : -2;
}

int platform_RunProgram(const char *const argv[]) {
    PlatformProgram program;
    if (!platform_StartProgram(argv, false, program)) return -1;
    return platform_WaitProgram(program);
}

bool platform_IsSeparator(char c) { return c == '/' || c == '\\'; }

size_t platform_RootLength(const char *path) {
    size_t n = 0;
    if (((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':') n = 2;
    if (platform_IsSeparator(path[n])) ++n;
    return n;
}

void platform_OpenConsole() {
    if (hasStandardHandle(STD_OUTPUT_HANDLE)) return;   // started from a console or redirected
    if (AllocConsole()) {
        SetConsoleTitleA("Vortan debug");
        reopenOnConsole();
    }
}

void platform_AttachParentConsole() {
    if (hasStandardHandle(STD_ERROR_HANDLE)) return;
    if (AttachConsole(ATTACH_PARENT_PROCESS)) reopenOnConsole();
}

bool platform_StderrSeen() { return hasStandardHandle(STD_ERROR_HANDLE); }

void platform_BackgroundThread() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST); }

bool platform_ProgramDir(char *dir, size_t size) {
    if (size == 0 || size > 0x7fffffff) return false;
    const DWORD length = GetModuleFileNameA(nullptr, dir, DWORD(size));
    if (length == 0 || length >= size) return false; // a full buffer means the name was cut
    char *last = nullptr;
    for (char *p = dir; *p; ++p)
        if (*p == '\\' || *p == '/') last = p;
    if (!last) return false;
    *last = '\0';
    return true;
}

bool platform_CurrentDir(char *dir, size_t size) {
    if (size == 0 || size > 0x7fffffff) return false;
    const DWORD length = GetCurrentDirectoryA(DWORD(size), dir);
    return length > 0 && length < size;
}

bool platform_ChangeDir(const char *path) {
    if (SetCurrentDirectoryA(path)) return true;
    errno = ENOENT;
    return false;
}
