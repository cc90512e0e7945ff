// The operations as qf commands, read from the engine's descriptions.  A
// command line gives an operation's files and positional parameters as
// plain words in their order, and every other parameter as an option
// "--name VALUE" (or "--name=VALUE", or one of its aliases); a switch
// parameter takes one option per choice word ("--int16", "--float").
// Files are checked first, so a missing input is named with the system's
// reason.  The command block is filled the way the operation's dialog
// would be, then the operation runs.  `qf help NAME` teaches each
// parameter from what its description says about it.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "host/qf.h"
#include "quillfen/operations.h"

namespace qfhost {

namespace {

bool hasFlag(const QfParamInfo& p, int32_t flag) {
    return (p.flags & flag) != 0;
}

// A parameter the command line sets as an option.
bool isOption(const QfParamInfo& p) {
    return p.position < 0 && !hasFlag(p, QF_PARAM_FIXED) && !hasFlag(p, QF_PARAM_COUNT);
}

std::span<const QfParamInfo> paramsOf(const QfOperationInfo& op) {
    return {op.params, static_cast<std::size_t>(op.paramCount)};
}

struct Choice {
    std::string word;
    std::string value;
};

// Blank-separated words ("freq length").
std::vector<std::string> wordsOf(const char* text) {
    std::vector<std::string> words;
    std::string w;
    for (const char* c = text ? text : "";; ++c) {
        if (*c == ' ' || *c == '\0') {
            if (!w.empty()) words.push_back(w);
            w.clear();
            if (*c == '\0') break;
        } else {
            w += *c;
        }
    }
    return words;
}

const QfFileInfo* fileOf(const QfOperationInfo& op, int32_t entry) {
    for (int32_t i = 0; i < op.fileCount; ++i)
        if (op.files[i].entry == entry) return &op.files[i];
    return nullptr;
}

// "word=value word=value" as a list.
std::vector<Choice> choicesOf(const QfParamInfo& p) {
    std::vector<Choice> list;
    const std::string text = p.choices ? p.choices : "";
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find(' ', at);
        if (end == std::string::npos) end = text.size();
        const std::string item = text.substr(at, end - at);
        const std::size_t eq = item.find('=');
        if (eq != std::string::npos) list.push_back({item.substr(0, eq), item.substr(eq + 1)});
        at = end + 1;
    }
    return list;
}

// A choice's value as the block holds it: a char parameter's is one letter.
double choiceValue(const QfParamInfo& p, const std::string& value) {
    if (p.type == QF_VALUE_CHAR) return value.empty() ? 0.0 : static_cast<unsigned char>(value[0]);
    return std::strtod(value.c_str(), nullptr);
}

bool sameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string numberText(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// "--a", "--a and --b", "--a, --b and --c"
std::string listOf(const std::vector<std::string>& words) {
    std::string t;
    for (std::size_t i = 0; i < words.size(); ++i)
        t += (i == 0 ? "" : i + 1 == words.size() ? " and " : ", ") + words[i];
    return t;
}

// A choice given by its word (any letter case) or, for a number, by value.
double choiceFromText(const QfParamInfo& p, const std::string& text, const std::string& what) {
    const std::vector<Choice> list = choicesOf(p);
    for (const Choice& c : list)
        if (sameNoCase(text, c.word)) return choiceValue(p, c.value);
    const bool number =
        p.type != QF_VALUE_CHAR && !text.empty() &&
        (std::isdigit(static_cast<unsigned char>(text[0])) || (text[0] == '-' && text.size() > 1));
    if (number) {
        const double v =
            p.type == QF_VALUE_INT32 ? parseInteger(text, what) : parseNumber(text, what);
        for (const Choice& c : list)
            if (choiceValue(p, c.value) == v) return v;
    }
    std::string all;
    for (const Choice& c : list)
        all +=
            (all.empty() ? "" : ", ") + (p.type == QF_VALUE_CHAR ? c.word : c.value + " " + c.word);
    throw UsageError{"unknown " + std::string(p.name) + " '" + text + "'; " + p.name + "s are " +
                     all};
}

// The value of a parameter given on the command line (`what` names it in
// messages).
double valueOf(const QfParamInfo& p, const std::string& text, const std::string& what) {
    double v;
    if (p.choices) {
        v = choiceFromText(p, text, what);
    } else if (p.type == QF_VALUE_INT32) {
        v = parseInteger(text, what);
    } else if (p.type == QF_VALUE_CHAR) {
        if (text.size() != 1) throw UsageError{what + " takes one letter, not '" + text + "'"};
        v = static_cast<unsigned char>(text[0]);
    } else {
        v = parseNumber(text, what);
    }
    if (hasFlag(p, QF_PARAM_MINIMUM) && v < p.minimum)
        throw UsageError{what + " must be at least " + numberText(p.minimum)};
    return v;
}

// The generators' noise: its type and the type's two parameters.
struct Noise {
    int32_t offset = -1;  // of the noise type; -1: the operation has none
    int32_t type = 0;     // 0 none, 1 uniform, 2 normal, 3 Poisson
    double first = 0.0;
    double second = 0.0;
    bool chosenNone = false;  // none given where the default is some noise
};

// none | uniform:LO:HI | normal:MEAN:VAR | poisson
Noise noiseFromText(const std::string& text) {
    std::vector<std::string> parts;
    for (std::size_t from = 0;;) {
        const std::size_t colon = text.find(':', from);
        parts.push_back(text.substr(from, colon == std::string::npos ? colon : colon - from));
        if (colon == std::string::npos) break;
        from = colon + 1;
    }
    Noise n;
    const std::string& kind = parts[0];
    if ((kind == "none" || kind == "poisson") && parts.size() == 1) {
        n.type = kind == "none" ? 0 : 3;
    } else if ((kind == "uniform" || kind == "normal") && parts.size() == 3) {
        n.type = kind == "uniform" ? 1 : 2;
        n.first = parseNumber(parts[1], "--noise");
        n.second = parseNumber(parts[2], "--noise");
        if (n.type == 2 && n.second < 0)
            throw UsageError{"the variance of --noise normal must not be negative"};
    } else {
        throw UsageError{
            "--noise takes none, uniform:LO:HI, normal:MEAN:VARIANCE or poisson, not '" + text +
            "'"};
    }
    return n;
}

// One positional word: a file or a parameter.
struct Word {
    int32_t position;
    const QfFileInfo* file;
    const QfParamInfo* param;
};

constexpr nameNpath CommandBlock::*kEntries[] = {&CommandBlock::in1, &CommandBlock::in2,
                                                 &CommandBlock::out, &CommandBlock::out2,
                                                 &CommandBlock::out3};
constexpr int32_t kEntryCount = static_cast<int32_t>(sizeof kEntries / sizeof kEntries[0]);

std::vector<Word> positionalWords(const QfOperationInfo& op) {
    std::vector<Word> words;
    for (int32_t i = 0; i < op.fileCount; ++i) {
        const QfFileInfo& f = op.files[i];
        if (f.position >= 0 && f.entry >= 0 && f.entry < kEntryCount)
            words.push_back({f.position, &f, nullptr});
    }
    for (int32_t i = 0; i < op.paramCount; ++i) {
        const QfParamInfo& p = op.params[i];
        if (p.position >= 0 && !hasFlag(p, QF_PARAM_FIXED))
            words.push_back({p.position, nullptr, &p});
    }
    std::stable_sort(words.begin(), words.end(),
                     [](const Word& a, const Word& b) { return a.position < b.position; });
    return words;
}

// IN.tim, A.tim B.tim, COEFFS.flt, OUT.fre: the role and the first extension
// of the list.
std::string fileWord(const QfOperationInfo& op, const QfFileInfo& f) {
    std::string ext = f.extension ? f.extension : "";
    ext = ext.substr(0, ext.find('.', 1));
    if (f.flags & QF_FILE_LIST) return "IN" + ext + "...";
    if ((f.flags & QF_FILE_INPUT) == 0) {
        const int32_t n = f.entry - QF_ENTRY_OUT;
        return "OUT" + (n > 0 ? std::to_string(n + 1) : std::string()) + ext;
    }
    if (f.kinds == QF_FILE_FILTER) return "COEFFS" + ext;
    int inputs = 0;
    for (int32_t i = 0; i < op.fileCount; ++i)
        if (op.files[i].position >= 0 && (op.files[i].flags & QF_FILE_INPUT) &&
            op.files[i].kinds != QF_FILE_FILTER)
            ++inputs;
    if (inputs < 2) return "IN" + ext;
    return (f.entry == QF_ENTRY_IN1 ? "A" : "B") + ext;
}

// The word for a parameter's value: its help when that is one word.
std::string valueWord(const QfParamInfo& p) {
    return p.help && *p.help && !std::strchr(p.help, ' ') ? p.help : p.name;
}

std::string usageOf(const QfOperationInfo& op) {
    std::string u;
    auto add = [&u](const std::string& t) { u += (u.empty() ? "" : " ") + t; };
    for (const Word& w : positionalWords(op)) add(w.file ? fileWord(op, *w.file) : w.param->name);
    for (const QfParamInfo& p : paramsOf(op)) {
        if (!isOption(p)) continue;
        if (hasFlag(p, QF_PARAM_SWITCHES)) {
            std::string words;
            for (const Choice& c : choicesOf(p)) words += (words.empty() ? "--" : "|--") + c.word;
            add("[" + words + "]");
            continue;
        }
        const std::string t = "--" + std::string(p.name) + " " + valueWord(p);
        add(hasFlag(p, QF_PARAM_REQUIRED) ? t : "[" + t + "]");
    }
    return u;
}

// A value for the block.
struct Put {
    int32_t offset;
    int32_t type;
    double value;
};

void put(CommandBlock& b, int32_t offset, int32_t type, double v) {
    const std::size_t size = type == QF_VALUE_DOUBLE ? 8 : type == QF_VALUE_CHAR ? 1 : 4;
    if (offset < QF_PARAM_OFFSET || offset + size > sizeof b) return;
    unsigned char* at = reinterpret_cast<unsigned char*>(&b) + offset;
    if (type == QF_VALUE_DOUBLE) {
        std::memcpy(at, &v, sizeof v);
    } else if (type == QF_VALUE_CHAR) {
        *at = static_cast<unsigned char>(v);
    } else {
        const int32_t i = static_cast<int32_t>(v);
        std::memcpy(at, &i, sizeof i);
    }
}

// The noise type and, in the generator parameters around it, its two
// parameters.
void putNoise(CommandBlock& b, const Noise& n) {
    if (n.offset < 0) return;
    put(b, n.offset, QF_VALUE_INT32, n.type);
    if (n.type != 1 && n.type != 2) return;
    const int32_t base = n.offset - static_cast<int32_t>(offsetof(QfGeneratorParams, noiseType));
    const int32_t at = 8 * n.type;
    put(b, base + static_cast<int32_t>(offsetof(QfGeneratorParams, noiseParam1)) + at,
        QF_VALUE_DOUBLE, n.first);
    put(b, base + static_cast<int32_t>(offsetof(QfGeneratorParams, noiseParam2)) + at,
        QF_VALUE_DOUBLE, n.second);
}

// The switch words given for each switch parameter: more than one is a
// usage error.
void refuseTwoSwitches(const QfOperationInfo& op, const Options& o) {
    for (const QfParamInfo& p : paramsOf(op)) {
        if (!isOption(p) || !hasFlag(p, QF_PARAM_SWITCHES)) continue;
        std::vector<std::string> all;
        int given = 0;
        for (const Choice& c : choicesOf(p)) {
            all.push_back("--" + c.word);
            if (o.has(c.word)) ++given;
        }
        if (given > 1) throw UsageError{"choose one of " + listOf(all)};
    }
}

// The value of a file header line ("Key<blanks>: value"), or "" when the
// file or the line is not there.
std::string headerValue(const std::string& path, const std::string& key) {
    std::ifstream f(path, std::ios::binary);
    std::string head(4096, '\0');
    f.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(f.gcount()));
    head = head.substr(0, head.find('#'));
    for (std::size_t pos = 0; pos < head.size();) {
        std::size_t end = head.find('\n', pos);
        if (end == std::string::npos) end = head.size();
        const std::string line = head.substr(pos, end - pos);
        pos = end + 1;
        if (line.compare(0, key.size(), key) != 0) continue;
        const std::size_t colon = line.find(": ");
        if (colon == std::string::npos) return "";
        std::string v = line.substr(colon + 2);
        while (!v.empty() && (v.back() == '\r' || v.back() == ' ')) v.pop_back();
        return v;
    }
    return "";
}

// to-text and to-binary: 6050 turns a file into the other data format, so a
// file already in the asked one is refused.
int convertFormat(Session& s, const Args& args, const std::string& name, bool toText) {
    return runOperation(s, QF_OP_ASCII_BINARY, name, args, [&s, toText](const std::string& in) {
        const std::string format = headerValue(s.resolve(in), "File format");
        if (format.empty() || (format[0] == 'A' || format[0] == 'a') != toText) return 0;
        std::fprintf(stderr, "qf: '%s' is already %s\n", in.c_str(), toText ? "text" : "binary");
        return 1;
    });
}

// to-float and to-int16: 6060 turns a file into the other number type.
int convertNumbers(Session& s, const Args& args, const std::string& name, bool toFloat) {
    return runOperation(s, QF_OP_INT_FLOAT, name, args, [&s, toFloat](const std::string& in) {
        const std::string type = headerValue(s.resolve(in), "Record type number");
        const bool isFloat = type == "REAL32" || type == "CREAL128RECT(W)";
        if (type.empty() || isFloat != toFloat) return 0;
        std::fprintf(stderr, "qf: '%s' already holds %s numbers (%s)\n", in.c_str(),
                     toFloat ? "float" : "16-bit", type.c_str());
        return 1;
    });
}

CommandRegistrar conversionCommands({
    {"to-text", "", "rewrite a binary signal file as text",
     [](Session& s, const Args& a) { return convertFormat(s, a, "to-text", true); }, false,
     QF_OP_ASCII_BINARY},
    {"to-binary", "", "rewrite a text signal file as binary",
     [](Session& s, const Args& a) { return convertFormat(s, a, "to-binary", false); }, false,
     QF_OP_ASCII_BINARY},
    {"to-float", "", "16-bit fractional samples (or a calibrated recording) to float",
     [](Session& s, const Args& a) { return convertNumbers(s, a, "to-float", true); }, false,
     QF_OP_INT_FLOAT},
    {"to-int16", "", "float samples to 16-bit fractional, by the overflow mode",
     [](Session& s, const Args& a) { return convertNumbers(s, a, "to-int16", false); }, false,
     QF_OP_INT_FLOAT},
});

}  // namespace

