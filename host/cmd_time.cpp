// Time-domain arithmetic, rearranging and number conversions: one command
// per operation, answering the operation's dialog from the command line.
#include <cstdio>
#include <fstream>
#include <string>

#include "core/engine.h"
#include "host/qf.h"

namespace qfhost {

namespace {

constexpr int kP = QF_PARAM_OFFSET;

using qf::paramDouble;
using qf::paramInt;

[[noreturn]] void usage(const std::string& name) {
    const Command* c = findCommand(name);
    throw UsageError{"usage: qf " + name + " " + (c ? c->usage : std::string())};
}

// The files of a command: in1 (in2) and out.
Fill files(Session& s, const std::string& in1, const std::string& in2, const std::string& out) {
    return [&s, in1, in2, out](CommandBlock& b) {
        s.setFile(b.in1, in1);
        if (!in2.empty()) s.setFile(b.in2, in2);
        s.setFile(b.out, out);
    };
}

// A B OUT
int twoSignals(Session& s, const Args& args, const std::string& name, int32_t code) {
    Options o(args, {});
    if (o.positional.size() != 3) usage(name);
    return s.run(code, files(s, o.positional[0], o.positional[1], o.positional[2]));
}

// IN K OUT with a real constant
int withConstant(Session& s, const Args& args, const std::string& name, int32_t code) {
    Options o(args, {});
    if (o.positional.size() != 3) usage(name);
    const double k = parseNumber(o.positional[1], "K");
    Fill f = files(s, o.positional[0], "", o.positional[2]);
    return s.run(code, [f, k](CommandBlock& b) {
        f(b);
        paramDouble(b, kP) = k;
    });
}

// IN N OUT with a whole number
int withWhole(Session& s, const Args& args, const std::string& name, int32_t code,
              const std::string& what) {
    Options o(args, {});
    if (o.positional.size() != 3) usage(name);
    const int32_t n = parseInteger(o.positional[1], what);
    Fill f = files(s, o.positional[0], "", o.positional[2]);
    return s.run(code, [f, n](CommandBlock& b) {
        f(b);
        paramInt(b, kP) = n;
    });
}

// IN OUT [--a A]: the outer scale of 1/x, x^2 and sqrt.
int scaled(Session& s, const Args& args, const std::string& name, int32_t code) {
    Options o(args, {}, {"a"});
    if (o.positional.size() != 2) usage(name);
    const double a = o.number("a", 1.0);
    Fill f = files(s, o.positional[0], "", o.positional[1]);
    return s.run(code, [f, a](CommandBlock& b) {
        f(b);
        paramDouble(b, kP) = a;
    });
}

// IN OUT [--A A] [--a a]: A * g(a * x).
int function(Session& s, const Args& args, const std::string& name, int32_t code) {
    Options o(args, {}, {"A", "a"});
    if (o.positional.size() != 2) usage(name);
    const double outer = o.number("A", 1.0);
    const double inner = o.number("a", 1.0);
    Fill f = files(s, o.positional[0], "", o.positional[1]);
    return s.run(code, [f, outer, inner](CommandBlock& b) {
        f(b);
        paramDouble(b, kP) = outer;
        paramDouble(b, kP + 8) = inner;
    });
}

// IN OUT
int plain(Session& s, const Args& args, const std::string& name, int32_t code) {
    Options o(args, {});
    if (o.positional.size() != 2) usage(name);
    return s.run(code, files(s, o.positional[0], "", o.positional[1]));
}

int extract(Session& s, const Args& args) {
    Options o(args, {}, {"skip", "length"});
    if (o.positional.size() != 2) usage("extract");
    const int32_t skip = o.integer("skip", 0);
    const int32_t length = o.integer("length", 0);
    Fill f = files(s, o.positional[0], "", o.positional[1]);
    return s.run(QF_OP_EXTRACT, [f, skip, length](CommandBlock& b) {
        f(b);
        paramInt(b, kP) = skip;
        paramInt(b, kP + 4) = length;
    });
}

// The value of a header line ("Key<blanks>: value") of a signal file, or ""
// when the file or the line is not there.
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

// 6050 converts to the other data format: refuse a file already in the
// asked one.
int convertFormat(Session& s, const Args& args, const std::string& name, bool toText) {
    Options o(args, {});
    if (o.positional.size() != 2) usage(name);
    const std::string format = headerValue(s.resolve(o.positional[0]), "File format");
    if (!format.empty() && (format[0] == 'A' || format[0] == 'a') == toText) {
        std::fprintf(stderr, "qf: '%s' is already %s\n", o.positional[0].c_str(),
                     toText ? "text" : "binary");
        return 1;
    }
    return s.run(QF_OP_ASCII_BINARY, files(s, o.positional[0], "", o.positional[1]));
}

// 6060 converts to the other number type: refuse a file already of it.
int convertNumbers(Session& s, const Args& args, const std::string& name, bool toFloat) {
    Options o(args, {});
    if (o.positional.size() != 2) usage(name);
    const std::string type = headerValue(s.resolve(o.positional[0]), "Record type number");
    const bool isFloat = type == "REAL32" || type == "CREAL128RECT(W)";
    if (!type.empty() && isFloat == toFloat) {
        std::fprintf(stderr, "qf: '%s' already holds %s numbers (%s)\n", o.positional[0].c_str(),
                     toFloat ? "float" : "16-bit", type.c_str());
        return 1;
    }
    return s.run(QF_OP_INT_FLOAT, files(s, o.positional[0], "", o.positional[1]));
}

#define QF_CMD(name, usage, help, body)                                   \
    Command {                                                             \
        name, usage, help, [](Session& s, const Args& a) { return body; } \
    }

CommandRegistrar timeCommands({
    QF_CMD("add", "A.tim B.tim OUT.tim", "add two signals sample by sample",
           twoSignals(s, a, "add", QF_OP_ADD)),
    QF_CMD("subtract", "A.tim B.tim OUT.tim", "subtract the second signal from the first",
           twoSignals(s, a, "subtract", QF_OP_SUBTRACT)),
    QF_CMD("join", "A.tim B.tim OUT.tim", "append the second signal to the first",
           twoSignals(s, a, "join", QF_OP_JOIN)),
    QF_CMD("add-const", "IN.tim K OUT.tim", "add the constant K to every sample",
           withConstant(s, a, "add-const", QF_OP_ADD_K)),
    QF_CMD("negate-add", "IN.tim K OUT.tim", "K minus every sample",
           withConstant(s, a, "negate-add", QF_OP_SUBTRACT_K)),
    QF_CMD("scale", "IN.tim K OUT.tim", "multiply every sample by the constant K",
           withConstant(s, a, "scale", QF_OP_MULTIPLY_K)),
    QF_CMD("reciprocal", "IN.tim OUT.tim [--a A]", "A / x for every sample (A = 1)",
           scaled(s, a, "reciprocal", QF_OP_RECIPROCAL)),
    QF_CMD("squared", "IN.tim OUT.tim [--a A]", "A * x^2 for every sample (A = 1)",
           scaled(s, a, "squared", QF_OP_SQUARED)),
    QF_CMD("sqrt", "IN.tim OUT.tim [--a A]", "A * sqrt(|x|) with the sign of x (A = 1)",
           scaled(s, a, "sqrt", QF_OP_SQUARE_ROOT)),
    QF_CMD("sin", "IN.tim OUT.tim [--A A] [--a a]", "A * sin(a * x) (A = a = 1)",
           function(s, a, "sin", QF_OP_SIN)),
    QF_CMD("cos", "IN.tim OUT.tim [--A A] [--a a]", "A * cos(a * x) (A = a = 1)",
           function(s, a, "cos", QF_OP_COS)),
    QF_CMD("tan", "IN.tim OUT.tim [--A A] [--a a]", "A * tan(a * x) (A = a = 1)",
           function(s, a, "tan", QF_OP_TAN)),
    // ("exp" generates an exponential signal.)
    QF_CMD("exponential", "IN.tim OUT.tim [--A A] [--a a]", "A * exp(a * x) (A = a = 1)",
           function(s, a, "exponential", QF_OP_EXP)),
    QF_CMD("flip", "IN.tim OUT.tim", "reverse a signal in time", plain(s, a, "flip", QF_OP_FLIP)),
    Command{"extract", "IN.tim OUT.tim [--skip S] [--length N]",
            "copy N samples after the first S (N = 0: to the end)", extract},
    QF_CMD("shift", "IN.tim K OUT.tim", "delay by K samples (K < 0 drops the first -K)",
           withWhole(s, a, "shift", QF_OP_SHIFT_RIGHT, "K")),
    QF_CMD("quantize", "IN.tim BITS OUT.tim", "keep the top BITS bits of 16-bit samples (1-15)",
           withWhole(s, a, "quantize", QF_OP_QUANTIZE, "BITS")),
    QF_CMD("diff", "IN.tim D OUT.tim", "x(t) - x(t - D)",
           withWhole(s, a, "diff", QF_OP_DIFFERENCE, "D")),
    QF_CMD("decimate", "IN.tim M OUT.tim", "keep every M-th sample; the rate drops M times",
           withWhole(s, a, "decimate", QF_OP_DECIMATE, "M")),
    QF_CMD("interpolate", "IN.tim L OUT.tim",
           "put L - 1 zeros after every sample; the rate grows L times",
           withWhole(s, a, "interpolate", QF_OP_INTERPOLATE, "L")),
    QF_CMD("to-text", "IN.tim OUT.tim", "rewrite a binary signal file as text",
           convertFormat(s, a, "to-text", true)),
    QF_CMD("to-binary", "IN.tim OUT.tim", "rewrite a text signal file as binary",
           convertFormat(s, a, "to-binary", false)),
    QF_CMD("to-float", "IN.tim OUT.tim",
           "16-bit fractional samples (or a calibrated recording) to float",
           convertNumbers(s, a, "to-float", true)),
    QF_CMD("to-int16", "IN.tim OUT.tim", "float samples to 16-bit fractional, by the overflow mode",
           convertNumbers(s, a, "to-int16", false)),
});

#undef QF_CMD

}  // namespace

}  // namespace qfhost
