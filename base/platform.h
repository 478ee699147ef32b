// The operating system beneath the engine: folders, file stamps, child programs, path
// separators and the debug console. One implementation per system (POSIX, Win32).
#pragma once
#include <cstddef>
#include <cstdint>

// Creates one folder; true when it exists afterwards (made now or already there). errno says why not.
bool platform_MakeDir(const char *path);

// True when path names an existing folder (a trailing separator is fine).
bool platform_IsDir(const char *path);

// Creates a fresh temporary folder named after prefix ("vortan-video") in the system's
// temporary place; its path goes to dir. False (errno set, dir empty) when it cannot.
bool platform_MakeTempDir(char *dir, size_t size, const char *prefix);

// The temporary place named in messages ($TMPDIR, /tmp; %TEMP% on Windows).
const char *platform_TempBase();

// A file's modification time (seconds, nanoseconds) and size; false when it cannot be read.
bool platform_FileStamp(const char *path, long long &seconds, long &nanoseconds, long long &size);

// A child program started by platform_StartProgram: its process, and our end of the pipe its
// standard input reads from (system handles, for the platform layer alone).
struct PlatformProgram {
    intptr_t process = 0;
    intptr_t input = 0;
    bool running = false;
};

// Starts argv[0] from the PATH, its output and errors on ours; withInput gives it a pipe as
// standard input, fed by platform_WriteInput. False when it could not be started (errno then
// says why: ENOENT when there is no such program).
bool platform_StartProgram(const char *const argv[], bool withInput, PlatformProgram &program);

// All of size bytes into the program's standard input; false when it no longer reads.
bool platform_WriteInput(PlatformProgram &program, const void *data, size_t size);

// Closes the program's input (it sees the end) and waits for it to end: its exit status, -2 when
// it did not end normally.
int platform_WaitProgram(PlatformProgram &program);

// Runs argv[0] from the PATH and waits for it: its exit status, -1 when it could not be
// started (errno then says why), -2 when it did not end normally.
int platform_RunProgram(const char *const argv[]);

// True for the characters that separate folders in a path: '/', and on Windows '\\' too.
bool platform_IsSeparator(char c);

// Length of the part of a path that names no folder to create ("C:" or "C:\\" on Windows, "/").
size_t platform_RootLength(const char *path);

// Makes standard output reach a console window the user sees (Windows opens one, a terminal
// already is one). Called when "debug" opens the debug console.
void platform_OpenConsole();

// At start: a program without a console of its own (Windows) writes its messages to the console
// it was started from, if any.
void platform_AttachParentConsole();

// Whether standard error reaches anyone: a terminal, a file or a pipe. A Windows program started
// from Explorer has none, so what would be said there must be shown in a window.
bool platform_StderrSeen();
// From now on SIGINT (Ctrl-C) and SIGTERM (on Windows: Ctrl-C, Ctrl-Break, closing the console)
// only note that the run should end, so it ends the way Esc ends it; SIGPIPE is ignored (a
// closed stderr pipe shows as a failed write). Child programs get the default actions back.
void platform_CatchStopSignals();

// The signal that asked the run to end (SIGINT, SIGTERM), 0 while none did.
int platform_StopSignal();

// Moves a file over to (replacing one already there); false with errno set when it cannot.
bool platform_ReplaceFile(const char *from, const char *to);

// True when new files can be made in the folder at path.
bool platform_CanWriteDir(const char *path);

// Puts the calling thread below every ordinary one: it runs on the time the drawing threads
// leave over (Linux: SCHED_IDLE; Windows: the lowest thread priority).
void platform_BackgroundThread();

// The folder that holds the running program (no trailing separator), from the system rather
// than argv[0], so it is right whatever the working directory. False when it cannot be found.
bool platform_ProgramDir(char *dir, size_t size);

// The working directory into dir; false when it does not fit or cannot be read.
bool platform_CurrentDir(char *dir, size_t size);

// Makes path the working directory; false (errno set) when it cannot.
bool platform_ChangeDir(const char *path);
