// qf: run Quillfen operations from the command line, one command per run
// or many in one engine with `qf shell`.
//
//   qf [--home DIR] [--format text|binary] [--overflow saturate|wrap]
//      [--rounding even|away|truncate] COMMAND [ARGUMENTS]
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/callbacks.h"
#include "host/qf.h"
#include "quillfen/operations.h"

#ifndef QF_VERSION
#define QF_VERSION "0"
#endif

namespace qfhost {

namespace {

std::vector<Command>& registry() {
    static std::vector<Command> commands;
    return commands;
}

// Splits a shell line into words; double or single quotes keep blanks.
Args splitWords(const std::string& line) {
    Args words;
    std::string w;
    bool inWord = false;
    char quote = 0;
    for (char c : line) {
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                w += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (inWord) words.push_back(w);
            w.clear();
            inWord = false;
        } else {
            w += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(w);
    return words;
}

const char* const kGlobalUsage =
    "usage: qf [--home DIR] [--format text|binary] [--overflow saturate|wrap]\n"
    "          [--rounding even|away|truncate] COMMAND [ARGUMENTS]\n";

// One line per command: its name and what it does.
void listCommands() {
    int width = 14;
    for (const Command& c : registry()) width = std::max(width, static_cast<int>(c.name.size()));
    for (const Command& c : registry())
        std::printf("  %-*s %s\n", width, c.name.c_str(), c.help.c_str());
}

void printHelp() {
    std::printf("%s\ncommands:\n", kGlobalUsage);
    listCommands();
    std::printf(
        "\noptions before the command hold for this run only:\n"
        "  --home DIR          where the settings and the engine log live (else $QF_HOME,\n"
        "                      else ~/.quillfen/)\n"
        "  --format F          text (a) or binary (b) data in new signal files\n"
        "  --overflow M        saturate (s) or wrap (w) 16-bit results that overflow\n"
        "  --rounding R        even (e), away (r) from zero or truncate (t) when a real\n"
        "                      result becomes a whole or fixed-point number\n"
        "  --version           the version of qf\n"
        "\n'qf help COMMAND' shows a command's arguments, defaults and examples.\n"
        "Exit status: 0 done, 1 refused or failed, 2 a command line qf cannot use,\n"
        "130 stopped by Ctrl-C.\n");
}

int helpCommand(Session&, const Args& args) {
    if (args.empty()) {
        printHelp();
        return kExitOk;
    }
    if (args.size() > 1) throw UsageError{"usage: qf help [COMMAND]"};
    const Command* c = findCommand(args[0]);
    if (!c) {
        std::fprintf(stderr, "qf: no command '%s' (try 'qf help')\n", args[0].c_str());
        return kExitUsage;
    }
    if (c->operation != 0 && c->usage.empty()) {
        printOperationHelp(*c);
    } else {
        std::printf("usage: qf %s %s\n%s\n", c->name.c_str(), usageOf(*c).c_str(), c->help.c_str());
        if (!c->details.empty()) std::printf("\n%s", c->details.c_str());
    }
    return kExitOk;
}

enum class InputRead { Line, End, Interrupted };

// One line of standard input when it is not a terminal: read in blocks,
// waiting in short polls so that Ctrl-C is seen while input is awaited.
InputRead readInputLine(std::string& line) {
    static std::string pending;
    static bool ended = false;
    for (;;) {
        const std::size_t nl = pending.find('\n');
        if (nl != std::string::npos) {
            line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            return InputRead::Line;
        }
        if (ended) {
            if (pending.empty()) return InputRead::End;
            line.swap(pending);
            pending.clear();
            return InputRead::Line;
        }
        if (interrupted()) return InputRead::Interrupted;
        pollfd p = {0, POLLIN, 0};
        const int ready = ::poll(&p, 1, 100);
        if (ready < 0 && errno != EINTR) {
            ended = true;
            continue;
        }
        if (ready <= 0) continue;
        char buf[4096];
        const ssize_t n = ::read(0, buf, sizeof buf);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) {
            ended = true;
            continue;
        }
        pending.append(buf, static_cast<std::size_t>(n));
    }
}

// Commands line by line from standard input, in one engine.  Exit status:
// 1 when any command failed (--stop-on-error: stops there), 130 when
// Ctrl-C stopped a shell reading from a file or pipe.  On a terminal Ctrl-C
// stops the command that runs, or drops the line typed so far.
int shellCommand(Session& s, const Args& args) {
    const Options o(args, {"stop-on-error"});
    if (!o.positional.empty()) throw UsageError{"usage: qf shell [--stop-on-error]"};
    const bool stopOnError = o.has("stop-on-error");
    const bool tty = ::isatty(0);
    std::string line;
    bool failed = false;
    for (;;) {
        if (tty) {
            clearInterrupt();
            std::printf("qf> ");
            std::fflush(stdout);
            const TerminalRead r = readTerminalLine(line);
            if (r == TerminalRead::End) break;
            if (r == TerminalRead::Interrupted) {
                std::printf("\n");
                continue;
            }
        } else {
            const InputRead r = readInputLine(line);
            if (r == InputRead::End) break;
            if (r == InputRead::Interrupted) {
                std::fprintf(stderr, "qf: interrupted\n");
                return kExitInterrupted;
            }
        }
        Args words = splitWords(line);
        if (words.empty() || words[0][0] == '#') continue;
        if (words[0] == "exit" || words[0] == "quit") break;
        int status;
        if (words[0] == "shell") {
            std::fprintf(stderr, "qf: already in a shell\n");
            status = kExitUsage;
        } else {
            status = dispatch(s, words);
        }
        if (status == kExitInterrupted) {
            if (!tty) return kExitInterrupted;
            continue;  // the user stopped that command, not the shell
        }
        if (status != kExitOk) {
            failed = true;
            if (stopOnError) break;
        }
    }
    return failed ? kExitFailed : kExitOk;
}

CommandRegistrar mainCommands({
    {"help", "[COMMAND]", "list the commands, or show one command's arguments", helpCommand},
    {"shell", "[--stop-on-error]",
     "read qf commands line by line from standard input, in one engine", shellCommand, false, 0,
     "Each line is one command, as after 'qf'; '#' starts a comment line and 'exit'\n"
     "ends the shell.  The exit status is 1 when any command failed; with\n"
     "--stop-on-error the shell stops at the first one that failed.\n"},
});

extern "C" void onInterrupt(int) {
    interruptRequested();
}

// One global option: "--name VALUE" or "--name=VALUE" at argv[i]; the
// value is stored in `value` and i moves past it.
bool globalOption(const Args& words, std::size_t& i, const char* name, std::string& value,
                  bool& seen) {
    const std::string& w = words[i];
    const std::string flag = std::string("--") + name;
    std::string v;
    if (w == flag) {
        if (i + 1 >= words.size()) throw UsageError{"missing value after " + flag};
        v = words[++i];
    } else if (w.rfind(flag + "=", 0) == 0) {
        v = w.substr(flag.size() + 1);
    } else {
        return false;
    }
    if (seen) throw UsageError{flag + " is given twice"};
    seen = true;
    value = v;
    return true;
}

// A mode letter from its word or letter.
char modeLetter(const std::string& v, const char* option,
                std::initializer_list<std::pair<const char*, char>> words) {
    std::string all;
    for (const auto& [word, letter] : words) {
        if (v == word || (v.size() == 1 && v[0] == letter)) return letter;
        all += std::string(all.empty() ? "" : ", ") + word + " (" + letter + ")";
    }
    throw UsageError{std::string(option) + " takes " + all + ", not '" + v + "'"};
}

// The options before the command; the command and its arguments stay.
GlobalOptions globalOptions(Args& words) {
    GlobalOptions g;
    bool home = false, format = false, overflow = false, rounding = false;
    std::size_t i = 0;
    for (; i < words.size() && words[i].rfind("--", 0) == 0; ++i) {
        std::string v;
        if (globalOption(words, i, "home", v, home)) {
            if (v.empty()) throw UsageError{"--home needs a folder"};
            g.home = v;
        } else if (globalOption(words, i, "format", v, format)) {
            g.format = modeLetter(v, "--format", {{"text", 'a'}, {"binary", 'b'}});
        } else if (globalOption(words, i, "overflow", v, overflow)) {
            g.overflow = modeLetter(v, "--overflow", {{"saturate", 's'}, {"wrap", 'w'}});
        } else if (globalOption(words, i, "rounding", v, rounding)) {
            g.rounding =
                modeLetter(v, "--rounding", {{"even", 'e'}, {"away", 'r'}, {"truncate", 't'}});
        } else if (words[i] == "--version" || words[i] == "--help") {
            break;
        } else {
            throw UsageError{"unknown option " + words[i] + " before the command"};
        }
    }
    words.erase(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(i));
    return g;
}

bool g_outputFailed = false;

}  // namespace

CommandRegistrar::CommandRegistrar(std::vector<Command> commands) {
    for (Command& c : commands) registry().push_back(std::move(c));
}

const Command* findCommand(const std::string& name) {
    for (const Command& c : registry())
        if (c.name == name) return &c;
    return nullptr;
}

bool outputOk() {
    if (!g_outputFailed && (std::ferror(stdout) || std::fflush(stdout) != 0)) {
        g_outputFailed = true;
        std::fprintf(stderr, "qf: cannot write to standard output: %s\n", std::strerror(errno));
    }
    return !g_outputFailed;
}

int dispatch(Session& s, const Args& words) {
    const Command* c = findCommand(words[0]);
    if (!c) {
        std::fprintf(stderr, "qf: no command '%s' (try 'qf help')\n", words[0].c_str());
        return kExitUsage;
    }
    clearInterrupt();
    s.paramWords.clear();
    int status;
    try {
        status = c->run(s, Args(words.begin() + 1, words.end()));
    } catch (const UsageError& e) {
        std::fprintf(stderr, "qf: %s\n", e.text.c_str());
        status = kExitUsage;
    }
    if (!outputOk() && status == kExitOk) status = kExitFailed;
    return status;
}

}  // namespace qfhost