std::string usageOf(const Command& c) {
    if (!c.usage.empty() || c.operation == 0) return c.usage;
    const QfOperationInfo* op = qfOperationInfo(c.operation);
    return op ? usageOf(*op) : "";
}

namespace {

// What a file of the command line is.
std::string fileAbout(const QfFileInfo& f) {
    std::string kind;
    if (f.kinds & QF_FILE_TIME) kind = "time signal";
    if (f.kinds & QF_FILE_FRAMES) kind += std::string(kind.empty() ? "" : " or ") + "frame file";
    if (f.kinds & QF_FILE_LPC) kind += std::string(kind.empty() ? "" : " or ") + "LPC file";
    if (kind.empty()) kind = "file";
    return std::string((f.flags & QF_FILE_INPUT) ? "the input " : "the output ") + kind;
}

// The word of a choice whose value is v.
std::string choiceWord(const QfParamInfo& p, double v) {
    for (const Choice& c : choicesOf(p))
        if (choiceValue(p, c.value) == v) return c.word;
    return numberText(v);
}

// "default 8000", "required", "as last time" ...
std::string defaultText(const QfOperationInfo& op, const QfParamInfo& p) {
    if (hasFlag(p, QF_PARAM_REQUIRED)) return "required";
    auto nameAt = [&op](int32_t offset) {
        for (const QfParamInfo& q : paramsOf(op))
            if (q.offset == offset && !hasFlag(q, QF_PARAM_FIXED))
                return "--" + std::string(q.name);
        return std::string("another value");
    };
    if (hasFlag(p, QF_PARAM_HALF_OF)) return "default half of " + nameAt(p.halfOf);
    std::string d;
    if (hasFlag(p, QF_PARAM_FOLLOWS)) d = "default " + nameAt(p.follows) + " when that is given";
    if (hasFlag(p, QF_PARAM_REMEMBERED))
        return d + (d.empty() ? "default " : ", else ") + "the value used last time";
    if (p.type == QF_VALUE_NOISE)
        return "default " + std::string(p.fallbackText ? p.fallbackText : "none");
    if (hasFlag(p, QF_PARAM_SWITCHES)) return "default --" + choiceWord(p, p.fallback);
    if (p.choices) return "default " + choiceWord(p, p.fallback);
    if (p.type == QF_VALUE_CHAR) return "default " + std::string(1, static_cast<char>(p.fallback));
    std::string v = "default " + numberText(p.fallback);
    if (p.unit && !std::strchr(p.unit, ' ')) v += std::string(" ") + p.unit;
    return v;
}

// "--rate FS", "--int16|--float", "BITS"
std::string optionWords(const QfParamInfo& p) {
    if (!isOption(p)) return p.name;
    if (hasFlag(p, QF_PARAM_SWITCHES)) {
        std::string words;
        for (const Choice& c : choicesOf(p)) words += (words.empty() ? "--" : "|--") + c.word;
        return words;
    }
    return "--" + std::string(p.name) + " " + valueWord(p);
}

// One argument or option: its words, then what it is, its unit, default
// and example, and other names it goes by.
void printParam(const QfOperationInfo& op, const QfParamInfo& p) {
    std::string text = p.about ? p.about : "";
    if (p.unit) text += std::string(text.empty() ? "" : ", ") + "in " + p.unit;
    text += std::string(text.empty() ? "" : "; ") + defaultText(op, p);
    if (p.example)
        text += "; e.g. " + (isOption(p) ? "--" + std::string(p.name) + " " : std::string()) +
                p.example;
    const std::vector<std::string> aliases = wordsOf(p.aliases);
    if (!aliases.empty()) {
        std::vector<std::string> dashed;
        for (const std::string& a : aliases) dashed.push_back("--" + a);
        text += " (also " + listOf(dashed) + ")";
    }
    const std::string words = optionWords(p);
    if (words.size() <= 22)
        std::printf("  %-22s %s\n", words.c_str(), text.c_str());
    else
        std::printf("  %s\n  %-22s %s\n", words.c_str(), "", text.c_str());
    // A list of named choices is shown whole (the sixteen windows).
    if (p.choices && !hasFlag(p, QF_PARAM_SWITCHES) && p.type != QF_VALUE_NOISE) {
        std::string all;
        for (const Choice& c : choicesOf(p))
            all += (all.empty() ? "" : ", ") + c.word + " (" + c.value + ")";
        std::printf("  %-22s one of: %s\n", "", all.c_str());
    }
}

// A command line that works: every positional word and required option
// with its example.
std::string exampleOf(const std::string& name, const QfOperationInfo& op) {
    std::string e = "qf " + name;
    for (const Word& w : positionalWords(op)) {
        if (w.file) {
            std::string word = fileWord(op, *w.file);
            for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            e += " " + word;
        } else {
            e += " " + std::string(w.param->example ? w.param->example : "1");
        }
    }
    for (const QfParamInfo& p : paramsOf(op))
        if (isOption(p) && hasFlag(p, QF_PARAM_REQUIRED))
            e += " --" + std::string(p.name) + " " + (p.example ? p.example : "1");
    return e;
}

}  // namespace

