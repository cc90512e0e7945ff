// Script replay (operation 1120) and the resolution of file names read from
// script lines.
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "core/dialog.h"
#include "core/dispatch.h"
#include "core/engine.h"
#include "core/host.h"
#include "core/operation.h"
#include "core/pipeline.h"
#include "graph/seams.h"
#include "platform/fs.h"
#include "script/recorder.h"
#include "script/script_text.h"
#include "signal/access.h"
#include "signal/numfmt.h"

namespace qf {

void registerRecorderOperations();

namespace {

// Nested scripts beyond this depth are refused, and the whole replay
// stops: a script that includes itself would otherwise recurse until the
// stack runs out, or, including itself twice, run 2^depth times.
constexpr int kMaxNesting = 16;

ReplayState& replay() {
    return engine().replay;
}

// Lines of codes the executor acts on itself, and codes that are skipped
// unless a graph is open or a DSP board is present.  Registered operations
// say this in their descriptions (QF_OPERATION_NEEDS_GRAPH, _NEEDS_BOARD).
enum class LineAction : uint8_t { Tile, Nothing, Operation };
struct LineCommand {
    int32_t code;
    uint32_t needs;  // kNeedsGraph, kNeedsBoard
    LineAction action;
};
constexpr LineCommand kLineCommands[] = {
    {1050, 0, LineAction::Nothing},  // a host main window the engine has no handle of
    {1060, kNeedsGraph, LineAction::Tile},
    {1070, kNeedsGraph, LineAction::Nothing},
    {1080, kNeedsGraph, LineAction::Operation},
    // Realtime displays and board transfers run only with a board present.
    {4070, kNeedsBoard, LineAction::Operation},
    {5045, kNeedsBoard, LineAction::Operation},
    {5050, kNeedsBoard, LineAction::Operation},
    {5060, kNeedsBoard, LineAction::Operation},
    {6130, kNeedsBoard, LineAction::Operation},
};

const LineCommand* lineCommand(int32_t code) {
    for (const LineCommand& c : kLineCommands)
        if (c.code == code) return &c;
    return nullptr;
}

// What a line of this code needs that is not there: it is skipped.
bool gated(int32_t code) {
    uint32_t needs = 0;
    if (const LineCommand* c = lineCommand(code)) needs = c->needs;
    if (const OperationDescription* d = describe(code)) needs |= d->flags;
    if ((needs & kNeedsGraph) && !anyGraphOpen()) return true;
    if ((needs & kNeedsBoard) && board().boardPresent == 0) return true;
    return false;
}

void setScriptDir() {
    char dir[QF_PATH_LEN] = {};
    stdGetCurrentDir(dir, sizeof dir);
    std::size_t n = std::strlen(dir);
    if (n == 0 || dir[n - 1] != '/') {
        if (n + 1 < sizeof dir) {
            dir[n] = '/';
            dir[n + 1] = '\0';
        }
    }
    std::memcpy(replay().scriptDir, dir, sizeof dir);
}

// Blanks after the last character of an over-long line are dropped, up to
// this many bytes in all; anything else past kScriptLineMax means the line
// has no end within the limit (a binary file, /dev/zero).
constexpr int kBlankTailLimit = 1 << 20;

enum class LineRead : uint8_t { Line, End, NoEnd };

// Reads one line without its end: LF, CR LF or a CR alone.  A line of more
// than kScriptLineMax characters is kept only when the rest is blanks.
LineRead readScriptLineText(std::FILE* f, std::string& line) {
    line.clear();
    int c;
    int length = 0;
    bool any = false;
    while ((c = platform::readChar(f)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (c == '\r') {
            const int next = platform::readChar(f);
            if (next != '\n') platform::unreadChar(f, next);
            break;
        }
        if (length < kScriptLineMax) {
            line.push_back(static_cast<char>(c));
        } else if ((c != ' ' && c != '\t') || length >= kBlankTailLimit) {
            return LineRead::NoEnd;
        }
        ++length;
    }
    return any ? LineRead::Line : LineRead::End;
}

// A UTF-8 byte-order mark before the first line is not part of it.
void skipByteOrderMark(std::FILE* f) {
    unsigned char mark[3] = {};
    if (platform::readFile(f, mark, 3) == 3 && mark[0] == 0xEF && mark[1] == 0xBB &&
        mark[2] == 0xBF)
        return;
    platform::rewindFile(f);
}

bool isBlankLine(const std::string& line) {
    return line.find_first_not_of(" \t") == std::string::npos;
}

// Whether the first line with text can begin a script: a remark, a
// message, a pause, a nested script or an operation line, in text.
bool beginsScript(const std::string& line) {
    for (char c : line) {
        const unsigned char u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7F) return false;
    }
    const std::size_t at = line.find_first_not_of(" \t");
    const char first = line[at];
    if (std::strchr("*?@>", first)) return true;
    const std::size_t digit = (first == '-' || first == '+') ? at + 1 : at;
    return digit < line.size() && line[digit] >= '0' && line[digit] <= '9';
}

bool fileOpens(const std::string& path) {
    std::FILE* f = platform::openFile(path.c_str(), "rb");
    platform::closeFile(f);
    return f != nullptr;
}

void reportLine(const char* what, int lineNo, const std::string& line) {
    std::string cut = line.substr(0, 180);
    emitMsg(QF_MSG_ERROR, "%s in script line %d.\n'%s'", what, lineNo, cut.c_str());
}

// The text a prompt shows: '_' stands for a blank.
std::string promptText(const char* written, std::size_t length) {
    std::string prompt(written, length);
    for (char& c : prompt)
        if (c == '_') c = ' ';
    return prompt;
}

// Replaces each "?$prompt" token, with the blank that ends it, by the first
// word of the answer and one blank.  A host that asks the user leaves the
// answer in the message buffer; otherwise the buffer's current text is the
// answer.  Returns false when the user cancels.
bool replacePromptTokens(std::string& line) {
    EngineRuntime& rt = runtime();
    std::size_t pos = 0;
    while ((pos = line.find("?$", pos)) != std::string::npos) {
        std::size_t end = line.find(' ', pos + 2);
        std::size_t promptEnd = end == std::string::npos ? line.size() : end;
        std::string prompt = promptText(line.c_str() + pos + 2, promptEnd - pos - 2);
        if (host().qfAskScriptText) {
            const int32_t asked = hostcall::qfAskScriptText(
                prompt.c_str(), rt.message, static_cast<int32_t>(sizeof rt.message));
            rt.message[sizeof rt.message - 1] = '\0';
            if (asked > 0) return false;
        }
        const char* msg = rt.message;
        while (*msg == ' ' || *msg == '\t') ++msg;
        std::size_t w = 0;
        while (msg[w] && msg[w] != ' ' && msg[w] != '\t' && msg[w] != '\r' && msg[w] != '\n') ++w;
        std::string answer = std::string(msg, w) + " ";
        std::size_t tokenEnd = end == std::string::npos ? line.size() : end + 1;
        line.replace(pos, tokenEnd - pos, answer);
        pos += answer.size();
        if (static_cast<int>(line.size()) > kScriptLineMax) line.resize(kScriptLineMax);
    }
    return true;
}

// How a replay of one file ended.
enum class Replayed : uint8_t {
    Ran,       // every line ran
    Stopped,   // a line failed or the user stopped it (already reported)
    Unusable,  // the file could not be opened, or is not a script
};

Replayed runScriptFile(const std::string& path) {
    setScriptDir();
    const platform::OwnedFile owned(platform::openFile(path.c_str(), "rb"));
    std::FILE* f = owned.get();
    if (f == nullptr) return Replayed::Unusable;
    if (replay().depth >= kMaxNesting) {
        emitMsg(QF_MSG_ERROR, "Scripts nested more than %d deep; '%s' is not run.", kMaxNesting,
                path.c_str());
        replay().runaway = true;
        return Replayed::Stopped;
    }
    skipByteOrderMark(f);
    // The replay's marks are taken back however this file's replay ends (a
    // lack of memory passing as an exception too).
    struct Depth {
        Depth() {
            ++replay().depth;
            status().scriptRunning = 'y';
        }
        ~Depth() {
            if (--replay().depth <= 0) {
                replay().depth = 0;
                replay().runaway = false;
                status().scriptRunning = 'n';
            }
        }
        Depth(const Depth&) = delete;
        Depth& operator=(const Depth&) = delete;
    } depth;
    CommandBlock& b = block();
    Replayed result = Replayed::Ran;
    int lineNo = 0;
    bool begun = false;  // a line with text was seen
    std::string line;
    for (;;) {
        const LineRead read = readScriptLineText(f, line);
        if (read == LineRead::End) {
            // A folder opens but does not read.
            if (platform::fileFailed(f)) {
                emitMsg(QF_MSG_ERROR, "'%s' cannot be read as a script.", path.c_str());
                result = Replayed::Unusable;
            }
            break;
        }
        ++lineNo;
        if (read == LineRead::NoEnd) {
            emitMsg(QF_MSG_ERROR, "Script line %d is longer than %d characters.\n'%s'", lineNo,
                    kScriptLineMax, line.substr(0, 180).c_str());
            result = begun ? Replayed::Stopped : Replayed::Unusable;
            break;
        }
        if (!begun && !isBlankLine(line)) {
            begun = true;
            if (!beginsScript(line)) {
                emitMsg(QF_MSG_ERROR,
                        "'%s' is not a script: line %d is not a remark, message, pause, nested "
                        "script or operation line.",
                        path.c_str(), lineNo);
                result = Replayed::Unusable;
                break;
            }
        }
        if (userStopped()) {
            result = Replayed::Stopped;
            break;
        }
        const char first = line.empty() ? '\0' : line[0];
        if (first == '?') {
            // The text also fills the message buffer, where a later "?$"
            // token finds it; the host is sent the whole line.
            fmt(runtime().message, sizeof runtime().message, "%s", line.c_str() + 1);
            emitText(QF_MSG_SCRIPT, line.c_str() + 1);
            continue;
        }
        if (first == '>') {
            ScriptFields fields(line.c_str() + 1);
            char dir[QF_NAME_LEN] = {};
            char name[QF_NAME_LEN] = {};
            if (fields.word(dir, sizeof dir) && fields.word(name, sizeof name)) {
                std::memcpy(b.out.n, name, sizeof b.out.n);
                std::memcpy(b.out.p, replay().scriptDir, sizeof b.out.p);
                char savedDir[QF_PATH_LEN];
                std::memcpy(savedDir, replay().scriptDir, sizeof savedDir);
                const std::string nested = std::string(b.out.p) + b.out.n;
                const Replayed inner = runScriptFile(nested);
                std::memcpy(replay().scriptDir, savedDir, sizeof savedDir);
                // A nested script that failed lets the replay go on; one that
                // is not there (or is no script) stops it.
                if (inner == Replayed::Unusable) {
                    if (!fileOpens(nested))
                        emitMsg(QF_MSG_ERROR, "Cannot open script '%s' in script line %d.\n'%s'",
                                nested.c_str(), lineNo, line.substr(0, 180).c_str());
                    result = Replayed::Stopped;
                    break;
                }
                if (replay().runaway || engine().hostFacing.cancelled) {
                    result = Replayed::Stopped;
                    break;
                }
            }
            continue;
        }
        if (first == '@') {
            char* end = nullptr;
            long seconds = std::strtol(line.c_str() + 1, &end, 10);
            if (end == line.c_str() + 1) seconds = 1;
            if (seconds > INT32_MAX) seconds = INT32_MAX;
            if (seconds < INT32_MIN) seconds = INT32_MIN;
            char text[64];
            fmt(text, sizeof text, "Sleep for %ld seconds.", seconds);
            hostcall::SleepForNSeconds(static_cast<int32_t>(seconds), text);
            continue;
        }
        char* end = nullptr;
        long parsed = std::strtol(line.c_str(), &end, 10);
        if (end == line.c_str()) continue;
        const int32_t code = parsed < INT32_MIN   ? INT32_MIN
                             : parsed > INT32_MAX ? INT32_MAX
                                                  : static_cast<int32_t>(parsed);
        if (gated(code)) continue;
        if (const LineCommand* c = lineCommand(code)) {
            if (c->action == LineAction::Tile) tileGraphWindows();
            if (c->action != LineAction::Operation) continue;
        }
        if (!replacePromptTokens(line)) {
            result = Replayed::Stopped;
            break;
        }
        b.in1.n[0] = b.in2.n[0] = b.out.n[0] = '\0';
        OperationRecord* rec = parsed == code ? findOperation(code) : nullptr;
        if (rec == nullptr) {
            emitMsg(QF_MSG_ERROR, "Command not supported in script line %d.\n'%s'", lineNo,
                    line.substr(0, 180).c_str());
            result = Replayed::Stopped;
            break;
        }
        b.opCode = code;
        // A line that finds no memory fails like any other failed line.
        const Dispatched done = guardedEntry(Dispatched{Outcome::Failed, 1}, [&] {
            return dispatchOperation(b, *rec, kFromScriptLine, line.c_str());
        });
        const char* what = nullptr;
        switch (done.outcome) {
            case Outcome::Malformed:
                what = "Error";
                break;
            case Outcome::BadParams:
                what = "Parameter error";
                break;
            case Outcome::Failed:
                // An operation the user stopped ends the replay quietly.
                if (!engine().hostFacing.cancelled) what = "Error executing command";
                result = Replayed::Stopped;
                break;
            case Outcome::Stopped:
                result = Replayed::Stopped;
                break;
            default:
                break;
        }
        if (what != nullptr) {
            reportLine(what, lineNo, line);
            result = Replayed::Stopped;
        }
        if (result != Replayed::Ran) break;
    }
    return result;
}

int32_t runScript(int32_t, OperationRecord*) {
    CommandBlock& b = block();
    return runScriptFile(std::string(b.out.p) + b.out.n) == Replayed::Ran ? 0 : 1;
}

int32_t scriptGetParams(int32_t mode, CheckParamsFn check) {
    return askParams(mode, check) != 0 ? 1 : 0;
}

bool hasExtension(const char* name) {
    const char* dot = std::strrchr(name, '.');
    return dot != nullptr && dot[1] != '\0';
}

void setPlaceholder(nameNpath& e, const char* placeholder) {
    std::memset(&e, 0, sizeof e);
    std::strncpy(e.n, placeholder, sizeof e.n - 1);
    std::memcpy(e.p, replay().scriptDir, sizeof e.p);
}

bool createsNewSignal(int32_t code) {
    const OperationDescription* d = describe(code);
    return d != nullptr && (d->flags & kCreatesSignal) != 0;
}

// An output that would overwrite an input gets the neighbouring name
// (x0.tim <-> x1.tim).
void avoidOverwrite(nameNpath& out, const nameNpath& in) {
    if (in.n[0] == '\0') return;
    if (std::strcmp(out.n, in.n) != 0 || std::strcmp(out.p, in.p) != 0) return;
    char* dot = std::strrchr(out.n, '.');
    if (dot == nullptr) {
        setPlaceholder(out, "noname3.tim");
        return;
    }
    if (dot == out.n) return;
    char& c = dot[-1];
    c = (c == '0') ? '1' : '0';
}

// Fills an entry the script asks for.  A host that asks the user gets the
// written name in the script directory to start from; without one, a
// written name with an extension stands.  An entry left without a name
// becomes the placeholder.
void pickScriptFile(nameNpath& e, const std::string& prompt, const char* placeholder) {
    nameNpath asked = {};
    std::memcpy(asked.n, e.n, sizeof asked.n);
    asked.n[sizeof asked.n - 1] = '\0';
    std::memcpy(asked.p, replay().scriptDir, sizeof asked.p);
    int32_t r = -1;
    if (host().qfPickScriptFile) r = hostcall::qfPickScriptFile(prompt.c_str(), &asked);
    asked.n[sizeof asked.n - 1] = '\0';
    asked.p[sizeof asked.p - 1] = '\0';
    // A host that asks has the last word: its name stands even where the
    // written one had no extension.
    if (r < 0) {
        if (!hasExtension(asked.n)) {
            setPlaceholder(e, placeholder);
            return;
        }
        std::memcpy(e.p, replay().scriptDir, sizeof e.p);
        return;
    }
    if (r > 0 || asked.n[0] == '\0') {
        setPlaceholder(e, placeholder);
        return;
    }
    std::size_t n = std::strlen(asked.p);
    if (n == 0) {
        std::memcpy(asked.p, replay().scriptDir, sizeof asked.p);
    } else if (asked.p[n - 1] != '/' && n + 1 < sizeof asked.p) {
        asked.p[n] = '/';
        asked.p[n + 1] = '\0';
    }
    e = asked;
}

}  // namespace

bool resolveScriptNames() {
    CommandBlock& b = block();
    nameNpath* entries[3] = {&b.in1, &b.in2, &b.out};
    const char* placeholders[3] = {"noname1.tim", "noname2.tim", "noname3.tim"};
    // The extra outputs of a three-output operation are script-relative too.
    for (nameNpath* e : {&b.in1, &b.in2, &b.out, &b.out2, &b.out3}) {
        if (e->p[0] == '.') {
            char dir[QF_PATH_LEN];
            std::memcpy(dir, replay().scriptDir, sizeof dir);
            std::memcpy(e->p, dir, sizeof e->p);
        }
    }
    for (int k = 0; k < 3; ++k) {
        nameNpath& e = *entries[k];
        if (e.p[0] != '?') continue;
        // The written directory is cut to 255 characters.
        std::string prompt = promptText(e.p + 1, ::strnlen(e.p + 1, QF_NAME_LEN - 2));
        emitMsg(QF_MSG_NOTICE,
                "Script execution requires user response to supply file name.  Please supply "
                "file name in the following standard file open dialog for %s.",
                prompt.c_str());
        if (k == 2 && createsNewSignal(b.opCode)) {
            setPlaceholder(e, placeholders[k]);
            continue;
        }
        pickScriptFile(e, prompt, placeholders[k]);
        if (userStopped()) return false;
    }
    if (b.out.n[0] == '\0') return true;
    avoidOverwrite(b.out, b.in1);
    avoidOverwrite(b.out, b.in2);
    return true;
}

void registerScriptOperations() {
    registerRecorderOperations();
    OperationDescription d;
    d.code = QF_OP_RUN_SCRIPT;
    d.command = nullptr;  // hosts run scripts their own way
    d.files = {inputFile(QF_ENTRY_OUT, QF_FILE_SCRIPT, ".scr", "Script", 0, false)};
    d.dialog = {.kind = DialogKind::Files, .title = "Execute Script", .mode = 114};
    d.handlers.getParams = scriptGetParams;  // any cancel is 1
    d.handlers.execute = runScript;
    registerDescribed(std::move(d));
}

}  // namespace qf
