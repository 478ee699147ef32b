// The transport of a show played in a window: pause, seeks, section jumps, restart, a loop,
// holding the last frame under --watch, and the HUD switch. Keys act at the start of the next
// frame; every event is written to the trace log with the script time it landed on.
#pragma once

// What the transport needs of the engine run, handed down by it (the transport sits below the
// engine): the clock reading of the last frame drawn; a seek, which replays the show unseen up
// to a script time and gives the clock of the frame it lands on; a resume, which sets the clock
// back to a reading.
struct TransportEngine {
    double (*lastClock)() = nullptr;
    double (*seekTo)(double scriptTime) = nullptr;
    void (*resumeAt)(double clock) = nullptr;
};

// A new show: not paused, no loop, HUD off. Keys act only when interactive (a window, not a
// capture); holdAtEnd: "@end" holds the last frame until Esc (--watch). An interactive show
// needs every entry of run.
void transport_Begin(bool interactive, bool holdAtEnd, const TransportEngine &run);

// GLFW key press or repeat, with its modifier bits.
void transport_OnKey(int key, int mods);

// Loops script times a..b (--loop): when the show reaches b it goes back to a.
void transport_SetLoop(double a, double b);

// At the start of a frame: applies the keys pressed since the last one and the loop.
void transport_Frame();

// The clock reading this frame plays at: the paused frame's while paused, else clock.
double transport_Clock(double clock);

// False while paused: the frame is drawn again, the script not run and nothing advanced.
bool transport_Playing();

// The script's "@end" came at clock: true when the show holds there instead of ending.
bool transport_HoldAtEnd(double clock);

// The show was replayed (a reload): a paused show plays its frame once more.
void transport_Replayed();

// Draws the HUD when it is on (F1), over the finished frame, and the latest error line for a few
// seconds after it came, HUD or not.
void transport_DrawHud(double clock, double fps);

// An error line to show (a refused reload, a missing file, an unknown sync-point name): kept
// while the show is interactive, shown by transport_DrawHud.
void transport_ShowError(const char *text);