int main(int argc, char** argv) {
    using namespace qfhost;
    Args words(argv + 1, argv + argc);
    GlobalOptions options;
    try {
        options = globalOptions(words);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "qf: %s\n%s", e.text.c_str(), kGlobalUsage);
        return kExitUsage;
    }
    if (!words.empty() && words[0] == "--version") {
        std::printf("qf %s (the Quillfen engine's command line)\n", QF_VERSION);
        return outputOk() ? kExitOk : kExitFailed;
    }
    if (words.empty() || words[0] == "--help" || words[0] == "-h") {
        // The engine runs to tell its operations' commands.
        Session session(options, false);
        std::printf("qf - the Quillfen signal workbench on the command line\n\n");
        printHelp();
        if (!outputOk()) return kExitFailed;
        return words.empty() ? kExitUsage : kExitOk;
    }
    // Ctrl-C only raises a flag, which the engine sees as the Esc key: an
    // operation stops between blocks of its work.  Reads and writes go on
    // (the terminal prompts wait in short polls and see the flag).
    struct sigaction sa = {};
    sa.sa_handler = onInterrupt;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    // qf's own commands are known before the engine starts; the operations'
    // commands once it runs.
    const Command* c = findCommand(words[0]);
    int status;
    {
        Session session(options, c && c->oneShotNote);
        status = dispatch(session, words);
    }
    if (!outputOk() && status == kExitOk) status = kExitFailed;
    return status;
}
