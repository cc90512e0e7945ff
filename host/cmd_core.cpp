// Engine settings, status and script recording commands.
#include <cstdio>
#include <cstring>

#include "host/qf.h"

namespace qfhost {

namespace {

int statusCommand(Session&, const Args& args) {
    if (!args.empty()) throw UsageError{"usage: qf status"};
    const StatusRecord& s = *qfenStatus;
    std::printf("output format     : %s\n", s.outputFormat == 'a' ? "text (a)" : "binary (b)");
    std::printf("overflow mode     : %s\n",
                s.overflowMode == 's' ? "saturate (s)" : "wrap around (w)");
    std::printf("rounding mode     : %c\n", s.roundingMode);
    std::printf("script recording  : %c\n", s.scriptRecording);
    std::printf("FFT window/size/interval: %d %d %d\n", s.fftWindow, s.fftSize, s.fftInterval);
    return 0;
}

int formatCommand(Session& s, const Args& args) {
    if (args.size() != 1 || (args[0] != "text" && args[0] != "binary"))
        throw UsageError{"usage: qf format text|binary"};
    return s.run(args[0] == "text" ? QF_OP_TEXT_OUTPUT : QF_OP_BINARY_OUTPUT, nullptr);
}

int overflowCommand(Session& s, const Args& args) {
    if (args.size() != 1 || (args[0] != "saturate" && args[0] != "wrap"))
        throw UsageError{"usage: qf overflow saturate|wrap"};
    return s.run(args[0] == "saturate" ? QF_OP_SATURATE : QF_OP_WRAP, nullptr);
}

std::string joinWords(const Args& args, std::size_t from) {
    std::string t;
    for (std::size_t i = from; i < args.size(); ++i) {
        if (i > from) t += ' ';
        t += args[i];
    }
    return t;
}

int recordCommand(Session& s, const Args& args) {
    if (args.empty()) throw UsageError{"usage: qf record start|stop|pause|message|remark ..."};
    const std::string& what = args[0];
    int r = 0;
    if (what == "start") {
        if (args.size() != 2) throw UsageError{"usage: qf record start FILE.scr"};
        std::string file = args[1];
        r = s.run(QF_OP_RECORD_START, [&s, file](CommandBlock& b) { s.setFile(b.out, file); });
        if (r != 0 || qfenStatus->scriptRecording != 'y') {
            std::fprintf(stderr, "qf: cannot record to '%s'\n", file.c_str());
            return 1;
        }
        return 0;
    }
    if (what == "stop") {
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
    if (r != 0) std::fprintf(stderr, "qf: not recording (start with 'record start FILE.scr')\n");
    return r;
}

CommandRegistrar coreCommands({
    {"status", "", "show the engine's output format, overflow and rounding modes", statusCommand},
    {"format", "text|binary", "choose the data format of new signal files", formatCommand},
    {"overflow", "saturate|wrap", "choose what 16-bit results do when they overflow",
     overflowCommand},
    {"record", "start FILE.scr | stop | pause SECONDS | message TEXT | remark TEXT",
     "record what you do as a replayable script (inside 'qf shell')", recordCommand, true},
});

}  // namespace

}  // namespace qfhost
