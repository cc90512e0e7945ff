#include "script/lines.h"

#include <cstring>

#include "core/engine.h"
#include "platform/fs.h"
#include "script/script_text.h"
#include "signal/numfmt.h"

namespace qf {

namespace {

// A unit or format character as one visible script character: a blank or
// control character would end the field, so it is written as '-'.
char scriptChar(char c) {
    return (c > ' ' && c < 127) ? c : '-';
}

nameNpath& fileOf(CommandBlock& b, Field f) {
    switch (f) {
        case Field::In1:
            return b.in1;
        case Field::Out:
            return b.out;
        case Field::Out2:
            return b.out2;
        case Field::Out3:
            return b.out3;
        default:
            return b.in2;
    }
}

}  // namespace

std::string scriptLinePrefix(const OperationDescription& d) {
    if (d.scriptName == nullptr) return std::string();
    return fmtString(d.blanks == 4 ? "%04d %s    " : "%04d %s       ", d.code, d.scriptName);
}

std::string describedScriptLine(const OperationDescription& d, CommandBlock& b) {
    std::string line = scriptLinePrefix(d);
    double lastDouble = 0.0;
    bool first = true;
    for (const ScriptField& f : d.script) {
        if (f.field == Field::NotWritten) continue;
        std::string text;
        switch (f.field) {
            case Field::In1:
            case Field::In2:
            case Field::Out:
            case Field::Out2:
            case Field::Out3:
                text = scriptEntry(fileOf(b, f.field));
                break;
            case Field::In2OrZero:
                text = lastDouble == 0.0 ? std::string(". 0") : scriptEntry(b.in2);
                break;
            case Field::OutputFormat:
                text = std::string(1, scriptChar(status().outputFormat));
                break;
            case Field::Noise: {
                auto& p = *reinterpret_cast<QfGeneratorParams*>(b.params);
                const bool typed = p.noiseType > 0 && p.noiseType < QF_NOISE_TYPES;
                text =
                    fmtString("%d %lg %lg", p.noiseType, typed ? p.noiseParam1[p.noiseType] : 0.0,
                              typed ? p.noiseParam2[p.noiseType] : 0.0);
                break;
            }
            case Field::NotWritten:
                break;
            case Field::Param: {
                const QfParamInfo& p = d.params[static_cast<std::size_t>(f.param)].info;
                if (p.type == QF_VALUE_DOUBLE) {
                    lastDouble = paramDouble(b, p.offset);
                    text = fmtString(f.format ? f.format : "% 15.9lg", lastDouble);
                } else if (p.type == QF_VALUE_CHAR) {
                    text = std::string(1, scriptChar(paramChar(b, p.offset)));
                } else {
                    text = fmtString(f.format ? f.format : "%d", paramInt(b, p.offset));
                }
                break;
            }
        }
        if (!first && !f.glued) line += ' ';
        line += text;
        first = false;
    }
    return line + "\r\n";
}

bool readDescribedFields(const OperationDescription& d, CommandBlock& b, const char* line) {
    ScriptFields in(line);
    if (!in.skipCodeAndName()) return false;
    bool haveFormat = false;
    char format = 0;
    for (const ScriptField& f : d.script) {
        bool ok = true;
        switch (f.field) {
            case Field::In1:
            case Field::In2:
            case Field::Out:
            case Field::Out2:
            case Field::Out3:
            case Field::In2OrZero:
                ok = in.entry(fileOf(b, f.field));
                break;
            case Field::OutputFormat:
                ok = f.glued ? in.rawChar(format) : in.character(format);
                haveFormat = ok;
                break;
            case Field::Noise: {
                auto& p = *reinterpret_cast<QfGeneratorParams*>(b.params);
                int32_t type = 0;
                double n1 = 0.0, n2 = 0.0;
                ok = in.integer(type) && in.number(n1) && in.number(n2);
                if (ok) {
                    type = ((type % QF_NOISE_TYPES) + QF_NOISE_TYPES) % QF_NOISE_TYPES;
                    p.noiseType = type;
                    p.noiseParam1[type] = n1;
                    p.noiseParam2[type] = n2;
                }
                break;
            }
            case Field::NotWritten: {
                const QfParamInfo& p = d.params[static_cast<std::size_t>(f.param)].info;
                if (p.type == QF_VALUE_DOUBLE)
                    paramDouble(b, p.offset) = p.fallback;
                else if (p.type == QF_VALUE_CHAR)
                    paramChar(b, p.offset) = static_cast<char>(p.fallback);
                else
                    paramInt(b, p.offset) = static_cast<int32_t>(p.fallback);
                break;
            }
            case Field::Param: {
                const QfParamInfo& p = d.params[static_cast<std::size_t>(f.param)].info;
                if (p.type == QF_VALUE_DOUBLE)
                    ok = in.number(paramDouble(b, p.offset));
                else if (p.type == QF_VALUE_CHAR)
                    ok = f.glued ? in.rawChar(paramChar(b, p.offset))
                                 : in.character(paramChar(b, p.offset));
                else
                    ok = in.integer(paramInt(b, p.offset));
                break;
            }
        }
        if (!ok) return false;
    }
    // A field more than the line holds means the fields are not where they
    // belong (one doubled, one left out): the line is malformed.
    char extra[QF_NAME_LEN];
    if (!d.script.empty() && (in.word(extra, sizeof extra) || in.overflowed())) return false;
    // The format letter is stored as read.
    if (haveFormat) status().outputFormat = format;
    return true;
}

int32_t genericWriteScriptLine(int32_t, std::FILE* f) {
    CommandBlock& b = block();
    const OperationDescription* d = describe(b.opCode);
    if (d == nullptr || d->scriptName == nullptr || d->script.empty()) return 0;
    if (f == nullptr) return 1;
    const std::string line = describedScriptLine(*d, b);
    return platform::writeText(f, line) ? 0 : 1;
}

int32_t genericReadScriptLine(int32_t mode, const char* line, CheckParamsFn check) {
    CommandBlock& b = block();
    const OperationDescription* d = describe(b.opCode);
    if (d == nullptr || line == nullptr) return 1;
    if (!readDescribedFields(*d, b, line)) return 1;
    unescapeEntry(b.in1);
    unescapeEntry(b.in2);
    unescapeEntry(b.out);
    unescapeEntry(b.out2);
    unescapeEntry(b.out3);
    if (!resolveScriptNames()) return kScriptLineStopped;
    const int32_t c = check ? check(mode) : 0;
    if (c == 0) return 0;
    for (int32_t accepted : d->scriptAccepts)
        if (c == accepted) return 0;
    return 2;
}

}  // namespace qf
