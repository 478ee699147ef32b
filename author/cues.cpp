// Sync-point names as time stamps: resolving "name[+-offset]" against a music file's sync
// points, for the evaluator (the music playing), the checker and the command line (the file).
#include "author/cues.h"

#include <cctype>
#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/trace.h"
#include "script/script.h"
#include "script/text.h"
#include "sound/sound.h"
#include "state/engine_state.h"

namespace {
constexpr int OP_INITSOUND = 3; // opcodes of the engine's command table
constexpr int OP_SETRESOURCEDIR = 24;
constexpr int OP_SETBPM = 25;
constexpr size_t MAX_MUSIC_BYTES = size_t(1) << 30;

// The music file whose sync points the checker and the options read last, kept by path, size
// and modification time so a script naming many cues reads it once.
struct FileCues {
    char path[ENGINE_PATH_SIZE] = "";
    EngineFileStamp stamp;
    bool readable = false;
    SoundCueList list;
};
FileCues fileCues;

bool findName(const SoundCueList &list, const char *name, double *seconds) {
    for (int i = 0; i < list.count; ++i) {
        if (strcmp(list.cues[i].name, name) == 0) {
            *seconds = list.cues[i].seconds;
            return true;
        }
    }
    return false;
}

// Fills fileCues for path unless it holds that file as it is now; false when it cannot be read.
bool readFileCues(const char *path) {
    const EngineFileStamp now = engine_FileStamp(path);
    if (now.size < 0) return false;
    if (strcmp(fileCues.path, path) == 0 && fileCues.stamp == now) return fileCues.readable;
    text_CopyBounded(fileCues.path, path);
    fileCues.stamp = now;
    std::vector<uint8_t> bytes;
    fileCues.readable = engine_ReadFile(path, MAX_MUSIC_BYTES, &bytes) &&
                        sound_ReadCues(bytes.data(), bytes.size(), fileCues.list);
    if (!fileCues.readable) fileCues.list.count = 0;
    return fileCues.readable;
}

void scriptMusicPath(char (&path)[ENGINE_PATH_SIZE]);

// The tempo of the loaded script's first "@setbpm" (seconds a beat, and the offset); false when
// it has none.
bool scriptTempo(double *beatSeconds, double *offset) {
    const int count = script.lineCount < SCRIPT_MAX_LINES ? script.lineCount : SCRIPT_MAX_LINES;
    for (int i = 0; i < count; ++i) {
        if (script.lines[i].opcode != OP_SETBPM) continue;
        memset(script.params, 0, sizeof script.params);
        script_SplitParams(&script.lines[i]);
        double bpm = atof(script_Param(1));
        *offset = atof(script_Param(2));
        memset(script.params, 0, sizeof script.params);
        if (bpm == 0.0) { // the module's own
            char path[ENGINE_PATH_SIZE];
            scriptMusicPath(path);
            cue_MusicTempo(path, &bpm);
        }
        if (!(bpm > 0.0 && bpm <= 1000.0)) return false;
        *beatSeconds = 60.0 / bpm;
        return true;
    }
    return false;
}

// The music path the loaded script's first "@initsound" opens, with the resource directory in
// force at its line; "" when it has none.
void scriptMusicPath(char (&path)[ENGINE_PATH_SIZE]) {
    char dir[ENGINE_PATH_SIZE] = "";
    path[0] = '\0';
    const int count = script.lineCount < SCRIPT_MAX_LINES ? script.lineCount : SCRIPT_MAX_LINES;
    for (int i = 0; i < count && !path[0]; ++i) {
        const ScriptLine &line = script.lines[i];
        if (line.opcode != OP_SETRESOURCEDIR && line.opcode != OP_INITSOUND) continue;
        memset(script.params, 0, sizeof script.params);
        script_SplitParams(&line);
        if (line.opcode == OP_SETRESOURCEDIR) {
            text_CopyBounded(dir, script_Param(1));
            if (dir[0]) dir[strlen(dir) - 1] = '\0'; // the handler drops the line end
        } else {
            engine_JoinPath(path, sizeof path, dir, script_Param(1));
        }
    }
    memset(script.params, 0, sizeof script.params);
}
} // namespace

namespace {
// A signed offset written as an ordinary number: digits, a point, an exponent; no "inf", "nan"
// or hex, which strtod would take.
bool readOffset(const char *text, double *value) {
    const char *p = text + 1;
    bool digits = false;
    for (; isdigit(static_cast<unsigned char>(*p)) || *p == '.'; ++p) digits = digits || *p != '.';
    if (digits && (*p == 'e' || *p == 'E')) {
        ++p;
        if (*p == '+' || *p == '-') ++p;
        if (!isdigit(static_cast<unsigned char>(*p))) return false;
        while (isdigit(static_cast<unsigned char>(*p))) ++p;
    }
    if (!digits || *p != '\0') return false;
    *value = strtod(text, nullptr);
    return std::isfinite(*value);
}
} // namespace

