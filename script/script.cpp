// The script engine: command, line and macro tables, the loader with its verbose listing, the
// evaluator and the Parameter buffers.
#include "script/script.h"

#include "base/console.h"
#include "script/text.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <thread>

ScriptState script{};

namespace {

const ScriptState SCRIPT_INITIAL{};
const char *const DEFAULT_DELIMITER = "|";
constexpr int VERBOSE_PAUSE_MS = 100; // lets a reader follow the listing line by line

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isWhite(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads a decimal number (sign, digits, fraction, exponent) up to the first character that
// cannot continue it; text that does not begin with one reads as 0. Unlike strtod it takes
// no hex, "inf" or "nan", so a time stamp is always an ordinary number.
double readNumber(const char *text) {
    const char *p = text;
    while (isWhite(*p)) p++;
    const char *start = p;
    if (*p == '+' || *p == '-') p++;
    const char *digits = p;
    while (isDigit(*p)) p++;
    bool anyDigit = p > digits;
    if (*p == '.') {
        const char *fraction = ++p;
        while (isDigit(*p)) p++;
        anyDigit = anyDigit || p > fraction;
    }
    if (!anyDigit) return 0.0;
    if (*p == 'e' || *p == 'E') {
        const char *e = p + 1;
        if (*e == '+' || *e == '-') e++;
        if (isDigit(*e)) {
            while (isDigit(*e)) e++;
            p = e;
        }
    }
    char number[SCRIPT_TEXT_SIZE];
    size_t length = static_cast<size_t>(p - start);
    if (length >= sizeof number) length = sizeof number - 1; // parameters never get this long
    memcpy(number, start, length);
    number[length] = '\0';
    return strtod(number, nullptr);
}

void lowercase(char *text) {
    for (; *text; text++) *text = static_cast<char>(tolower(static_cast<unsigned char>(*text)));
}

// Every slot before the end marker whose name equals the token writes its opcode; the last
// match wins.
void resolveOpcode(ScriptLine *record) {
    for (const ScriptCommand &slot : script.commands) {
        if (slot.opcode == -1) break;
        if (strcmp(slot.name, record->token) == 0) record->opcode = slot.opcode;
    }
}

void printCompiled(const ScriptLine *record) {
    if (script.verbose)
        console_Printf("Command token : %s ( op : %d )\tParams : %s\n", record->token, record->opcode,
                       record->params);
}

// The evaluator stops at the last line the load numbered: beyond it the records were never
// compiled, and beyond the Line table there are none.
int lastEvaluableLine() {
    int count = script.lineCount < SCRIPT_MAX_LINES ? script.lineCount : SCRIPT_MAX_LINES;
    return count - 1;
}

// Reading position of the loader: the physical file line on which the next raw line starts.
struct LineReader {
    int nextFileLine = 1;
};

// Reads one raw line of at most SCRIPT_RAW_LINE characters, line feed included. A carriage
// return before a line feed is dropped, so files with either line end read the same. Returns
// the number of characters read (0 at end of file).
size_t readRawLine(FILE *file, char (&buffer)[SCRIPT_TEXT_SIZE]) {
    size_t count = 0;
    while (count < static_cast<size_t>(SCRIPT_RAW_LINE)) {
        int c = getc(file);
        if (c == EOF) break;
        if (c == '\r') {
            int next = getc(file);
            if (next == '\n') c = '\n';
            else if (next != EOF) ungetc(next, file);
        }
        buffer[count++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    buffer[count] = '\0';
    return count;
}

// Reads raw lines until one is neither empty nor starts with "/"; startLine receives the
// physical line on which it starts.
bool readSignificantLine(FILE *file, char (&buffer)[SCRIPT_TEXT_SIZE], LineReader &reader, int &startLine) {
    for (;;) {
        startLine = reader.nextFileLine;
        size_t count = readRawLine(file, buffer);
        if (count == 0) return false;
        if (buffer[count - 1] == '\n') reader.nextFileLine++;
        if (buffer[0] == '\n' || buffer[0] == '/') continue;
        return true;
    }
}

// Counts the parameters that evaluation would find in a compiled line.
int countParams(const ScriptLine *record) {
    int count = 0;
    const char *p = record->params;
    while (*p) {
        size_t piece = strcspn(p, script.delimiter);
        if (piece > 0) count++;
        p += piece;
        if (*p) p++;
    }
    return count;
}

void normalise(char (&line)[SCRIPT_TEXT_SIZE]) {
    char scratch[SCRIPT_TEXT_SIZE];
    text_Squeeze(line);
    text_ReplaceAll(line, "\t", " ", scratch, sizeof scratch); // the tab left of a run reads as a blank
    text_CopyBounded(line, scratch);
}

// Compiles one normalised script line into record i; returns the status of a command line.
int compileScriptLine(char (&line)[SCRIPT_TEXT_SIZE], int i, int &macro, int fileLine, long elapsed) {
    ScriptLine *record = &script.lines[i];
    bool recognised = strncmp(line, "//", 2) == 0 || line[0] == '@' || line[0] == '(' || line[0] == ')';
    if (recognised && script.verbose) console_Printf("%ld ", elapsed);

    if (strncmp(line, "//", 2) == 0) return script_CompileLine("@comment", line, record);
    if (line[0] == '@') {
        int status = script_CompileCommand(line, record);
        int params = status == SCRIPT_OK ? countParams(record) : 0;
        if (params > SCRIPT_MAX_PARAMS)
            console_Printf("Script line %d (file line %d) has %d parameters: those after the tenth are ignored\n", i,
                           fileLine, params);
        return status;
    }
    if (line[0] == '(') {
        char name[SCRIPT_MACRO_NAME_SIZE];
        text_Slice(line, sizeof line, name, sizeof name, 1, SCRIPT_MACRO_NAME_SIZE - 2);
        lowercase(name);
        script_CompileLine("@macrostart", name, record);
        if (macro < SCRIPT_MAX_MACROS) {
            text_CopyBounded(script.macros[macro].name, name);
            script.macros[macro].firstLine = i;
        } else {
            console_Printf("Script line %d (file line %d): macro not recorded, the script holds at most %d macros\n", i,
                           fileLine, SCRIPT_MAX_MACROS);
        }
        if (script.verbose) console_Printf("Macro token detected: %s\n", name);
        return SCRIPT_OK;
    }
    if (line[0] == ')') {
        script_CompileLine("@macroend", "0\n", record);
        if (macro < SCRIPT_MAX_MACROS) {
            script.macros[macro].lastLine = i;
            macro++;
        }
        if (script.verbose) console_Printf("Macro exit detected\n\n");
    }
    return SCRIPT_OK; // an ignored line keeps its empty record but uses up its number
}

} // namespace

// ---- Tables and flags -------------------------------------------------------------------

void script_Reset() { script = SCRIPT_INITIAL; }

void script_Init() {
    static const char *const KEYWORDS[] = {"@macrostart", "@macroend", "@call", "@comment", "@end"};
    for (int slot = 0; slot < SCRIPT_MAX_COMMANDS; slot++) {
        ScriptCommand &command = script.commands[slot];
        bool keyword = slot >= OP_MACROSTART && slot <= OP_END;
        text_CopyBounded(command.name, keyword ? KEYWORDS[slot - OP_MACROSTART] : "null");
        command.opcode = slot == SCRIPT_MAX_COMMANDS - 1 ? -1 : slot;
        command.handler = nullptr;
    }
}

int script_RegisterCommand(const char *name, ScriptHandler handler, int opcode) {
    // A slot outside the table, or a name that would be cut and so never match, is refused.
    if (opcode < 0 || opcode > SCRIPT_MAX_OPCODE || name == nullptr) return 0;
    size_t length = strlen(name);
    if (length >= static_cast<size_t>(SCRIPT_NAME_SIZE)) return 0;
    ScriptCommand &command = script.commands[opcode];
    text_CopyBounded(command.name, name);
    command.opcode = opcode;
    command.handler = handler;
    return static_cast<int>(length);
}

int script_CompileCommand(char *lineText, ScriptLine *record) {
    if (lineText == nullptr || record == nullptr) return SCRIPT_ERROR_IN_SCRIPT;
    char *token = lineText + strspn(lineText, " ");
    if (*token == '\0') return SCRIPT_ERROR_IN_SCRIPT;
    char *rest = token + strcspn(token, " ");
    if (*rest) *rest++ = '\0'; // the blank after the token ends it
    lowercase(token);
    text_CopyBounded(record->token, token);
    resolveOpcode(record);

    char work[SCRIPT_TEXT_SIZE] = "";
    bool anyPiece = false;
    while (*rest) {
        size_t length = strcspn(rest, script.delimiter);
        char *piece = rest;
        rest += length;
        if (*rest) *rest++ = '\0';
        if (length == 0) continue; // two delimiters in a row
        text_Squeeze(piece);
        text_AppendBounded(work, piece);
        text_AppendBounded(work, script.delimiter);
        anyPiece = true;
    }
    if (anyPiece) text_CopyBounded(record->params, work);
    printCompiled(record);
    return SCRIPT_OK;
}

int script_CompileLine(const char *keyword, const char *paramText, ScriptLine *record) {
    if (record == nullptr) return SCRIPT_UNDEFINED_ERROR;
    text_CopyBounded(record->token, keyword ? keyword : "");
    text_CopyBounded(record->params, paramText ? paramText : "");
    resolveOpcode(record);
    printCompiled(record);
    return SCRIPT_OK;
}

void script_SetVerbose(int flag) { script.verbose = flag; }
void script_SetTimed(int flag) { script.timed = flag; }
// A null delimiter would leave nothing to split at; it restores the default bar.
void script_SetDelimiter(const char *text) { script.delimiter = text ? text : DEFAULT_DELIMITER; }

const char *script_StatusText(int code) {
    static const char *const TEXTS[] = {"No Error",        "Undefined Error",    "File not found", "Error in Script",
                                        "Undefined Macro", "Undefined Function", "Undefined CL"};
    if (code < 0 || code >= static_cast<int>(sizeof TEXTS / sizeof TEXTS[0])) return "(unknown)";
    return TEXTS[code];
}

int script_DumpCommands() {
    console_Printf("****Command List Dump :\n");
    int listed = 0;
    for (const ScriptCommand &slot : script.commands) {
        if (slot.opcode == -1) break;
        if (slot.opcode <= 0) continue;
        char handler[32] = "null";
        if (slot.handler) snprintf(handler, sizeof handler, "%p", reinterpret_cast<void *>(slot.handler));
        console_Printf("Command : %s\t Opcode : %d\t FuncPtr : %s \n", slot.name, slot.opcode, handler);
        listed++;
    }
    console_Printf("\n\n");
    return listed == 0 ? SCRIPT_UNDEFINED_CL : SCRIPT_OK;
}

int script_DumpMacros() {
    console_Printf("****Macro List Dump :\n");
    int listed = 0;
    for (const ScriptMacro &macro : script.macros) {
        if (macro.firstLine == 0) break;
        console_Printf("Macro : %s\t Start : %d End : %d \n", macro.name, macro.firstLine, macro.lastLine);
        listed++;
    }
    console_Printf("\n\n");
    return listed == 0 ? SCRIPT_UNDEFINED_CL : SCRIPT_OK;
}

int script_DumpScript() {
    console_Printf("****Script Dump :\n");
    int line = 0;
    for (; line < SCRIPT_MAX_LINES; line++) {
        const ScriptLine &record = script.lines[line];
        if (strncmp(record.token, "@end", 4) == 0) break;
        console_Printf("%d. %s \t %s\n", line, record.token, record.params);
    }
    // Stopped at the end of the table: there is no record to name.
    const char *token = line < SCRIPT_MAX_LINES ? script.lines[line].token : "";
    console_Printf("%d. End of Script ( %s ) \n\n", line, token);
    return line == 0 ? SCRIPT_UNDEFINED_CL : SCRIPT_OK;
}

// ---- Loading ----------------------------------------------------------------------------

bool script_ReadLine(FILE *file, char (&buffer)[SCRIPT_TEXT_SIZE]) {
    LineReader reader;
    int startLine = 0;
    return file != nullptr && readSignificantLine(file, buffer, reader, startLine);
}

bool script_FileProblem(const char *path, char *reason, size_t reasonSize) {
    return script_FileKindProblem(path, SCRIPT_MAX_FILE_BYTES, reason, reasonSize);
}

bool script_FileKindProblem(const char *path, long long maxBytes, char *reason, size_t reasonSize) {
    // Looked at before it is opened: opening a FIFO waits for a writer, and a device such as
    // /dev/zero never ends.
    struct stat info;
    const char *why = nullptr;
    char tooLarge[96];
    if (stat(path, &info) != 0) {
        why = strerror(errno);
    } else if (S_ISDIR(info.st_mode)) {
        why = strerror(EISDIR);
    } else if (S_ISFIFO(info.st_mode)) {
        why = "a FIFO, not a file";
    } else if (!S_ISREG(info.st_mode)) {
        why = "a device, not a file";
    } else if (maxBytes >= 0 && info.st_size > maxBytes) {
        if (maxBytes == SCRIPT_MAX_FILE_BYTES)
            snprintf(tooLarge, sizeof tooLarge, "larger than 1 MiB (%lld bytes)", static_cast<long long>(info.st_size));
        else
            snprintf(tooLarge, sizeof tooLarge, "larger than %lld bytes (%lld bytes)", maxBytes, static_cast<long long>(info.st_size));
        why = tooLarge;
    } else if (FILE *file = fopen(path, "rb")) {
        fclose(file);
    } else {
        why = strerror(errno);
    }
    if (why && reasonSize > 0) text_CopyBounded(reason, why, reasonSize);
    return why != nullptr;
}

int script_Load(const char *path) {
    time_t start = time(nullptr);
    if (script.verbose) console_Printf("****Parsing script \n\n");
    char reason[128];
    if (path == nullptr || script_FileProblem(path, reason, sizeof reason)) return SCRIPT_FILE_NOT_FOUND;
    FILE *file = fopen(path, "rb");
    if (!file) return SCRIPT_FILE_NOT_FOUND;

    script.lineCount = 0;
    script.overflowLine = -1;
    LineReader reader;
    char line[SCRIPT_TEXT_SIZE];
    int fileLine = 0;
    int i = 0;
    int macro = 0;
    int status = SCRIPT_OK;
    while (readSignificantLine(file, line, reader, fileLine)) {
        if (i >= SCRIPT_MAX_LINES) {
            // The Line table is full: later lines are only counted, so the report names them all.
            if (script.overflowLine < 0) {
                script.overflowLine = i;
                console_Printf("Script line %d (file line %d) does not fit: the script holds at most %d lines\n", i,
                               fileLine, SCRIPT_MAX_LINES);
            }
            status = SCRIPT_ERROR_IN_SCRIPT;
            script.lineCount = ++i;
            continue;
        }
        normalise(line);
        long elapsed = static_cast<long>(difftime(time(nullptr), start));
        script.fileLine[i] = fileLine;
        script.lineCount = i + 1;
        int lineStatus = compileScriptLine(line, i, macro, fileLine, elapsed);
        if (lineStatus != SCRIPT_OK) {
            fclose(file);
            return lineStatus;
        }
        i++;
        if (script.verbose) std::this_thread::sleep_for(std::chrono::milliseconds(VERBOSE_PAUSE_MS));
    }
    if (script.verbose) console_Printf("\n****Number of lines in script : %d \n\n\n", i);
    fclose(file);
    return status;
}

// ---- Evaluation -------------------------------------------------------------------------

int script_SplitParams(const ScriptLine *record) {
    if (record == nullptr) return SCRIPT_ERROR_IN_SCRIPT;
    char work[SCRIPT_TEXT_SIZE];
    text_CopyBounded(work, record->params);
    int k = 0;
    for (char *p = work; *p;) {
        size_t length = strcspn(p, script.delimiter);
        char *piece = p;
        p += length;
        if (*p) *p++ = '\0';
        if (length == 0) continue;
        if (k >= SCRIPT_MAX_PARAMS) break; // the buffers hold ten; the rest is ignored
        text_CopyBounded(script.params[k], piece);
        if (script.verbose) console_Printf("Eval param %d: %s ", k, piece);
        k++;
    }
    return k == 0 ? SCRIPT_ERROR_IN_SCRIPT : SCRIPT_OK;
}

int script_Eval(double time) {
    script.currentLine++;
    memset(script.params, 0, sizeof script.params);
    if (script.currentLine < 0 || script.currentLine > lastEvaluableLine()) {
        // Past the last line of a script without "@end": hold there, the show plays on.
        script.currentLine--;
        return 1;
    }
    const ScriptLine &record = script.lines[script.currentLine];
    int opcode = record.opcode;
    if (opcode == OP_MACROSTART || opcode == OP_MACROEND || opcode == OP_COMMENT) return 0;
    if (opcode == OP_END) {
        script_SplitParams(&record);
        if (time >= script_StampTime(script.params[0]) - SCRIPT_STAMP_TOLERANCE) return -1;
        script.currentLine--;
        return 1;
    }
    if (opcode < 0 || opcode >= SCRIPT_MAX_COMMANDS) return 0; // no slot, so no handler
    ScriptHandler handler = script.commands[opcode].handler;
    if (handler == nullptr) return 0;
    script_SplitParams(&record);
    if (script.timed && time < script_StampTime(script.params[0]) - SCRIPT_STAMP_TOLERANCE) {
        script.currentLine--;
        return 1;
    }
    if (script.runner) script.runner(handler);
    else handler();
    return 0;
}

int script_CurrentLine() { return script.currentLine; }

void script_SetStampReader(ScriptStampReader reader) { script.stampReader = reader; }

bool script_IsNameStamp(const char *text) {
    const char *p = text;
    while (isWhite(*p)) p++;
    const unsigned char c = static_cast<unsigned char>(*p);
    return isalpha(c) || c == '_' || c == '"' || c >= 0x80;
}

void script_SetTempo(double bpm, double offset) {
    script.beatSeconds = bpm > 0.0 ? 60.0 / bpm : 0.0;
    script.beatOffset = offset;
}

bool script_ReadBeats(const char *text, double *beats) {
    const char *p = text;
    while (isWhite(*p)) p++;
    const char *start = p;
    while (isDigit(*p)) p++;
    if (*p == '.') do p++; while (isDigit(*p));
    if (p == start || *start == '.' || *p != 'b') return false;
    const char *end = p + 1;
    while (isWhite(*end) || *end == '\n' || *end == '\r') end++;
    if (*end != '\0') return false;
    *beats = readNumber(start);
    return true;
}

double script_StampTime(const char *text) {
    ScriptRampStamp ramp; // a ramp's line runs at its start
    if (script_SplitRamp(text, &ramp)) text = ramp.start;
    const char *p = text;
    while (isWhite(*p)) p++;
    double beats = 0.0;
    if (script.beatSeconds > 0.0 && script_ReadBeats(p, &beats)) return script.beatOffset + beats * script.beatSeconds;
    return script_IsNameStamp(p) && script.stampReader ? script.stampReader(p) : readNumber(text);
}

const char *script_Param(int k) {
    if (k < 0 || k >= SCRIPT_MAX_PARAMS) return "";
    return script.params[k];
}

bool script_ParamInt(int k, int *value) {
    errno = 0;
    const long long number = strtoll(script_Param(k), nullptr, 10);
    const bool fits = errno != ERANGE && number >= INT_MIN && number <= INT_MAX;
    *value = fits ? static_cast<int>(number) : 0;
    return fits;
}

void script_SetRunner(ScriptRunner runner) { script.runner = runner; }

namespace {
const char *const CURVE_NAMES[SCRIPT_CURVES] = {"linear", "smooth", "in", "out", "step"};

// Copies the blank-trimmed characters first..last (last excluded) into a bounded buffer.
template <size_t N> void copyTrimmed(char (&out)[N], const char *first, const char *last) {
    while (first < last && (isWhite(*first))) first++;
    while (last > first && isWhite(last[-1])) last--;
    out[0] = '\0';
    text_AppendBounded(out, first, static_cast<size_t>(last - first));
}

// The first occurrence of `what` in text outside double quotes, or null.
const char *findUnquoted(const char *text, const char *what) {
    bool quoted = false;
    for (const char *p = text; *p; ++p) {
        if (*p == '"') quoted = !quoted;
        else if (!quoted && strncmp(p, what, strlen(what)) == 0) return p;
    }
    return nullptr;
}
} // namespace

bool script_SplitRamp(const char *text, ScriptRampStamp *ramp) {
    const char *dots = findUnquoted(text, "..");
    if (dots == nullptr) return false;
    const char *end = dots + 2;
    const char *colon = findUnquoted(end, ":");
    const char *stop = colon ? colon : end + strlen(end);
    copyTrimmed(ramp->start, text, dots);
    copyTrimmed(ramp->end, end, stop);
    copyTrimmed(ramp->curveName, colon ? colon + 1 : stop, stop + strlen(stop));
    char name[SCRIPT_NAME_SIZE];
    text_CopyBounded(name, ramp->curveName);
    lowercase(name);
    ramp->curve = name[0] ? SCRIPT_CURVE_UNKNOWN : SCRIPT_CURVE_LINEAR;
    for (int k = 0; k < SCRIPT_CURVES; ++k)
        if (strcmp(name, CURVE_NAMES[k]) == 0) ramp->curve = k;
    return true;
}

double script_Curve(int curve, double u) {
    u = u < 0.0 ? 0.0 : u > 1.0 ? 1.0 : u;
    switch (curve) {
    case SCRIPT_CURVE_SMOOTH: return u * u * (3.0 - 2.0 * u);
    case SCRIPT_CURVE_IN: return u * u;
    case SCRIPT_CURVE_OUT: return 1.0 - (1.0 - u) * (1.0 - u);
    case SCRIPT_CURVE_STEP: return u >= 1.0 ? 1.0 : 0.0;
    default: return u;
    }
}

const char *script_CurveName(int curve) { return curve >= 0 && curve < SCRIPT_CURVES ? CURVE_NAMES[curve] : "?"; }
