// Loading ahead: the files the compiled script's load lines will open, found by following the
// resource directory line by line as the handlers will, handed to the loader thread in order.
#include "engine/load_ahead.h"

#include <cstring>

#include "draw/texture.h"
#include "engine/commands.h"
#include "scene/scene.h"
#include "script/script.h"
#include "script/text.h"
#include "sound/sound.h"

namespace {

ScriptHandler handlerOf(int opcode) {
    for (const ScriptCommand &command : script.commands)
        if (command.opcode == opcode && command.handler) return command.handler;
    return nullptr;
}

bool addJob(LoaderJob *jobs, int *count, int most, const LoaderKind *kind, int line, int variant, const char *dir,
            const char *name) {
    if (*count >= most) return false;
    LoaderJob &job = jobs[*count];
    job = LoaderJob();
    if (!engine_JoinPath(job.path, sizeof job.path, dir, name)) return true; // refused at its line
    job.kind = kind;
    job.line = line;
    job.variant = variant;
    ++*count;
    return true;
}

// Parameter k without the line end the last parameter carries, as the handlers that take a
// name last drop it.
void withoutLineEnd(char (&text)[SCRIPT_TEXT_SIZE], int k) {
    text_CopyBounded(text, script_Param(k));
    const size_t length = strlen(text);
    if (length > 0) text[length - 1] = '\0';
}

} // namespace

int engine_PlanLoads(LoaderJob *jobs, int most) {
    char saved[SCRIPT_MAX_PARAMS][SCRIPT_TEXT_SIZE]; // the evaluator's buffers stay as they were
    memcpy(saved, script.params, sizeof saved);
    char dir[ENGINE_PATH_SIZE];
    text_CopyBounded(dir, engine.resourceDir);
    bool slotLoaded[ENGINE_TEXTURE_SLOTS] = {};
    int count = 0;
    bool room = true;
    for (int i = 0; i < script.lineCount && i < SCRIPT_MAX_LINES && room; ++i) {
        const ScriptLine &line = script.lines[size_t(i)];
        if (line.opcode == OP_END) break; // nothing after it runs
        const ScriptHandler handler = handlerOf(line.opcode);
        if (!handler) continue;
        script_SplitParams(&line);
        char name[SCRIPT_TEXT_SIZE];
        if (handler == SetResourceDir) {
            withoutLineEnd(name, 1);
            if (strlen(name) < sizeof dir) text_CopyBounded(dir, name);
        } else if (handler == glLoadTextureSlot) {
            int slot = -1, mipmaps = 0;
            if (!script_ParamInt(2, &slot) || slot < 0 || slot >= ENGINE_TEXTURE_SLOTS || !script_ParamInt(3, &mipmaps)) continue;
            char path[ENGINE_PATH_SIZE];
            // A slot that holds the file already (a replay) keeps it; nothing to make.
            if (!slotLoaded[slot] && engine_JoinPath(path, sizeof path, dir, script_Param(1)) &&
                texture_WouldReuse(slot, path, mipmaps))
                continue;
            slotLoaded[slot] = true;
            room = addJob(jobs, &count, most, &TEXTURE_LOADER_KIND, i, mipmaps, dir, script_Param(1));
        } else if (handler == glLoadSceneSlot) {
            withoutLineEnd(name, 2);
            room = addJob(jobs, &count, most, &SCENE_LOADER_KIND, i, 0, dir, name);
        } else if (handler == soundStream_Init) {
            room = addJob(jobs, &count, most, &MUSIC_LOADER_KIND, i, 0, dir, script_Param(1));
        }
    }
    memcpy(script.params, saved, sizeof saved);
    return count;
}
