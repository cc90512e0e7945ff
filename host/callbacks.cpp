#include "host/callbacks.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "host/qf.h"
#include "quillfen/operations.h"

extern "C" int32_t stdEmitMsg(int32_t kind, const char* text);

namespace qfhost {

namespace {
std::atomic<bool> g_interrupted{false};
}

void interruptRequested() {
    g_interrupted = true;
}
bool interrupted() {
    return g_interrupted;
}
void clearInterrupt() {
    g_interrupted = false;
}

std::string printable(const char* text) {
    std::string s = text ? text : "";
    for (char& c : s) {
        const unsigned char u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\n' && c != '\t') || u == 0x7F) c = '?';
    }
    return s;
}

int32_t answerDialog() {
    Session& s = currentSession();
    ++s.dialogCalls;
    if (s.dialogCalls > 1) return 1;
    if (s.pendingFill) s.pendingFill(s.block());
    return 0;
}

// A terminal cannot change its answer: a refusal ends the operation with
// the check's code.
int32_t answerCheckedDialog(QfCheckParamsFn check) {
    const int32_t r = answerDialog();
    if (r != 0 || check == nullptr) return r;
    const int32_t c = check(0);
    if (c != 0) {
        char text[1024];
        int32_t kind = qfCheckMessage(currentSession().block().opCode, c, text, sizeof text);
        if (kind < 0) {
            std::snprintf(text, sizeof text, "The parameters were refused (code %d).", c);
            kind = QF_MSG_ERROR;
        }
        stdEmitMsg(kind, text);
    }
    return c;
}

int32_t answerListDialog(void* fileTable) {
    const int32_t r = answerDialog();
    if (r != 0 || fileTable == nullptr) return r;
    const std::vector<nameNpath>& list = currentSession().pendingList;
    nameNpath* table = static_cast<nameNpath*>(fileTable);
    for (std::size_t i = 0; i < QF_FILE_LIST_MAX; ++i)
        table[i] = i < list.size() ? list[i] : nameNpath{};
    return 0;
}

// The first message after a parameter check was noted is that check's: it
// is led by the parameter as the command line gave it ("--rate 0: ").
std::string checkedParamPrefix() {
    Session& s = currentSession();
    const QfRunState& state = *qfRunState();
    if (s.checkNamed || state.check == 0 || state.outcome != QF_RUN_BUSY) return "";
    s.checkNamed = true;
    if (state.param == nullptr) return "";
    const auto word = s.paramWords.find(state.param);
    return (word != s.paramWords.end() ? word->second : "--" + std::string(state.param)) + ": ";
}

}  // namespace qfhost

extern "C" {

QF_EXPORT int32_t stdEmitMsg(int32_t kind, const char* text) {
    const std::string shown = qfhost::checkedParamPrefix() + qfhost::printable(text);
    const char* t = shown.c_str();
    switch (kind) {
        case QF_MSG_ERROR:
            ++qfhost::currentSession().errorMessages;
            std::fprintf(stderr, "error: %s\n", t);
            break;
        case QF_MSG_CAUTION:
            std::fprintf(stderr, "caution: %s\n", t);
            break;
        case QF_MSG_NOTICE:
            std::fprintf(stderr, "note: %s\n", t);
            break;
        case QF_MSG_SCRIPT:
            std::printf("%s\n", t);
            std::fflush(stdout);
            if (::isatty(0)) {
                std::printf("(press Enter to go on) ");
                std::fflush(stdout);
                std::string ignored;
                qfhost::readTerminalLine(ignored);
            }
            break;
        default:
            std::printf("%s\n", t);
            break;
    }
    std::fflush(stdout);
    return 0;
}

QF_EXPORT int32_t stdGet123Files(const char*, const char*, const char*, const char*, const char*,
                                 const char*, const char*, int32_t) {
    return qfhost::answerDialog();
}

QF_EXPORT int32_t stdGet2FilesNk(const char*, const char*, const char*, const char*, const char*,
                                 const char*) {
    return qfhost::answerDialog();
}

QF_EXPORT int32_t scrEntryBox(const char*, char* buffer) {
    qfhost::Session& s = qfhost::currentSession();
    if (s.entryTexts.empty()) return 1;
    std::string t = s.entryTexts.front();
    s.entryTexts.erase(s.entryTexts.begin());
    // The engine's entry buffer holds one script line.
    if (t.size() > 2174) t.resize(2174);
    std::memcpy(buffer, t.c_str(), t.size() + 1);
    return 0;
}

QF_EXPORT int32_t SleepForNSeconds(int32_t seconds, const char* text) {
    if (std::getenv("QF_NO_PAUSE") || qfhost::currentSession().noPause) return 0;
    std::printf("%s\n", text ? text : "");
    std::fflush(stdout);
    for (int64_t i = 0; i < int64_t{seconds} * 10 && !qfhost::interrupted(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return 0;
}

// Pens and fonts: kept as the engine handed them over, so that the
// settings file keeps them from one run to the next.
namespace {
int32_t g_penColour[19] = {};
int32_t g_penLineType[19] = {};
int32_t g_fontType[5] = {};
int32_t g_fontStyle[5] = {};
int32_t g_fontSize[5] = {10, 10, 10, 10, 10};
}  // namespace

QF_EXPORT int32_t DoSetPenColor(int32_t pen, int32_t colour) {
    if (pen >= 0 && pen < 19) g_penColour[pen] = colour;
    return 0;
}
QF_EXPORT int32_t DoSetPenLineType(int32_t pen, int32_t type) {
    if (pen >= 0 && pen < 19) g_penLineType[pen] = type;
    return 0;
}
QF_EXPORT int32_t DoSetFontType(int32_t font, int32_t type) {
    if (font >= 0 && font < 5) g_fontType[font] = type;
    return 0;
}
QF_EXPORT int32_t DoSetFontStyle(int32_t font, int32_t style) {
    if (font >= 0 && font < 5) g_fontStyle[font] = style;
    return 0;
}
QF_EXPORT int32_t DoSetFontSize(int32_t font, int32_t size) {
    if (font >= 0 && font < 5) g_fontSize[font] = size;
    return 0;
}

QF_EXPORT int32_t DoGetPenInfo(int32_t* colours, int32_t* lineTypes) {
    for (int i = 0; i < 19; ++i) {
        if (colours) colours[i] = g_penColour[i];
        if (lineTypes) lineTypes[i] = g_penLineType[i];
    }
    return 0;
}

QF_EXPORT int32_t DoGetFontInfo(int32_t* types, int32_t* styles, int32_t* sizes) {
    for (int i = 0; i < 5; ++i) {
        if (types) types[i] = g_fontType[i];
        if (styles) styles[i] = g_fontStyle[i];
        if (sizes) sizes[i] = g_fontSize[i];
    }
    return 0;
}

// Esc is "down" once Ctrl-C was pressed.
QF_EXPORT int16_t qfAsyncKeyState(int virtualKey) {
    return (virtualKey == 0x1B && qfhost::interrupted()) ? static_cast<int16_t>(0x8000) : 0;
}

}  // extern "C"
