// qf: run Quillfen operations from the command line, one command per run
// or many in one engine with `qf shell`.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>

#include "host/callbacks.h"
#include "host/qf.h"

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

// One line per command: its name and what it does.
void listCommands() {
    int width = 14;
    for (const Command& c : registry()) width = std::max(width, static_cast<int>(c.name.size()));
    for (const Command& c : registry())
        std::printf("  %-*s %s\n", width, c.name.c_str(), c.help.c_str());
}

void printHelp() {
    std::printf("usage: qf COMMAND [ARGUMENTS]\n\ncommands:\n");
    listCommands();
    std::printf("\n'qf help COMMAND' shows a command's arguments.\n");
}

int helpCommand(Session&, const Args& args) {
    if (args.empty()) {
        printHelp();
        return 0;
    }
    const Command* c = findCommand(args[0]);
    if (!c) {
        std::fprintf(stderr, "qf: no command '%s'\n", args[0].c_str());
        return 2;
    }
    std::printf("qf %s %s\n  %s\n", c->name.c_str(), usageOf(*c).c_str(), c->help.c_str());
    return 0;
}

int shellCommand(Session& s, const Args&) {
    const bool tty = ::isatty(0);
    std::string line;
    int last = 0;
    for (;;) {
        if (tty) {
            clearInterrupt();
            std::printf("qf> ");
            std::fflush(stdout);
        }
        if (!tty) {
            if (!std::getline(std::cin, line)) break;
        } else {
            const TerminalRead r = readTerminalLine(line);
            if (r == TerminalRead::End) break;
            if (r == TerminalRead::Interrupted) {
                // Ctrl-C at the prompt drops the line typed so far.
                std::printf("\n");
                continue;
            }
        }
        Args words = splitWords(line);
        if (words.empty() || words[0][0] == '#') continue;
        if (words[0] == "exit" || words[0] == "quit") break;
        if (words[0] == "shell") {
            std::fprintf(stderr, "qf: already in a shell\n");
            continue;
        }
        last = dispatch(s, words);
    }
    return last;
}

CommandRegistrar mainCommands({
    {"help", "[COMMAND]", "list the commands, or show one command's arguments", helpCommand},
    {"shell", "", "read qf commands line by line from standard input, in one engine", shellCommand},
});

extern "C" void onInterrupt(int) {
    interruptRequested();
}

}  // namespace

CommandRegistrar::CommandRegistrar(std::vector<Command> commands) {
    for (Command& c : commands) registry().push_back(std::move(c));
}

const Command* findCommand(const std::string& name) {
    for (const Command& c : registry())
        if (c.name == name) return &c;
    return nullptr;
}

int dispatch(Session& s, const Args& words) {
    const Command* c = findCommand(words[0]);
    if (!c) {
        std::fprintf(stderr, "qf: no command '%s' (try 'qf help')\n", words[0].c_str());
        return 2;
    }
    clearInterrupt();
    try {
        return c->run(s, Args(words.begin() + 1, words.end()));
    } catch (const UsageError& e) {
        std::fprintf(stderr, "qf: %s\n", e.text.c_str());
        return 2;
    }
}

}  // namespace qfhost

int main(int argc, char** argv) {
    using namespace qfhost;
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        // The engine runs to tell its operations' commands.
        Session session(false);
        std::printf("qf - the Quillfen signal workbench on the command line\n\n");
        listCommands();
        return argc < 2 ? 2 : 0;
    }
    // Ctrl-C only raises a flag: reads and writes go on (the terminal
    // prompts wait in short polls and see the flag).
    struct sigaction sa = {};
    sa.sa_handler = onInterrupt;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    Args words(argv + 1, argv + argc);
    // qf's own commands are known before the engine starts; the operations'
    // commands once it runs.
    const Command* c = findCommand(words[0]);
    Session session(c && c->oneShotNote);
    return dispatch(session, words);
}
