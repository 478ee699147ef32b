// The engine run: registration of the commands, the script load, the GLFW window, the fixed
// GL state, the frame loop (with frame-exact capture, a time demo, a time limit, a late start and
// the live reload of a changed script), the video of a capture and shutdown.
#include "engine/engine.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GLFW/glfw3.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "author/check.h"
#include "author/cues.h"
#include "author/transport.h"
#include "base/console.h"
#include "base/platform.h"
#include "base/trace.h"
#include "capture/capture.h"
#include "capture/run_stats.h"
#include "draw/draw.h"
#include "draw/gl_ext.h"
#include "draw/texture.h"
#include "draw/window_hints.h"
#include "ramp/ramp.h"
#include "engine/commands.h"
#include "engine/load_ahead.h"
#include "engine/options.h"
#include "scene/scene.h"
#include "script/script.h"
#include "script/text.h"
#include "sound/sound.h"
#include "state/engine_state.h"
#include "state/loader.h"

namespace {
constexpr double WATCH_INTERVAL = 0.5; // show seconds between two looks at the script file

// What the script file looked like at the last look; size -1: it was not there.
struct RunState {
    GLFWwindow *window = nullptr;
    GLFWwindow *loadWindow = nullptr; // hidden; its context, shared with the window's, is the loader's
    EngineNoticeHook noticeHook = nullptr;
    bool capturing = false;    // frames read back: PNG files, a video or both
    bool virtualClock = false; // capture or time demo: frame k reads k / fps
    bool soundOnly = false;    // --soundtrack: the script and the sound run, nothing is drawn
    char workDir[ENGINE_PATH_SIZE] = ""; // a video's temporary folder (its picture stream, and
                                         // the soundtrack without --capture)
    double forwardTime = 0.0; // the clock reading of the frame the fast-forward is at
    double firstShown = 0.0;  // the clock reading of the first frame shown (--start moves it)
    double played = 0.0;      // seconds of show played since then, across loops (pauses do not count)
    bool loopGiven = false;   // --loop: the clock goes back at each turn, so --duration counts played
    double previous = 0.0;    // the clock reading of the last frame drawn
    EngineClock clock = nullptr;
    EngineFileStamp watch;    // the script file at the last look
    EngineFileStamp loaded;   // the script file as last loaded or refused
    bool unreadable = false;  // the last reload found the script unreadable: looked at again
    bool warmUp = false;      // new scenes and render targets get a warm-up draw (a window run)
    unsigned warmedLoads = 0; // the scene loads and render targets the last warm-up drew with
    unsigned warmedTargets = 0;
};
RunState run;

double glfwClock() { return glfwGetTime(); }
double captureClock() { return capture_Clock(); }
double forwardClock() { return run.forwardTime; }

void keyCallback(GLFWwindow *, int key, int, int action, int mods) {
    engine_OnKey(key, action);
    if (action != GLFW_RELEASE) transport_OnKey(key, mods);
}

// GLFW's own reason ("X11: The DISPLAY environment variable is missing") goes with the fatal
// notice, which alone does not say what to do.
void glfwError(int, const char *description) { fprintf(stderr, "vortan: GLFW: %s\n", description); }
void sizeCallback(GLFWwindow *, int width, int height) { engine_OnWindowSize(width, height); }

struct CommandEntry {
    const char *name;
    ScriptHandler handler;
};

// Opcode = place in this table.
constexpr CommandEntry COMMANDS[] = {
    {"@setlayer", SetLayer},
    {"@setscene", SetScene},
    {"@setcam", SetCam},
    {"@initsound", soundStream_Init},
    {"@playsound", soundStream_Play},
    {"@setdemostart", SetDemoStart},
    {"@glsetclearcolor", glSetClearColor},
    {"@glsetcinemascope", glSetCinemascope},
    {"@setdebug", SetDebug},
    {"@glsetbackground", SetBackground},
    {"@glsetcolor", SetColor},
    {"@glsetlayerparam", SetLayerParam},
    {"@glsetlayerpos", SetLayerPos},
    {"@glloadtextureslot", glLoadTextureSlot},
    {"@glloadsceneslot", glLoadSceneSlot},
    {"@glsetcurrentscene", glSetCurrentScene},
    {"@glsetlayerfadespeed", SetLayerFadeSpeed},
    {"@glsetreplayspeed", glSetReplaySpeed},
    {"@glsetreplayframe", glSetReplayFrame},
    {"@glsetlayerparamex", SetLayerParamEx},
    {"@glfx_glow", glFxGlow},
    {"@glfx_rtparam", glFx_RenderTargetParam},
    {"@glfx_rtalpha", glFx_RenderTargetAlpha},
    {"@glsetcamera", glSetCamera},
    {"@setresourcedir", SetResourceDir},
    {"@setbpm", SetBpm}, // beyond the first 25: time stamps in beats
};
static_assert(sizeof COMMANDS / sizeof COMMANDS[0] == 26, "the engine has 26 commands");

void setFixedGlState() {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glShadeModel(GL_SMOOTH);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.0f); // fully transparent texels are dropped
    glDisable(GL_FOG);
    glDisable(GL_LINE_SMOOTH);
    glDisable(GL_POINT_SMOOTH);
    glDisable(GL_POLYGON_SMOOTH);
    glPolygonMode(GL_FRONT, GL_FILL);
    glDisable(GL_CULL_FACE);
    glMaterialf(GL_FRONT, GL_SHININESS, 64.0f);
    glEnable(GL_TEXTURE_2D);
    glViewport(0, 0, engine.screenWidth, engine.screenHeight);
    glext.activeTexture(GL_TEXTURE1_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, GL_ADD);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
}