bool cue_Resolve(const char *text, const SoundCueList &list, double *seconds) {
    char name[SCRIPT_TEXT_SIZE];
    size_t length = 0;
    const char *p = text;
    while (isspace(static_cast<unsigned char>(*p))) ++p;
    if (*p == '"') {
        // A quoted name is taken as written, blanks included; an offset may follow the quote.
        const char *close = strchr(p + 1, '"');
        if (!close) return false;
        const size_t quoted = std::min(size_t(close - p - 1), sizeof name - 1);
        memcpy(name, p + 1, quoted);
        name[quoted] = '\0';
        if (!findName(list, name, seconds)) return false;
        char offsetText[SCRIPT_TEXT_SIZE];
        size_t n = 0;
        for (const char *q = close + 1; *q && n + 1 < sizeof offsetText; ++q)
            if (!isspace(static_cast<unsigned char>(*q))) offsetText[n++] = *q;
        offsetText[n] = '\0';
        double offset = 0.0;
        if (n > 0 && ((offsetText[0] != '+' && offsetText[0] != '-') || !readOffset(offsetText, &offset))) return false;
        *seconds += offset;
        return true;
    }
    for (; *p && length + 1 < sizeof name; ++p)
        if (!isspace(static_cast<unsigned char>(*p))) name[length++] = *p;
    name[length] = '\0';
    if (findName(list, name, seconds)) return true;
    // A name, then a signed offset: each sign from the right is tried, so neither an exponent's
    // sign ("drop+1e-3") nor a sign inside a label ("build-up+2") is taken for the offset's.
    for (size_t at = length; at-- > 1;) {
        if (name[at] != '+' && name[at] != '-') continue;
        double offset = 0.0;
        if (!readOffset(name + at, &offset)) continue;
        const char sign = name[at];
        name[at] = '\0';
        const bool found = findName(list, name, seconds);
        name[at] = sign;
        if (!found) continue;
        *seconds += offset;
        return true;
    }
    return false;
}

void cue_KnownNames(const SoundCueList &list, char *out, size_t size) {
    if (size == 0) return;
    text_CopyBounded(out, list.count ? "" : "none", size);
    for (int i = 0; i < list.count; ++i) {
        if (i > 0) text_AppendBounded(out, ", ", 2, size);
        text_AppendBounded(out, list.cues[i].name, sizeof list.cues[i].name, size);
    }
}

double cue_StampReader(const char *text) {
    double seconds = 0.0;
    if (cue_Resolve(text, sound_MusicCues(), &seconds)) return seconds;
    char stamp[SCRIPT_TEXT_SIZE], known[512], detail[SCRIPT_TEXT_SIZE + 640];
    text_CopyBounded(stamp, text);
    stamp[strcspn(stamp, "\n")] = '\0';
    cue_KnownNames(sound_MusicCues(), known, sizeof known);
    const int line = script.currentLine;
    // One error line, in the trace log and on stderr, with what the music does have.
    snprintf(detail, sizeof detail, "script line %d: time stamp '%s' names no sync point of the music, read as 0 (sync points: %s)",
             line >= 0 && line < SCRIPT_MAX_LINES ? script.fileLine[line] : 0, stamp, known);
    trace_Error("script_Eval", detail);
    return 0.0; // text that begins with a letter is no number ("inferno" is not infinity)
}

bool cue_CheckStamp(const char *text, const char *musicPath, double *seconds, char *message, size_t size) {
    if (!musicPath[0]) {
        snprintf(message, size, "time stamp '%s' names a sync point, but no \"@initsound\" opens music before it", text);
        return false;
    }
    if (!readFileCues(musicPath)) {
        snprintf(message, size, "time stamp '%s': the sync points of '%s' cannot be read", text, musicPath);
        return false;
    }
    if (cue_Resolve(text, fileCues.list, seconds)) return true;
    char known[512];
    cue_KnownNames(fileCues.list, known, sizeof known);
    snprintf(message, size, "time stamp '%s' names no sync point of '%s' (it has: %s)", text, musicPath, known);
    return false;
}

bool cue_MusicTempo(const char *musicPath, double *bpm) {
    *bpm = musicPath[0] && readFileCues(musicPath) ? fileCues.list.bpm : 0.0;
    return *bpm > 0.0;
}

bool cue_ResolveOption(const char *text, const char *option, double limit, double *seconds, FILE *err) {
    char path[ENGINE_PATH_SIZE], message[1024];
    double value = 0.0;
    const bool number = (text[0] == '+' || text[0] == '-') ? readOffset(text, &value)
                                                            : readOffset((std::string("+") + text).c_str(), &value);
    double beats = 0.0, beatSeconds = 0.0, offset = 0.0;
    if (!number && script_ReadBeats(text, &beats)) {
        if (!scriptTempo(&beatSeconds, &offset)) {
            fprintf(err, "vortan: %s %s: the script sets no tempo with \"@setbpm\" to count beats by\n", option, text);
            return false;
        }
        value = offset + beats * beatSeconds;
    } else if (!number) {
        scriptMusicPath(path);
        if (!cue_CheckStamp(text, path, &value, message, sizeof message)) {
            fprintf(err, "vortan: %s: %s\n", option, message);
            return false;
        }
    }
    // Played unseen up to there: an hour at most, never before the show's start.
    if (!(value >= 0.0 && value <= limit)) {
        fprintf(err, "vortan: %s %s: %.6g s is outside 0..%g s\n", option, text, value, limit);
        return false;
    }
    *seconds = value;
    return true;
}
