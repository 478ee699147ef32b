// The trace log "_vor_.log": one line per noteworthy event of a run, on disk at once; its
// error lines also go to stderr.
#pragma once

// Appends message unchanged. The first write of a process empties the file; a failed open
// drops the message and makes the next write start the file afresh. An error line
// ("- _Vortan_ \terror...") is also said on stderr as "vortan: error: <operation>: <what>";
// a line said before is not said again, and how often it came is said when the process ends.
void trace_Write(const char *message);

// printf-style convenience: formats into a bounded buffer, then trace_Write.
void trace_Printf(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Error trace line "- _Vortan_ \terror on <operation> : <detail>\n".
void trace_Error(const char *operation, const char *detail);

// The same line, written to the log only: for a failure the caller has already explained on
// stderr in its own words.
void trace_ErrorLogOnly(const char *operation, const char *detail);

// Called before an error line is said on stderr, so a progress line left open there (the
// capture's) is ended first; null for none.
using TraceEchoHook = void (*)();
void trace_SetEchoHook(TraceEchoHook hook);

// Called with each error line as stderr says it ("glLoadSceneSlot: city.3ds"), repeats too, so a
// window can show the latest; null for none.
using TraceErrorHook = void (*)(const char *text);
void trace_SetErrorHook(TraceErrorHook hook);

// A new load of the show (a reload): the repeats counted so far are said, and an error line said
// before is said again when it comes again.
void trace_NewLoad();

// Forgets that the log was started, so the next write empties it again (tests).
void trace_Reset();