void resetShowState() {
    engine.colors[0] = {0, 0, 0};
    engine.colors[1] = {0, 0, 0};
    engine_ResetLayers();
}

// The script tables laid out, the engine's commands registered and the script compiled; the
// status of the load. A replay (a seek, a reload) loads again without the start-up's lines: its
// transport line says what happened.
int loadScript(const char *path, bool startUp = true) {
    script_Init();
    if (startUp) trace_Write("- _Quillo_  \tinit\n");
    engine_RegisterCommands();
    if (startUp) trace_Write("- _Quillo_ \tregister functions\n");
    console_Printf("\n_.________ Registering _Vor functions\n");
    if (startUp) trace_Write("- _Vortan_ \tinit\n");
    script_SetVerbose(0);
    console_Printf("\n_.________ Parsing script\n");
    const int status = script_Load(path);
    console_Printf("\n_.________ Script eval : %s \n", script_StatusText(status));
    script_SetDelimiter("|");
    if (startUp) trace_Write("- _Quillo_ \tparse script\n");
    return status;
}

// The texture state every frame starts its drawing with: unit 0 active, modulating. Handlers of
// later lines find it, so texture loads set their modes on unit 0; only the first frame's line
// still sees unit 1 from start-up.
void selectFrameTextureUnit() {
    glext.activeTexture(GL_TEXTURE0_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_TEXTURE_2D);
}

// Where a fast-forward stopped: the clock reading of the first frame to show, and of the last
// frame played unseen before it (that frame's delta follows from it).
struct ForwardEnd {
    double first = 0.0;
    double previous = 0.0;
    bool ended = false; // the script's end came first
};

// Plays the show unseen from clock 0 up to the script time target, frame by frame on the grid of
// engine.options.fps (frame k reads k / fps): each frame runs its one script line and advances
// what drawing would advance (the scene's replay, layer fades and drifts), so the first frame
// shown is the frame playing from 0 would show. Script time is the clock less demoStart, so
// "@setdemostart" lines count as they do in play. Music played in these frames is held and then
// placed as far in as the show has gone since. With frames >= 0 the target is that frame of the
// clock instead (--frames), whatever the script time.
ForwardEnd fastForward(double target, EngineClock clock, long frames = -1) {
    const double fps = engine.options.fps;
    const double epsilon = 0.5 / fps / 1000.0; // below any frame step: a stamp on the grid counts
    const auto reached = [&](long k) { return frames >= 0 ? k >= frames : double(k) / fps - engine.demoStart >= target - epsilon; };
    ForwardEnd end;
    engine_SetClock(forwardClock);
    // Script time never runs ahead of the clock, so the clock bounds the frames; a script that
    // keeps restarting its time is cut off there.
    const long most = frames >= 0 ? frames : long(std::ceil((target + OPTIONS_MAX_START) * fps));
    long k = 0;
    for (; k < most && !reached(k) && platform_StopSignal() == 0; ++k) {
        const double now = double(k) / fps;
        const double frameDelta = k == 0 ? 0.0 : double(float(now - end.previous));
        end.previous = now;
        run.forwardTime = now;
        sound_HoldStarts(now);
        engine.runStatus = script_Eval(now - engine.demoStart);
        ramp_Apply(now - engine.demoStart);
        if (engine.runStatus == -1) {
            // The end came before the start time: step back onto the end line, so the first
            // shown frame reaches it again and the show ends there.
            if (frames < 0)
                fprintf(stderr, "vortan: the script ends (\"@end\") before script time %g s: only its last frame is "
                        "shown\n", target);
            end.ended = true;
            script.currentLine--;
            engine.runStatus = 0;
            ++k;
            break;
        }
        if (reached(k + 1)) {
            // The last unseen frame is drawn, so the first shown frame starts from the GL state a
            // played frame leaves behind: glow targets, depth function.
            scene_CatchUp();
            engine_DrawFrame(frameDelta);
            continue;
        }
        selectFrameTextureUnit();
        if (engine.glowEnabled) scene_Advance(frameDelta); // the glow's capture pass
        if (engine.currentScene != -1) {
            scene_Advance(frameDelta);
            for (int i = 0; i < ENGINE_LAYERS; i++) AdvanceLayer(engine.layers[i], frameDelta);
        }
    }
    scene_CatchUp(); // when the end came first, nothing was drawn
    end.first = double(k) / fps;
    if (k == 0) end.previous = end.first;
    sound_ReleaseStarts(end.first);
    engine_SetClock(clock);
    return end;
}

