// Ramps: the values each rampable command sets, the ramps running on them, and their moves on
// the frame loop's script time.
#include "ramp/ramp.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "base/trace.h"
#include "draw/draw.h"
#include "draw/texture.h"
#include "scene/scene.h"
#include "script/text.h"
#include "state/engine_state.h"

namespace {

// The values one line sets, found from its parameters, and why it cannot ramp them, if so.
struct RampTarget {
    float *values[RAMP_MAX_VALUES] = {};
    int count = 0;
    void (*settle)() = nullptr; // what follows from the values (the bars from their percentage)
    const char *kept = nullptr; // the parameter that differs from the one in force, if one does
};

using TargetFinder = void (*)(RampTarget &target);

struct RampEntry {
    const char *name;
    ScriptHandler handler;
    TargetFinder find;
};

struct Ramp {
    const RampCommand *command = nullptr; // null: the entry is free
    int fileLine = 0;
    double start = 0.0, end = 0.0;
    int curve = SCRIPT_CURVE_LINEAR;
    RampTarget target;
    float from[RAMP_MAX_VALUES] = {}, to[RAMP_MAX_VALUES] = {};
};

struct RampState {
    std::array<Ramp, RAMP_MAX> ramps;
    int running = 0;
};
RampState rampState;

void add(RampTarget &t, std::initializer_list<float *> values) {
    for (float *value : values)
        if (t.count < RAMP_MAX_VALUES) t.values[t.count++] = value;
}

// Parameter k as a number in low..high, as the handler reads it; false leaves the line to the
// handler, which reports it.
bool key(int k, int low, int high, int *value) {
    return script_ParamInt(k, value) && *value >= low && *value <= high;
}

void clearColour(RampTarget &t) {
    Color &c = engine.colors[2];
    add(t, {&c.red, &c.green, &c.blue});
}
void colour(RampTarget &t) {
    int n = 0;
    if (!key(1, 0, ENGINE_COLORS - 1, &n)) return;
    Color &c = engine.colors[n];
    add(t, {&c.red, &c.green, &c.blue});
}
void cinemascope(RampTarget &t) {
    int on = 0;
    if (script_ParamInt(1, &on) && on != engine.cinemascopeEnabled) t.kept = "on";
    add(t, {&engine.cinemascopePercent});
    t.settle = PlaceCinemascope;
}
void layerParam(RampTarget &t) {
    int n = 0, visible = 0;
    if (!key(1, 0, ENGINE_LAYER_RECORDS - 1, &n)) return;
    Layer &layer = engine.layers[n];
    if (script_ParamInt(3, &visible) && visible != layer.visible) t.kept = "visible";
    if (texture_FindExact(script_Param(2)) != layer.texture) t.kept = "texture slot name";
    add(t, {&layer.fade, &layer.repeatU, &layer.repeatV});
}
void layerPos(RampTarget &t) {
    int n = 0, blend = 0;
    if (!key(1, 0, ENGINE_LAYER_RECORDS - 1, &n)) return;
    Layer &layer = engine.layers[n];
    if (script_ParamInt(2, &blend) && float(blend) != layer.blend) t.kept = "blend";
    add(t, {&layer.fadeSpeed, &layer.x, &layer.y, &layer.width, &layer.height});
}
void layerFadeSpeed(RampTarget &t) {
    int n = 0;
    if (key(1, 0, ENGINE_LAYER_RECORDS - 1, &n)) add(t, {&engine.layers[n].fadeSpeed});
}
void layerParamEx(RampTarget &t) {
    int n = 0;
    if (!key(1, 0, ENGINE_LAYER_RECORDS - 1, &n)) return;
    Layer &layer = engine.layers[n];
    add(t, {&layer.speedX, &layer.speedY, &layer.extraA, &layer.extraB});
}
void targetAlpha(RampTarget &t) {
    int n = 0;
    if (key(1, 0, ENGINE_RENDER_TARGETS - 1, &n)) add(t, {&engine.layers[ENGINE_LAYERS + n].fade});
}
void replaySpeed(RampTarget &t) { add(t, {&scene.replaySpeed}); }
void replayFrame(RampTarget &t) { add(t, {&scene.replayFrame}); }

// Each command that sets values a ramp may move, with where they are; the rampable ones are
// those the rules name.
const RampEntry ENTRIES[] = {
    {"@glsetclearcolor", glSetClearColor, clearColour},
    {"@glsetcolor", SetColor, colour},
    {"@glsetcinemascope", glSetCinemascope, cinemascope},
    {"@glsetlayerparam", SetLayerParam, layerParam},
    {"@glsetlayerpos", SetLayerPos, layerPos},
    {"@glsetlayerparamex", SetLayerParamEx, layerParamEx},
    {"@glfx_rtalpha", glFx_RenderTargetAlpha, targetAlpha},
    {"@glsetreplayspeed", glSetReplaySpeed, replaySpeed},
    {"@glsetreplayframe", glSetReplayFrame, replayFrame},
    {"@glsetlayerfadespeed", SetLayerFadeSpeed, layerFadeSpeed},
};

const RampEntry *entryOf(ScriptHandler handler) {
    for (const RampEntry &entry : ENTRIES)
        if (entry.handler == handler) return &entry;
    return nullptr;
}

// Ends the running ramps on the values a line sets: they keep the values reached.
void cut(const RampTarget &target) {
    for (Ramp &ramp : rampState.ramps) {
        if (!ramp.command) continue;
        int kept = 0;
        for (int i = 0; i < ramp.target.count; ++i) {
            bool set = false;
            for (int j = 0; j < target.count; ++j) set = set || target.values[j] == ramp.target.values[i];
            if (set) continue;
            ramp.target.values[kept] = ramp.target.values[i];
            ramp.from[kept] = ramp.from[i];
            ramp.to[kept++] = ramp.to[i];
        }
        ramp.target.count = kept;
        if (kept == 0) {
            ramp.command = nullptr;
            rampState.running--;
        }
    }
}

int fileLineNow() {
    const int line = script.currentLine;
    return line >= 0 && line < SCRIPT_MAX_LINES ? script.fileLine[line] : 0;
}

// Says why a line stamped as a ramp sets its values at once instead.
void refuse(const char *command, const char *why) {
    char detail[1024];
    char stamp[SCRIPT_TEXT_SIZE];
    text_CopyBounded(stamp, script_Param(0));
    snprintf(detail, sizeof detail, "script line %d: %s %s: %s; the line sets its values at once", fileLineNow(),
             command, stamp, why);
    trace_Error("script_Eval", detail);
}

} // namespace