void printOperationHelp(const Command& c) {
    const QfOperationInfo* op = qfOperationInfo(c.operation);
    if (op == nullptr) return;
    std::printf("usage: qf %s %s\n%s\n", c.name.c_str(), usageOf(*op).c_str(), c.help.c_str());
    bool any = false;
    for (const Word& w : positionalWords(*op)) {
        if (!any) std::printf("\narguments:\n");
        any = true;
        if (w.file)
            std::printf("  %-22s %s\n", fileWord(*op, *w.file).c_str(), fileAbout(*w.file).c_str());
        else
            printParam(*op, *w.param);
    }
    any = false;
    for (const QfParamInfo& p : paramsOf(*op)) {
        if (!isOption(p)) continue;
        if (!any) std::printf("\noptions (--name VALUE or --name=VALUE):\n");
        any = true;
        printParam(*op, p);
    }
    std::printf("\nexample:\n  %s\n", exampleOf(c.name, *op).c_str());
}

int runOperation(Session& s, int32_t code, const std::string& name, const Args& args,
                 const Precheck& precheck) {
    const QfOperationInfo* op = qfOperationInfo(code);
    if (op == nullptr) {
        std::fprintf(stderr, "qf: the engine has no operation %d\n", code);
        return 1;
    }
    const std::string usage = "usage: qf " + name + " " + usageOf(*op);
    std::vector<OptionSpec> specs;
    for (const QfParamInfo& p : paramsOf(*op)) {
        if (!isOption(p)) continue;
        if (!hasFlag(p, QF_PARAM_SWITCHES))
            specs.push_back({p.name, true, wordsOf(p.aliases)});
        else
            for (const Choice& c : choicesOf(p)) specs.push_back({c.word, false, {}});
    }
    const Options o(args, specs);
    const std::vector<Word> words = positionalWords(*op);
    // A list of files takes every word the other positions leave.
    std::size_t listAt = words.size();
    for (std::size_t i = 0; i < words.size(); ++i)
        if (words[i].file && (words[i].file->flags & QF_FILE_LIST)) listAt = i;
    const bool hasList = listAt < words.size();
    if (o.positional.size() < words.size() || (!hasList && o.positional.size() != words.size()))
        throw UsageError{usage};
    const std::size_t listSize = hasList ? o.positional.size() - words.size() + 1 : 0;
    if (listSize > QF_FILE_LIST_MAX)
        throw UsageError{"at most " + std::to_string(QF_FILE_LIST_MAX) + " files; " + usage};
    refuseTwoSwitches(*op, o);
    std::vector<std::string> positional = o.positional;
    std::vector<nameNpath> list(listSize);
    for (std::size_t i = 0; i < listSize; ++i) s.setFile(list[i], positional[listAt + i]);
    if (hasList)
        positional.erase(positional.begin() + static_cast<std::ptrdiff_t>(listAt) + 1,
                         positional.begin() + static_cast<std::ptrdiff_t>(listAt + listSize));

    // What the dialog would put into the block.
    std::vector<std::pair<int32_t, std::string>> files;  // entry, path
    std::vector<Put> puts;
    Noise noise;
    auto give = [&puts, &noise](const QfParamInfo& p, const std::string& text,
                                const std::string& what) {
        if (p.type != QF_VALUE_NOISE) {
            puts.push_back({p.offset, p.type, valueOf(p, text, what)});
            return;
        }
        noise = noiseFromText(text);
        noise.offset = p.offset;
        noise.chosenNone =
            noise.type == 0 && p.fallbackText && noiseFromText(p.fallbackText).type != 0;
    };
    // Messages name each parameter as the command line gave it.
    std::map<std::string, std::string> named;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i == listAt) continue;
        if (words[i].file) {
            files.emplace_back(words[i].file->entry, positional[i]);
        } else {
            give(*words[i].param, positional[i], words[i].param->name);
            named[words[i].param->name] = std::string(words[i].param->name) + " " + positional[i];
        }
    }
    std::vector<const QfParamInfo*> derived;  // defaults taken from other parameters
    for (const QfParamInfo& p : paramsOf(*op)) {
        const std::string option = "--" + std::string(p.name);
        if (hasFlag(p, QF_PARAM_COUNT)) {
            puts.push_back({p.offset, p.type, static_cast<double>(listSize)});
        } else if (hasFlag(p, QF_PARAM_FIXED)) {
            puts.push_back({p.offset, p.type, p.fallback});
        } else if (!isOption(p)) {
            continue;
        } else if (hasFlag(p, QF_PARAM_SWITCHES)) {
            bool given = false;
            for (const Choice& c : choicesOf(p)) {
                if (!o.has(c.word)) continue;
                puts.push_back({p.offset, p.type, choiceValue(p, c.value)});
                given = true;
            }
            if (!given && !hasFlag(p, QF_PARAM_REMEMBERED))
                puts.push_back({p.offset, p.type, p.fallback});
        } else if (o.has(p.name)) {
            give(p, o.value(p.name), option);
            named[p.name] = option + " " + o.value(p.name);
        } else if (hasFlag(p, QF_PARAM_REQUIRED)) {
            throw UsageError{option + " is required; " + usage};
        } else if (p.type == QF_VALUE_NOISE) {
            give(p, p.fallbackText ? p.fallbackText : "none", option);
        } else if (hasFlag(p, QF_PARAM_HALF_OF) || hasFlag(p, QF_PARAM_FOLLOWS)) {
            derived.push_back(&p);
        } else if (!hasFlag(p, QF_PARAM_REMEMBERED)) {
            puts.push_back({p.offset, p.type, p.fallback});
        }
    }
    // Half of another parameter's value; or the value given for the
    // parameter this one follows (a remembered one stays otherwise).
    const std::vector<Put> settled = puts;
    for (const QfParamInfo* p : derived) {
        const bool half = hasFlag(*p, QF_PARAM_HALF_OF);
        const int32_t from = half ? p->halfOf : p->follows;
        bool found = false;
        double v = 0.0;
        for (const Put& at : settled) {
            if (at.offset != from) continue;
            found = true;
            v = !half                       ? at.value
                : at.type == QF_VALUE_INT32 ? static_cast<int32_t>(at.value) / 2
                                            : at.value / 2;
        }
        if (found || half)
            puts.push_back({p->offset, p->type, v});
        else if (!hasFlag(*p, QF_PARAM_REMEMBERED))
            puts.push_back({p->offset, p->type, p->fallback});
    }

    // Files the engine could not use are named with the system's reason,
    // before the engine sees them.
    for (const auto& [entry, path] : files) {
        const QfFileInfo* f = fileOf(*op, entry);
        const bool input = f && (f->flags & QF_FILE_INPUT);
        const std::string full = s.resolve(path);
        const std::string why = input ? unreadableReason(full) : unwritableReason(full);
        if (!why.empty()) {
            std::fprintf(stderr, "qf: cannot %s '%s': %s\n", input ? "read" : "write", path.c_str(),
                         why.c_str());
            return kExitFailed;
        }
    }
    for (const auto& [entry, path] : files)
        if (const int r = precheck && entry == QF_ENTRY_IN1 ? precheck(path) : 0; r != 0) return r;
    s.paramWords = named;
    // A fresh dialog: nothing of an earlier command stays in the parameters.
    std::memset(s.block().params, 0, sizeof s.block().params);
    s.pendingList = list;
    const int r = s.run(code, [&s, files, puts, noise](CommandBlock& b) {
        for (const auto& [entry, path] : files) s.setFile(b.*kEntries[entry], path);
        for (const Put& p : puts) put(b, p.offset, p.type, p.value);
        putNoise(b, noise);
    });
    s.pendingList.clear();
    if (r == kExitFailed && noise.chosenNone)
        std::fprintf(stderr, "qf: no noise chosen: nothing generated\n");
    return r;
}

void addOperationCommands() {
    std::vector<int32_t> codes(static_cast<std::size_t>(qfOperationCodes(nullptr, 0)));
    qfOperationCodes(codes.data(), static_cast<int32_t>(codes.size()));
    std::vector<Command> commands;
    for (int32_t code : codes) {
        const QfOperationInfo* op = qfOperationInfo(code);
        if (op == nullptr || op->command == nullptr || findCommand(op->command)) continue;
        const std::string name = op->command;
        commands.push_back(
            {name, "", op->help ? op->help : "",
             [code, name](Session& s, const Args& a) { return runOperation(s, code, name, a); },
             false, code});
    }
    CommandRegistrar{std::move(commands)};
}

}  // namespace qfhost