// The state of a show about to start: engine record (window settings and options kept),
// scenes, music, layers, colours and the script tables.
void resetShow() {
    soundStream_Stop();
    scene_ResetState();
    static EngineState kept; // the options' paths make the record too large for the stack
    kept = engine;
    engine_ResetState();
    engine.screenWidth = kept.screenWidth;
    engine.screenHeight = kept.screenHeight;
    engine.windowMode = kept.windowMode;
    engine.swapInterval = kept.swapInterval;
    engine.options = kept.options;
    script_Reset();
    ramp_Reset();
    engine_ForgetAssets();
    setFixedGlState();
    resetShowState();
}

void enterLoader() { glfwMakeContextCurrent(run.loadWindow); }
void leaveLoader() { glfwMakeContextCurrent(nullptr); }

// The loader thread on the files of the script just loaded, in a context of its own that shares
// textures and lists with the window's (without one, every file loads at its line).
void startLoads() {
    if (!engine.options.loadAhead || !run.loadWindow) return;
    static LoaderJob jobs[LOADER_MAX_JOBS]; // too large for the stack
    loader_Start(jobs, engine_PlanLoads(jobs, LOADER_MAX_JOBS), enterLoader, leaveLoader);
}

// The show from the script file again, played unseen up to scriptTime.
ForwardEnd replayTo(double scriptTime, EngineClock clock) {
    resetShow();
    loadScript(engine.options.scriptPath, false);
    startLoads();
    return fastForward(scriptTime, clock);
}

// Looks at the script file: true when it differs from the one last loaded or refused and has kept
// its size and modification time since the previous look, so a file still being written (an
// editor that truncates, then writes) is left until it stands still.
bool scriptFileSettled(const char *path) {
    const EngineFileStamp now = engine_FileStamp(path);
    const bool still = now == run.watch;
    run.watch = now;
    if (!still || now == run.loaded) return false;
    run.loaded = now;
    return true;
}

// A changed script: checked first; with errors the show goes on as it was, otherwise it starts
// again from the new script and the lines due by the clock reading now are run at once.
void reloadScript(double now, EngineClock clock) {
    const char *path = engine.options.scriptPath;
    if (run.virtualClock) fputc('\n', stderr); // below the progress line
    if (run.loaded.size == 0) { // an empty script would blank the show
        fprintf(stderr, "vortan: %s not reloaded: the file is empty; the show goes on unchanged\n", path);
        return;
    }
    char reason[256];
    if (script_FileProblem(path, reason, sizeof reason)) {
        // Looked at again each time until it can be read (an edit saved meanwhile is loaded then).
        if (!run.unreadable) {
            fprintf(stderr, "vortan: %s not reloaded: %s; the show goes on unchanged\n", path, reason);
            char shown[ENGINE_PATH_SIZE + 300];
            snprintf(shown, sizeof shown, "%s not reloaded: %s", path, reason);
            transport_ShowError(shown);
        }
        run.unreadable = true;
        return;
    }
    run.unreadable = false;
    static ScriptState running; // the checker compiles in the script tables; kept to go on with
    running = script;
    const CheckReport report = check_Script(path, stderr);
    if (report.errors > 0) {
        script = running;
        fprintf(stderr, "vortan: %s not reloaded at %.3f s: %d error%s; the show goes on unchanged\n", path, now,
                report.errors, report.errors == 1 ? "" : "s");
        char shown[ENGINE_PATH_SIZE + sizeof report.firstError + 32] = "";
        for (const char *part : {path, " not reloaded: ", path, ":", static_cast<const char *>(report.firstError)})
            text_AppendBounded(shown, part);
        transport_ShowError(shown);
        return;
    }
    const double scriptTime = now - engine.demoStart;
    trace_NewLoad(); // the new script's mistakes are said even where the old one had them too
    // Replayed unseen from 0 on the frame grid; the show then goes on at the clock's reading now.
    engine.demoStart += now - replayTo(scriptTime, clock).first;
    transport_Replayed();
    fprintf(stderr, "vortan: reloaded %s at %.3f s\n", path, scriptTime);
}

