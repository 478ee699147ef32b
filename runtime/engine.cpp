// The engine run: registration of the 25 commands, the script load, the GLFW window, the fixed
// GL state, the frame loop (with frame-exact capture and a time limit) and shutdown.
#include "runtime/engine.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GLFW/glfw3.h>
#include <cstdio>
#include <cstdlib>

#include "runtime/capture.h"
#include "runtime/engine_state.h"
#include "runtime/gl_ext.h"
#include "runtime/render.h"
#include "script/script.h"
#include "startup/console.h"
#include "startup/trace.h"
#if VORTAN_HAVE_TEXTURE
#include "runtime/texture.h"
#endif
#if VORTAN_HAVE_SCENE
#include "scene/scene.h"
#endif
#if VORTAN_HAVE_SOUND
#include "sound/sound.h"
#endif

namespace {
struct RunState {
    GLFWwindow *window = nullptr;
    EngineNoticeHook noticeHook = nullptr;
    bool capturing = false;
};
RunState run;

double glfwClock() { return glfwGetTime(); }

void keyCallback(GLFWwindow *, int key, int, int action, int) { engine_OnKey(key, action); }
void sizeCallback(GLFWwindow *, int width, int height) { engine_OnWindowSize(width, height); }

struct CommandEntry {
    const char *name;
    ScriptHandler handler; // null: the command's library is not in this build; its lines do nothing
};

#if VORTAN_HAVE_SOUND
constexpr ScriptHandler SOUND_INIT = soundStream_Init, SOUND_PLAY = soundStream_Play;
#else
constexpr ScriptHandler SOUND_INIT = nullptr, SOUND_PLAY = nullptr;
#endif
#if VORTAN_HAVE_TEXTURE
constexpr ScriptHandler LOAD_TEXTURE = glLoadTextureSlot;
#else
constexpr ScriptHandler LOAD_TEXTURE = nullptr;
#endif
#if VORTAN_HAVE_SCENE
constexpr ScriptHandler LOAD_SCENE = glLoadSceneSlot, CURRENT_SCENE = glSetCurrentScene,
                        REPLAY_SPEED = glSetReplaySpeed, REPLAY_FRAME = glSetReplayFrame,
                        CAMERA = glSetCamera;
#else
constexpr ScriptHandler LOAD_SCENE = nullptr, CURRENT_SCENE = nullptr, REPLAY_SPEED = nullptr,
                        REPLAY_FRAME = nullptr, CAMERA = nullptr;
#endif

// Opcode = place in this table.
constexpr CommandEntry COMMANDS[] = {
    {"@setlayer", SetLayer},
    {"@setscene", SetScene},
    {"@setcam", SetCam},
    {"@initsound", SOUND_INIT},
    {"@playsound", SOUND_PLAY},
    {"@setdemostart", SetDemoStart},
    {"@glsetclearcolor", glSetClearColor},
    {"@glsetcinemascope", glSetCinemascope},
    {"@setdebug", SetDebug},
    {"@glsetbackground", SetBackground},
    {"@glsetcolor", SetColor},
    {"@glsetlayerparam", SetLayerParam},
    {"@glsetlayerpos", SetLayerPos},
    {"@glloadtextureslot", LOAD_TEXTURE},
    {"@glloadsceneslot", LOAD_SCENE},
    {"@glsetcurrentscene", CURRENT_SCENE},
    {"@glsetlayerfadespeed", SetLayerFadeSpeed},
    {"@glsetreplayspeed", REPLAY_SPEED},
    {"@glsetreplayframe", REPLAY_FRAME},
    {"@glsetlayerparamex", SetLayerParamEx},
    {"@glfx_glow", glFxGlow},
    {"@glfx_rtparam", glFx_RenderTargetParam},
    {"@glfx_rtalpha", glFx_RenderTargetAlpha},
    {"@glsetcamera", CAMERA},
    {"@setresourcedir", SetResourceDir},
};
static_assert(sizeof COMMANDS / sizeof COMMANDS[0] == 25, "the engine has 25 commands");

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

void sceneDraw(double frameDelta) {
#if VORTAN_HAVE_SCENE
    scene_Draw(frameDelta);
#else
    (void)frameDelta;
#endif
}

// Step 8 of a frame: background, scene, then the 2D stage. Only with a scene selected.
void drawMainPass(double frameDelta) {
    const int w = engine.screenWidth, h = engine.screenHeight;
    if (engine.backgroundEnabled) {
        DrawBackground(engine.backgroundMode, engine.layers[0], w, h, engine.cinemascopeBar,
                       engine.cinemascopeHeight);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_ALPHA_TEST);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    sceneDraw(frameDelta);
    glext.activeTexture(GL_TEXTURE0_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    Begin2D();
    glViewport(0, 0, w, h);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    if (engine.glowEnabled) GlowComposite(w, h);
    for (int i = 0; i < ENGINE_LAYERS; ++i) DrawLayer(engine.layers[i], w, h, frameDelta);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    if (engine.cinemascopeEnabled) {
        glDisable(GL_DEPTH_TEST);
        DrawCinemascope(w, h, engine.cinemascopeBar, engine.cinemascopeHeight);
    }
    End2D();
}

} // namespace

void engine_DrawFrame(double frameDelta) {
    const Color &clear = engine.colors[2];
    glClearColor(clear.red, clear.green, clear.blue, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glext.activeTexture(GL_TEXTURE0_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_TEXTURE_2D);
    if (engine.glowEnabled) GlowCapture(frameDelta);
    if (engine.currentScene != -1) drawMainPass(frameDelta);
}

void engine_InitGl() {
    glext_Load();
    setFixedGlState();
}

namespace {

// The frame loop; returns false when a captured frame could not be written.
bool frameLoop() {
    const EngineOptions &options = engine.options;
    const double t0 = engine_Time();
    double previous = t0, titleTime = t0;
    int fpsCounter = 0;
    char title[64];
    bool written = true;
    while (engine.runStatus != -1) {
        const double now = engine_Time();
        if (options.duration >= 0 && now >= options.duration) break;
        const double frameDelta = double(float(now - previous));
        previous = now;
        if (now - titleTime > 1.0 || fpsCounter == 0) {
            // No frames counted yet reads 0.0, also when the capture clock has not moved.
            const double fps = fpsCounter == 0 ? 0.0 : fpsCounter / (now - titleTime);
            snprintf(title, sizeof title, "_Vortan_ (%.1f FPS)", fps);
            glfwSetWindowTitle(run.window, title);
            titleTime = now;
            fpsCounter = 0;
        }
        ++fpsCounter;
        engine.runStatus = script_Eval(now - engine.demoStart);
        const int line = script_CurrentLine();
        if (engine.debugMode) {
            console_Printf("line : %d _ status : %d ", line, engine.runStatus);
            console_Printf("# %f \r ", now);
        }
        engine_DrawFrame(frameDelta);
        if (run.capturing) {
            written = capture_WriteFrame(engine.screenWidth, engine.screenHeight);
#if VORTAN_HAVE_SOUND
            sound_CaptureFrame(capture_Frame());
#endif
            capture_NextFrame();
            if (!written) engine.runStatus = -1;
        }
        glfwPollEvents(); // the key and size callbacks run here, before the swap
        glfwSwapBuffers(run.window);
        const bool closed = glfwWindowShouldClose(run.window);
        if (!closed && glfwGetKey(run.window, GLFW_KEY_ESCAPE) == GLFW_PRESS) engine.runStatus = -1;
        if (closed) engine.runStatus = -1;
    }
    return written;
}

void shutdown() {
#if VORTAN_HAVE_SCENE
    scene_FreeAll();
#endif
#if VORTAN_HAVE_SOUND
    soundStream_Close();
#else
    console_Printf("\n_.________ Closing soundStream\n");
    trace_Write("- _Vortan_ \tclosing stream\n");
    console_Printf("\n_.________ Closing Stream\n");
#endif
    glfwTerminate();
    run.window = nullptr;
    console_Printf("\n_.________ Terminating GL surface\n");
    trace_Write("- _Vortan_ \tGLFW terminate\n");
}

bool openWindow() {
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_RED_BITS, 8);
    glfwWindowHint(GLFW_GREEN_BITS, 8);
    glfwWindowHint(GLFW_BLUE_BITS, 8);
    glfwWindowHint(GLFW_ALPHA_BITS, 8);
    glfwWindowHint(GLFW_DEPTH_BITS, 24);
    glfwWindowHint(GLFW_STENCIL_BITS, 0);
    GLFWmonitor *monitor = engine.windowMode == ENGINE_FULLSCREEN ? glfwGetPrimaryMonitor() : nullptr;
    run.window = glfwCreateWindow(engine.screenWidth, engine.screenHeight, "_Vortan_", monitor, nullptr);
    if (!run.window) return false;
    glfwMakeContextCurrent(run.window);
    return true;
}
} // namespace

void engine_SetNoticeHook(EngineNoticeHook hook) { run.noticeHook = hook; }

void engine_FatalNotice(const char *text) {
    if (run.noticeHook) {
        run.noticeHook(text, "_Vortan_");
    } else {
        fprintf(stderr, "_Vortan_: %s\n", text);
    }
}

void engine_OnKey(int key, int action) {
    if (key == GLFW_KEY_ESCAPE && action == GLFW_PRESS) engine.runStatus = -1;
}

void engine_OnWindowSize(int, int) {
    if (run.window) glfwSetWindowSize(run.window, engine.screenWidth, engine.screenHeight);
}

void engine_RegisterCommands() {
    int opcode = 0;
    for (const CommandEntry &command : COMMANDS) {
        script_RegisterCommand(command.name, command.handler, opcode++);
    }
}

int engine_RunShow() {
    const EngineOptions &options = engine.options;
    run.capturing = options.captureDir[0] != '\0';
    if (run.capturing && !capture_Begin(options.captureDir, options.fps)) return 3;
    engine.runStatus = 0;

    script_Init();
    trace_Write("- _Quillo_  \tinit\n");
    engine_RegisterCommands();
    trace_Write("- _Quillo_ \tregister functions\n");
    console_Printf("\n_.________ Registering _Vor functions\n");
    trace_Write("- _Vortan_ \tinit\n");
    script_SetVerbose(0);
    console_Printf("\n_.________ Parsing script\n");
    const int status = script_Load(options.scriptPath);
    console_Printf("\n_.________ Script eval : %s \n", script_StatusText(status));
    script_SetDelimiter("|");
    trace_Write("- _Quillo_ \tparse script\n");

    if (!glfwInit()) {
        engine_FatalNotice("Error in GL init !");
        return -1;
    }
    if (!run.capturing) engine_SetClock(glfwClock);
    trace_Write("- _Vortan_ \tGLFW init\n");
    if (!openWindow()) {
        engine_FatalNotice("Error in GL init !");
        glfwTerminate();
        return -1;
    }
    glfwSetWindowTitle(run.window, "_Vortan_");
    glfwSetWindowSizeCallback(run.window, sizeCallback);
    glfwSwapInterval(run.capturing ? 0 : engine.swapInterval);
    glfwSetKeyCallback(run.window, keyCallback);
    console_Printf("\n_.________ Opening GL surface\n");
    trace_Write("- _Vortan_ \topening GL surface\n");
    if (!glfwExtensionSupported("GL_ARB_multitexture")) {
        engine_FatalNotice("No multi-texturing support !");
        trace_Write("- _Vortan_ \terror : No multi-texturing support !\n");
        return 1; // the process ends at once; the window goes with it
    }
    glext_Load();
    console_Printf("\n_.________ Init GL\n");
    setFixedGlState();
    resetShowState();
    trace_Write("- _Vortan_ \tinit resources\n");
#if VORTAN_HAVE_SOUND
    if (run.capturing) {
        char wavPath[ENGINE_PATH_SIZE + 16];
        snprintf(wavPath, sizeof wavPath, "%s/soundtrack.wav", options.captureDir);
        sound_CaptureBegin(wavPath, options.fps);
    }
#endif
    trace_Write("- _Vortan_ \tstart Mainloop\n");
    const bool written = frameLoop();
    if (run.capturing) {
#if VORTAN_HAVE_SOUND
        sound_CaptureEnd();
#endif
        capture_End();
    }
    shutdown();
    engine_SetClock(nullptr);
    return written ? 0 : 3;
}

void engine_Run() { exit(engine_RunShow()); }