void ramp_Run(ScriptHandler handler) {
    const RampEntry *entry = entryOf(handler);
    RampTarget target;
    if (entry) entry->find(target);
    ScriptRampStamp stamp;
    if (!script_SplitRamp(script_Param(0), &stamp)) {
        cut(target);
        handler();
        return;
    }
    const char *name = script.lines[script.currentLine].token;
    const RampCommand *command = entry ? ramp_FindCommand(entry->name) : nullptr;
    const double start = script_StampTime(stamp.start), end = script_StampTime(stamp.end);
    char why[SCRIPT_TEXT_SIZE + 96] = "";
    if (!command) snprintf(why, sizeof why, "this command cannot ramp (--check lists those that can)");
    else if (stamp.curve == SCRIPT_CURVE_UNKNOWN)
        snprintf(why, sizeof why, "no curve '%s' (linear, smooth, in, out, step)", stamp.curveName);
    else if (!(end > start)) snprintf(why, sizeof why, "the ramp ends (%.6g s) before it starts (%.6g s)", end, start);
    else if (target.kept)
        snprintf(why, sizeof why, "its %s differs from the one in force, and a ramp moves numbers only", target.kept);
    if (why[0] || target.count == 0) { // no target: the handler reports the bad parameter
        if (why[0]) refuse(name, why);
        cut(target);
        handler();
        return;
    }
    cut(target); // a new ramp on the same values ends the old one where it stands
    Ramp *free = nullptr;
    for (Ramp &ramp : rampState.ramps)
        if (!ramp.command) free = free ? free : &ramp;
    if (!free) {
        refuse(name, "more ramps would run at once than the engine holds (64)");
        handler();
        return;
    }
    Ramp &ramp = *free;
    ramp.target = target;
    for (int i = 0; i < target.count; ++i) ramp.from[i] = *target.values[i];
    handler(); // the line's own values, read as the handler reads them
    for (int i = 0; i < target.count; ++i) {
        ramp.to[i] = *target.values[i];
        *target.values[i] = ramp.from[i];
    }
    if (target.settle) target.settle();
    ramp.command = command;
    ramp.fileLine = fileLineNow();
    ramp.start = start;
    ramp.end = end;
    ramp.curve = stamp.curve;
    rampState.running++;
}

void ramp_Apply(double t) {
    for (Ramp &ramp : rampState.ramps) {
        if (!ramp.command) continue;
        const bool done = t >= ramp.end - SCRIPT_STAMP_TOLERANCE;
        const double share = script_Curve(ramp.curve, (t - ramp.start) / (ramp.end - ramp.start));
        for (int i = 0; i < ramp.target.count; ++i)
            *ramp.target.values[i] =
                done ? ramp.to[i] : float(double(ramp.from[i]) + (double(ramp.to[i]) - double(ramp.from[i])) * share);
        if (ramp.target.settle) ramp.target.settle();
        if (done) {
            ramp.command = nullptr;
            rampState.running--;
        }
    }
}

void ramp_Reset() { rampState = RampState{}; }

int ramp_Running() { return rampState.running; }

void ramp_Describe(double t, char *text, size_t size) {
    if (size == 0) return;
    text[0] = '\0';
    for (const Ramp &ramp : rampState.ramps) {
        if (!ramp.command) continue;
        char one[96];
        const double u = (t - ramp.start) / (ramp.end - ramp.start);
        snprintf(one, sizeof one, "%sline %d %s %s %.0f%%", text[0] ? ", " : "ramps: ", ramp.fileLine,
                 ramp.command->name, script_CurveName(ramp.curve), 100.0 * (u < 0.0 ? 0.0 : u > 1.0 ? 1.0 : u));
        text_AppendBounded(text, one, size, size);
    }
}