// A texture, scene or music file the show loaded changed: the show replays up to now with it.
void reloadAssets(const char *changed, double now, EngineClock clock) {
    const double scriptTime = now - engine.demoStart;
    engine.demoStart += now - replayTo(scriptTime, clock).first;
    transport_Replayed();
    fprintf(stderr, "vortan: %s changed: replayed to %.3f s\n", changed, scriptTime);
}

// Step 8 of a frame: background, scene, then the 2D stage. Only with a scene selected. A
// warm-up draw (stage false) draws the scene and the glow alone.
void drawMainPass(double frameDelta, ScenePass scenePass, bool stage) {
    const int w = engine.screenWidth, h = engine.screenHeight;
    if (stage && engine.backgroundEnabled) {
        // Until "@glsetcinemascope" sets the strip, the background fills the window.
        const bool stripSet = engine.cinemascopeBar != 0 || engine.cinemascopeHeight != 0;
        DrawBackground(engine.backgroundMode, engine.layers[0], w, h, stripSet ? engine.cinemascopeBar : 0,
                       stripSet ? engine.cinemascopeHeight : h);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_ALPHA_TEST);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    scenePass(frameDelta);
    glext.activeTexture(GL_TEXTURE0_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    Begin2D();
    glViewport(0, 0, w, h);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    if (engine.glowEnabled) GlowComposite(w, h);
    if (stage)
        for (int i = 0; i < ENGINE_LAYERS; ++i) DrawLayer(engine.layers[i], w, h, frameDelta);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    if (stage && engine.cinemascopeEnabled) {
        glDisable(GL_DEPTH_TEST);
        DrawCinemascope(w, h, engine.cinemascopeBar, engine.cinemascopeHeight);
    }
    End2D();
}

void drawFrame(double frameDelta, ScenePass scenePass, bool stage) {
    // The glow's capture clears the whole frame itself, and to the clear colour once it is done.
    if (!engine.glowEnabled) {
        const Color &clear = engine.colors[2];
        glClearColor(clear.red, clear.green, clear.blue, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    glEnable(GL_DEPTH_TEST);
    selectFrameTextureUnit();
    if (engine.glowEnabled) GlowCapture(frameDelta, scenePass);
    if (engine.currentScene != -1) drawMainPass(frameDelta, scenePass, stage);
}

// The scene of a warm-up draw, into one pixel: the states are what counts, not the picture.
void warmUpScenePass(double) {
    glViewport(0, 0, 1, 1);
    scene_DrawStill();
}

} // namespace

void engine_DrawFrame(double frameDelta) { drawFrame(frameDelta, scene_Draw, true); }

void engine_WarmUp() {
    const unsigned targets = GlowTargetsMade();
    if (scene_LoadCount() == run.warmedLoads && targets == run.warmedTargets) return;
    run.warmedLoads = scene_LoadCount();
    run.warmedTargets = targets;
    const int shown = engine.currentScene, glow = engine.glowEnabled;
    // Matrices are kept by value: the 2D passes push the projection, and a stack may hold two.
    GLfloat projection[16], modelview[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    for (int slot = 0; slot < SCENE_SLOTS; ++slot) {
        if (!scene.slots[size_t(slot)]) continue;
        engine.currentScene = slot;
        for (int glowOn = targets ? 1 : 0; glowOn >= 0; --glowOn) {
            engine.glowEnabled = glowOn;
            drawFrame(0.0, warmUpScenePass, false);
        }
    }
    engine.currentScene = shown;
    engine.glowEnabled = glow;
    glPopAttrib(); // the matrix mode too
    GLint mode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(modelview);
    glMatrixMode(GLenum(mode));
}

void engine_InitGl() {
    glext_Load();
    texture_ResetNames();
    setFixedGlState();
}

namespace {

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The frame loop; a frame that cannot be written (or a video's ffmpeg that stops taking them)
// ends it.
void frameLoop(EngineClock clock) {
    const EngineOptions &options = engine.options;
    const double t0 = engine_Time();
    // The frame rate is counted on a clock of its own: the show's clock stops while paused and
    // jumps on a seek, and frames per second of it would read negative or absurd.
    double titleTime = wallSeconds();
    int fpsCounter = 0;
    double fpsShown = 0.0;
    char title[64];
    bool written = true;
    int looks = 0;
    long fpsFrames = 0;
    while (engine.runStatus != -1) {
        if (platform_StopSignal() != 0) break; // Ctrl-C, SIGTERM: the show ends as with Esc
        transport_Frame();
        const double clockNow = engine_Time();
        const double now = transport_Clock(clockNow);
        if (options.duration >= 0 &&
            (now >= run.firstShown + options.duration || (run.loopGiven && run.played >= options.duration)))
            break;
        if (options.frameEnd >= 0 && capture_ShowFrame() >= options.frameEnd) break;
        // Look n falls due at t0 + n x interval (not summed up, and with a margin for the clock's
        // rounding), so on the capture clock it falls on the same frames on every machine. A
        // seek back or a resume sets the clock back: the looks count from there.
        if (clockNow < t0 + looks * WATCH_INTERVAL) looks = int(std::max(0.0, clockNow - t0) / WATCH_INTERVAL);
        if (options.watch && clockNow + 1e-9 >= t0 + (looks + 1) * WATCH_INTERVAL) {
            looks = int((clockNow + 1e-9 - t0) / WATCH_INTERVAL);
            const char *changed = nullptr;
            if (scriptFileSettled(options.scriptPath) || run.unreadable) reloadScript(now, clock);
            else if ((changed = engine_ChangedAsset()) != nullptr) reloadAssets(changed, now, clock);
        }
        const bool playing = transport_Playing();
        const double frameDelta = playing ? double(float(now - run.previous)) : 0.0;
        run.previous = now;
        run.played += frameDelta;
        const double wall = wallSeconds();
        if (wall - titleTime > 1.0 || fpsCounter == 0) {
            // No frames counted yet reads 0.0.
            fpsShown = fpsCounter == 0 || wall <= titleTime ? 0.0 : fpsCounter / (wall - titleTime);
            snprintf(title, sizeof title, "_Vortan_ (%.1f FPS)", fpsShown);
            glfwSetWindowTitle(run.window, title);
            titleTime = wall;
            fpsCounter = 0;
        }
        ++fpsCounter;
        if (playing) {
            engine.runStatus = script_Eval(now - engine.demoStart);
            ramp_Apply(now - engine.demoStart);
        }
        if (engine.runStatus == -1 && transport_HoldAtEnd(now)) engine.runStatus = 0;
        const int line = script_CurrentLine();
        if (engine.debugMode) {
            console_Printf("line : %d _ status : %d ", line, engine.runStatus);
            console_Printf("# %f \r ", now);
        }
        if (run.warmUp) engine_WarmUp();
        if (!run.soundOnly) engine_DrawFrame(frameDelta);
        if (!run.virtualClock) transport_DrawHud(now, fpsShown);
        if (run.virtualClock) {
            if (run.capturing) written = capture_WriteFrame(engine.screenWidth, engine.screenHeight);
            // Each frame's sound is its slice of the whole show's soundtrack, wherever the run began.
            sound_CaptureFrame(capture_ShowFrame());
            stats_Frame(capture_Frame(), now);
            capture_NextFrame();
            if (!written || sound_CaptureFailed()) engine.runStatus = -1;
        } else {
            stats_Frame(fpsFrames++, now);
        }
        glfwPollEvents(); // the key and size callbacks run here, before the swap
        if (!run.soundOnly) glfwSwapBuffers(run.window);
        const bool closed = glfwWindowShouldClose(run.window);
        if (!closed && glfwGetKey(run.window, GLFW_KEY_ESCAPE) == GLFW_PRESS) engine.runStatus = -1;
        if (closed) engine.runStatus = -1;
    }
}

void shutdown() {
    loader_Stop();
    if (run.loadWindow) glfwDestroyWindow(run.loadWindow);
    run.loadWindow = nullptr;
    scene_FreeAll();
    soundStream_Close();
    glfwTerminate();
    run.window = nullptr;
    texture_ForgetNames();
    console_Printf("\n_.________ Terminating GL surface\n");
    trace_Write("- _Vortan_ \tGLFW terminate\n");
}

bool openWindow(bool visible = true) {
    engine_WindowHints();
    if (!visible) glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    if (engine.options.samples > 0) glfwWindowHint(GLFW_SAMPLES, engine.options.samples);
    // Full screen at a release's refresh rate (compos ask for 60 Hz); otherwise GLFW takes the highest.
    if (engine.options.refreshRate > 0) glfwWindowHint(GLFW_REFRESH_RATE, engine.options.refreshRate);
    GLFWmonitor *monitor = engine.windowMode == ENGINE_FULLSCREEN ? glfwGetPrimaryMonitor() : nullptr;
    run.window = glfwCreateWindow(engine.screenWidth, engine.screenHeight, "_Vortan_", monitor, nullptr);
    if (!run.window) return false;
    glfwMakeContextCurrent(run.window);
    // The loader's context: same hints, never shown. Without it loads happen at their lines. Not
    // for a capture, which stays frame for frame what it was: with Mesa's software renderer a
    // second context sharing the window's alone moves a few pixels of some frames by one step.
    if (engine.options.loadAhead && !run.virtualClock) {
        glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
        run.loadWindow = glfwCreateWindow(1, 1, "_Vortan_ loader", nullptr, run.window);
        glfwDefaultWindowHints();
    }
    return true;
}
} // namespace

void engine_SetNoticeHook(EngineNoticeHook hook) { run.noticeHook = hook; }

void engine_FatalNotice(const char *text, bool information) {
    if (run.noticeHook) {
        run.noticeHook(text, "_Vortan_", information);
    } else {
        fprintf(stderr, "_Vortan_: %s\n", text);
    }
}

void engine_OnKey(int key, int action) {
    if (key == GLFW_KEY_ESCAPE && action == GLFW_PRESS) engine.runStatus = -1;
}

double engine_LastClock() { return run.previous; }

double engine_SeekTo(double scriptTime) {
    const ForwardEnd end = replayTo(scriptTime, run.clock ? run.clock : glfwClock);
    glfwSetTime(end.first);
    run.previous = end.previous;
    return end.first;
}

void engine_ResumeAt(double clock) {
    glfwSetTime(clock);
    run.previous = clock;
}

void engine_OnWindowSize(int, int) {
    if (run.window) glfwSetWindowSize(run.window, engine.screenWidth, engine.screenHeight);
}

void engine_RegisterCommands() {
    script_SetStampReader(cue_StampReader);
    script_SetRunner(ramp_Run);
    int opcode = 0;
    for (const CommandEntry &command : COMMANDS) {
        script_RegisterCommand(command.name, command.handler, opcode++);
    }
}

namespace {
// --loop A:B, each a number of seconds or a sync-point name; B must come after A.
bool resolveLoop(const char *span, double *a, double *b) {
    char first[ENGINE_PATH_SIZE];
    text_CopyBounded(first, span);
    char *colon = strchr(first, ':');
    if (!colon) return false; // the options already refused it
    *colon = '\0';
    if (!cue_ResolveOption(first, "--loop", OPTIONS_MAX_START, a, stderr) ||
        !cue_ResolveOption(colon + 1, "--loop", OPTIONS_MAX_START, b, stderr))
        return false;
    if (*b > *a) return true;
    fprintf(stderr, "vortan: --loop %s: the end (%.3f s) must come after the start (%.3f s)\n", span, *b, *a);
    return false;
}

// The capture clock and the encoders for --capture, --video and --timedemo; a video's ffmpeg is
// started later, once the window is open. -1 to go on, else the exit status.
int beginCapture(const EngineOptions &options) {
    run.capturing = options.captureDir[0] || options.videoPath[0];
    run.soundOnly = options.soundtrackPath[0] != '\0';
    run.virtualClock = run.capturing || options.timedemo || run.soundOnly;
    run.warmUp = options.loadAhead && !run.virtualClock;
    run.workDir[0] = '\0';
    if (options.videoPath[0] && !capture_CheckVideoTarget(options.videoPath, options.overwrite)) return 4;
    if (options.videoPath[0] && !capture_MakeTempDir(run.workDir, sizeof run.workDir)) return 4;
    if (run.virtualClock && !capture_Begin(options.captureDir, options.fps)) return 3;
    return -1;
}

// The soundtrack's path: the capture folder's, a video's temporary folder's, or none (time demo).
const char *soundtrackPath(const EngineOptions &options) {
    static char path[ENGINE_PATH_SIZE + 16];
    const char *dir = options.captureDir[0] ? options.captureDir : run.workDir;
    if (run.soundOnly) return options.soundtrackPath;
    if (!run.capturing) return nullptr;
    snprintf(path, sizeof path, "%s/soundtrack.wav", dir);
    return path;
}

bool startVideo(const EngineOptions &options) {
    CaptureVideoSettings video;
    video.path = options.videoPath;
    video.workDir = run.workDir;
    video.width = engine.screenWidth;
    video.height = engine.screenHeight;
    video.quality = options.videoQuality;
    video.preset = options.videoPreset;
    video.codec = options.videoCodec;
    video.scaleDown = options.supersample;
    return capture_StartVideo(video);
}

// Waits for the frames to be written and the video made. The exit status: 0, 3 when a frame or
// the soundtrack could not be written, 4 when no video was made.
int endCapture(const EngineOptions &options) {
    if (!run.virtualClock) return 0;
    const bool soundtrackWritten = sound_CaptureEnd();
    return capture_End(soundtrackPath(options), soundtrackWritten);
}

int runShow();
} // namespace

// Every way out of the run passes here: a video's temporary folder goes, and a run ended by a
// signal says so and exits as a shell reports it (128 + the signal: 130, 143) unless it failed
// on its own account.
int engine_RunShow() {
    platform_CatchStopSignals();
    const int status = runShow();
    if (run.workDir[0]) capture_RemoveDir(run.workDir);
    run.workDir[0] = '\0';
    const int stop = platform_StopSignal();
    if (stop == 0) return status;
    fprintf(stderr, "\nvortan: ended by signal %d (%s)\n", stop, stop == SIGINT ? "SIGINT" : stop == SIGTERM ? "SIGTERM" : "?");
    return status != 0 ? status : 128 + stop;
}

namespace {
// --samples: the window must have the samples asked for, or the pictures would not be the ones
// another machine draws with them. False, said on standard error, when it has fewer.
bool checkSamples() {
    if (engine.options.samples <= 0) return true;
    GLint samples = 0;
    glGetIntegerv(GL_SAMPLES, &samples);
    if (samples >= engine.options.samples) return true;
    fprintf(stderr, "vortan: --samples %d: the GL gives this window %d samples a pixel\n", engine.options.samples, samples);
    return false;
}

// A run that stops before its frame loop: the windows and files it opened are closed, the
// capture ended as far as it went.
int abandonRun(const EngineOptions &options, int status) {
    texture_SetCache(false);
    shutdown();
    endCapture(options);
    return status;
}

// --gl-info: what decides the pixels a machine draws, one "key: value" a line, to compare
// machines before a render is split among them.
int printGlInfo() {
    glfwSetErrorCallback(glfwError);
    if (!glfwInit()) {
        engine_FatalNotice("Error in GL init !");
        return -1;
    }
    if (!openWindow(false)) {
        engine_FatalNotice("Error in GL init !");
        glfwTerminate();
        return -1;
    }
    GLint samples = 0;
    glGetIntegerv(GL_SAMPLES, &samples);
    printf("version: %s\nrenderer: %s\nvendor: %s\ngl: %s\nsamples: %d\n", options_Version(),
           reinterpret_cast<const char *>(glGetString(GL_RENDERER)), reinterpret_cast<const char *>(glGetString(GL_VENDOR)),
           reinterpret_cast<const char *>(glGetString(GL_VERSION)), int(samples));
    fflush(stdout);
    glfwTerminate();
    run.window = nullptr;
    return 0;
}

int runShow() {
    const EngineOptions &options = engine.options;
    if (options.glInfo) return printGlInfo();
    const int refused = beginCapture(options);
    if (refused >= 0) return refused;
    const EngineClock clock = run.virtualClock ? captureClock : glfwClock;
    engine.runStatus = 0;

    loadScript(options.scriptPath);
    run.loaded = run.watch = engine_FileStamp(options.scriptPath); // the file as loaded: later changes reload it
    // Sync-point names of --start and --loop, against the music the script opens.
    double loopA = 0.0, loopB = -1.0;
    if (options.startName[0] &&
        !cue_ResolveOption(options.startName, "--start", OPTIONS_MAX_START, &engine.options.start, stderr))
        return 2;
    if (options.loopSpan[0] && !resolveLoop(options.loopSpan, &loopA, &loopB)) return 2;
    if (options.loopSpan[0] && options.start <= 0.0) engine.options.start = loopA;

    glfwSetErrorCallback(glfwError);
    if (!glfwInit()) {
        engine_FatalNotice("Error in GL init !");
        return -1;
    }
    if (!run.virtualClock) engine_SetClock(glfwClock);
    trace_Write("- _Vortan_ \tGLFW init\n");
    if (!openWindow()) {
        engine_FatalNotice("Error in GL init !");
        glfwTerminate();
        return -1;
    }
    glfwSetWindowTitle(run.window, "_Vortan_");
    glfwSetWindowSizeCallback(run.window, sizeCallback);
    glfwSwapInterval(run.virtualClock ? 0 : engine.swapInterval);
    glfwSetKeyCallback(run.window, keyCallback);
    console_Printf("\n_.________ Opening GL surface\n");
    trace_Write("- _Vortan_ \topening GL surface\n");
    if (!glfwExtensionSupported("GL_ARB_multitexture")) {
        engine_FatalNotice("No multi-texturing support !", true);
        trace_Write("- _Vortan_ \terror : No multi-texturing support !\n");
        return 1; // the process ends at once; the window goes with it
    }
    glext_Load();
    texture_ResetNames();
    console_Printf("\n_.________ Init GL\n");
    setFixedGlState();
    resetShowState();
    trace_Write("- _Vortan_ \tinit resources\n");
    if (!checkSamples()) {
        shutdown();
        endCapture(options);
        return -1;
    }
    if (run.virtualClock) sound_CaptureBegin(soundtrackPath(options), options.fps);
    run.clock = clock;
    run.previous = engine_Time();
    // A released show, started from the setup dialog, answers Esc alone; the transport keys and
    // the HUD are the author's, in the sessions the command line starts.
    const bool authoring = options.noDialog || options.watch || options.loopSpan[0] || options.start > 0 ||
                           options.startName[0];
    TransportEngine transportRun;
    transportRun.lastClock = engine_LastClock;
    transportRun.seekTo = engine_SeekTo;
    transportRun.resumeAt = engine_ResumeAt;
    transport_Begin(!run.virtualClock && authoring, options.watch, transportRun);
    trace_SetErrorHook(transport_ShowError);
    texture_SetCache(true);
    startLoads();
    if (options.start > 0) {
        const ForwardEnd end = fastForward(options.start, clock);
        run.previous = end.previous;
        run.firstShown = end.first;
        const long firstFrame = std::lround(end.first * options.fps);
        if (run.virtualClock) capture_SetFirstFrame(firstFrame);
        else glfwSetTime(end.first); // the first frame shows the start time
        fprintf(stderr, "vortan: starting at script time %.3f s: clock %.3f s, frame %ld of the show at %g fps\n",
                end.first - engine.demoStart, end.first, firstFrame, options.fps);
    } else if (options.frameFirst > 0) {
        const ForwardEnd end = fastForward(0.0, clock, options.frameFirst);
        if (end.ended) {
            fprintf(stderr, "vortan: --frames %ld:%ld starts past the show's end: its \"@end\" comes at frame %ld (at %g fps)\n",
                    options.frameFirst, options.frameEnd, std::lround(end.first * options.fps) - 1, options.fps);
            return abandonRun(options, 2);
        }
        run.previous = end.previous;
        run.firstShown = end.first;
        capture_SetFirstFrame(options.frameFirst);
    }
    // ffmpeg starts once the first frame is known to come.
    if (options.videoPath[0] && !startVideo(options)) {
        return abandonRun(options, 4);
    }
    trace_Write("- _Vortan_ \tstart Mainloop\n");
    run.loopGiven = loopB > loopA;
    run.played = 0.0;
    if (run.loopGiven) transport_SetLoop(loopA, loopB);
    // The progress line counts to the range's last frame, half a frame before the next.
    const double limit = options.frameEnd >= 0 ? (double(options.frameEnd) - 0.5) / options.fps
                         : options.duration >= 0 ? run.firstShown + options.duration : -1;
    if (!stats_Begin(run.virtualClock ? options.fps : 0.0, limit, options.frameTimesPath)) {
        return abandonRun(options, 3);
    }
    frameLoop(clock);
    const bool timesWritten = stats_End();
    texture_SetCache(false);
    int status = endCapture(options);
    if (!timesWritten && status == 0) status = 3;
    shutdown();
    engine_SetClock(nullptr);
    return status;
}

} // namespace

void engine_Run() { exit(engine_RunShow()); }
