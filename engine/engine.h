// The engine run: command registration, script load, window, fixed GL state, the frame loop
// and shutdown. Also the GLFW callbacks and the fatal start-up notice.
#pragma once

// Runs the whole show with the settings in engine (size, mode, swap interval, options) and
// returns the exit status: 0 after a normal end, -1 when GLFW or the window cannot be started,
// 1 without multitexturing. Shutdown is done when it returns.
int engine_RunShow();

// The design's entry: the show, then the process ends with its status.
[[noreturn]] void engine_Run();

// Registers the engine commands with the script engine, in opcode order: the 25 of the first
// shows, then "@setbpm".
void engine_RegisterCommands();

// The fixed GL state of the start of the show (fetches the multitexture entry points first),
// and one frame's drawing from the engine state: clear, glow capture, main pass. Both need a
// current context; the run uses them, and tests draw single frames with them.
void engine_InitGl();
void engine_DrawFrame(double frameDelta);

// GL drivers make a program for each new combination of drawing states the first time it is
// drawn with; Mesa's software renderer compiles it with LLVM, and the first frame of a scene or
// of the glow took 20 to 40 ms more than the next. A window run calls this before each frame:
// once after each scene load and after render targets are made, it draws every loaded scene,
// with the glow and without, into one pixel, then puts GL state and the engine record back.
// The frame drawn next clears what it drew.
void engine_WarmUp();

// The transport of a window show: the clock reading of the last frame drawn; a seek, which
// replays the show unseen from the script file up to scriptTime as --start does and sets the
// clock to the frame it lands on (returned); a resume, which sets the clock back to clock.
double engine_LastClock();
double engine_SeekTo(double scriptTime);
void engine_ResumeAt(double clock);

// GLFW callbacks, with GLFW 3 key codes: ESC on press ends the show; a resized window is
// brought back to the chosen size.
void engine_OnKey(int key, int action);
void engine_OnWindowSize(int width, int height);

// A fatal start-up notice with the caption "_Vortan_": a plain one, or with information set one
// with the information icon. By default it goes to standard error; a hook (the setup dialog's
// modal box) can take its place. Null restores the default.
using EngineNoticeHook = void (*)(const char *text, const char *caption, bool information);
void engine_SetNoticeHook(EngineNoticeHook hook);
void engine_FatalNotice(const char *text, bool information = false);
