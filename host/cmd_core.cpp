// Engine settings, status and script recording commands.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "host/qf.h"
#include "quillfen/operations.h"

namespace qfhost {

namespace {

// The FFT window's name from the engine's own list of window choices.
std::string fftWindowName(int32_t number) {
    const QfOperationInfo* fft = qfOperationInfo(QF_OP_FFT);
    for (int32_t i = 0; fft && i < fft->paramCount; ++i) {
        const QfParamInfo& p = fft->params[i];
        if (p.offset != QF_P_FFT_WINDOW || p.choices == nullptr) continue;
        const std::string wanted = "=" + std::to_string(number);
        const std::string text = std::string(p.choices) + " ";
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = text.find(' ', at);
            const std::string item = text.substr(at, end - at);
            const std::size_t eq = item.find('=');
            if (eq != std::string::npos && item.substr(eq) == wanted) return item.substr(0, eq);
            at = end + 1;
        }
    }
    return "window " + std::to_string(number);
}

const char* roundingText(char mode) {
    switch (mode) {
        case 'e':
            return "ties to even (e)";
        case 'r':
            return "ties away from zero (r)";
        default:
            return "truncate (t)";
    }
}

int statusCommand(Session& session, const Args& args) {
    if (!args.empty()) throw UsageError{"usage: qf status"};
    const StatusRecord& s = *qfenStatus;
    std::printf("output format     : %s\n", s.outputFormat == 'a' ? "text (a)" : "binary (b)");
    std::printf("overflow mode     : %s\n",
                s.overflowMode == 's' ? "saturate (s)" : "wrap around (w)");
    std::printf("rounding mode     : %s\n", roundingText(s.roundingMode));
    std::printf("script recording  : %s\n", s.scriptRecording == 'y' ? "yes" : "no");
    std::printf("FFT window        : %s (%d)\n", fftWindowName(s.fftWindow).c_str(), s.fftWindow);
    std::printf("FFT size          : %d\n", s.fftSize);
    std::printf("FFT interval      : %d\n", s.fftInterval);
    std::printf("home              : %s\n", session.home().c_str());
    return kExitOk;
}

int formatCommand(Session& s, const Args& args) {
    if (args.size() != 1 || (args[0] != "text" && args[0] != "binary"))
        throw UsageError{"usage: qf format text|binary"};
    const int r = s.run(args[0] == "text" ? QF_OP_TEXT_OUTPUT : QF_OP_BINARY_OUTPUT, nullptr);
    if (r == kExitOk) s.keepModes();
    return r;
}

int overflowCommand(Session& s, const Args& args) {
    if (args.size() != 1 || (args[0] != "saturate" && args[0] != "wrap"))
        throw UsageError{"usage: qf overflow saturate|wrap"};
    const int r = s.run(args[0] == "saturate" ? QF_OP_SATURATE : QF_OP_WRAP, nullptr);
    if (r == kExitOk) s.keepModes();
    return r;
}

std::string joinWords(const Args& args, std::size_t from) {
    std::string t;
    for (std::size_t i = from; i < args.size(); ++i) {
        if (i > from) t += ' ';
        t += args[i];
    }
    return t;
}

// record start FILE [--append|--force]: an existing script is kept unless
// the user says what to do with it.
int recordStart(Session& s, const Args& args) {
    const Options o(args, {"append", "force"});
    if (o.positional.size() != 1 || (o.has("append") && o.has("force")))
        throw UsageError{"usage: qf record start FILE.scr [--append|--force]"};
    const std::string file = o.positional[0];
    const std::string full = s.resolve(file);
    if (qfenStatus->scriptRecording == 'y') {
        std::fprintf(stderr, "qf: already recording ('record stop' ends it)\n");
        return kExitFailed;
    }
    struct stat st {};
    if (::stat(full.c_str(), &st) == 0 && !o.has("append") && !o.has("force")) {
        std::fprintf(stderr,
                     "qf: '%s' exists: give --append to add to it or --force to replace it\n",
                     file.c_str());
        return kExitFailed;
    }
    if (const std::string why = unwritableReason(full); !why.empty()) {
        std::fprintf(stderr, "qf: cannot record to '%s': %s\n", file.c_str(), why.c_str());
        return kExitFailed;
    }
    qfSetHostOption(QF_OPTION_RECORD_APPEND, o.has("append") ? 1 : 0);
    const int r =
        s.run(QF_OP_RECORD_START, [&s, file](CommandBlock& b) { s.setFile(b.out, file); });
    qfSetHostOption(QF_OPTION_RECORD_APPEND, 0);
    if (r != kExitOk || qfenStatus->scriptRecording != 'y') {
        std::fprintf(stderr, "qf: cannot record to '%s'\n", file.c_str());
        return r == kExitInterrupted ? r : kExitFailed;
    }
    return kExitOk;
}

int recordCommand(Session& s, const Args& args) {
    if (args.empty()) throw UsageError{"usage: qf record start|stop|pause|message|remark ..."};
    const std::string& what = args[0];
    if (what == "start") return recordStart(s, Args(args.begin() + 1, args.end()));
    int r = 0;
    if (what == "stop") {
        if (args.size() != 1) throw UsageError{"usage: qf record stop"};
        r = s.run(QF_OP_RECORD_STOP, nullptr);
    } else if (what == "pause") {
        if (args.size() != 2) throw UsageError{"usage: qf record pause SECONDS"};
        parseInteger(args[1], "SECONDS");
        s.entryTexts = {args[1]};
        r = s.run(QF_OP_RECORD_PAUSE, nullptr);
    } else if (what == "message" || what == "remark") {
        if (args.size() < 2) throw UsageError{"usage: qf record " + what + " TEXT"};
        s.entryTexts = {joinWords(args, 1)};
        r = s.run(what == "message" ? QF_OP_RECORD_MESSAGE : QF_OP_RECORD_REMARK, nullptr);
    } else if (what == "close-windows") {
        r = s.run(QF_OP_RECORD_CLOSE_WINDOWS, nullptr);
    } else {
        throw UsageError{"usage: qf record start|stop|pause|message|remark ..."};
    }
    s.entryTexts.clear();
    if (r == kExitFailed)
        std::fprintf(stderr, "qf: not recording (start with 'record start FILE.scr')\n");
    return r;
}

CommandRegistrar coreCommands({
    {"status", "", "show the output format, the overflow and rounding modes, the FFT settings",
     statusCommand},
    {"format", "text|binary", "choose the data format of new signal files (saved)", formatCommand},
    {"overflow", "saturate|wrap", "choose what 16-bit results do when they overflow (saved)",
     overflowCommand},
    {"record",
     "start FILE.scr [--append|--force] | stop | pause SECONDS | message TEXT | remark TEXT",
     "record what you do as a replayable script (inside 'qf shell')", recordCommand, true, 0,
     "Every command that runs is recorded as one script line; one that fails or is\n"
     "refused is not.  'record start' keeps an existing script unless --append adds\n"
     "to it or --force replaces it.\n"},
});

}  // namespace

}  // namespace qfhost
