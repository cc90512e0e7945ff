// qf: the command-line host of the Quillfen engine.  Each command fills a
// command block the way a dialog would and runs it through RunOp.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "quillfen/quillfen.h"

namespace qfhost {

using Args = std::vector<std::string>;

// Thrown for bad command-line input; main prints it and exits with 2.
struct UsageError {
    std::string text;
};

// Fills a command block once the engine has proposed its names (that is,
// in place of the dialog the graphical host would show).
using Fill = std::function<void(CommandBlock&)>;

class Session {
  public:
    // Starts the engine; home is where quillfen.sav and quillfen.log live.
    explicit Session(bool announce);
    ~Session();

    // Runs one operation; returns 0 when it succeeded without an error
    // message, 1 otherwise.
    int run(int32_t opCode, Fill fill);
    // Resolves a path of the command line against qf's start directory and
    // stores it as a file entry.
    void setFile(nameNpath& entry, const std::string& path) const;
    std::string resolve(const std::string& path) const;
    CommandBlock& block() { return *block_; }
    const std::string& startDir() const { return startDir_; }

    // Answers for the host's dialogs during the current operation.
    Fill pendingFill;
    int dialogCalls = 0;
    bool noPause = false;  // '@' pauses of a replay are skipped
    int errorMessages = 0;
    std::vector<std::string> entryTexts;  // answers for scrEntryBox

  private:
    CommandBlock* block_;
    std::string startDir_;
};

Session& currentSession();

struct Command {
    std::string name;
    std::string usage;  // "IN.tim OUT.tim [--flag]"
    std::string help;   // one line
    std::function<int(Session&, const Args&)> run;
    bool oneShotNote = false;  // say that a one-shot run uses a fresh engine
};

// Commands register themselves from their own files.
struct CommandRegistrar {
    explicit CommandRegistrar(std::vector<Command> commands);
};
const std::vector<Command>& allCommands();
const Command* findCommand(const std::string& name);

// Option parsing helpers: "--name value" pairs and plain positionals.
struct Options {
    // flags take no value; valueOptions take the next word; others are refused.
    Options(const Args& args, const std::vector<std::string>& flags,
            const std::vector<std::string>& valueOptions = {});
    std::vector<std::string> positional;
    bool has(const std::string& name) const;
    std::string value(const std::string& name, const std::string& fallback = "") const;
    double number(const std::string& name, double fallback) const;
    int32_t integer(const std::string& name, int32_t fallback) const;

  private:
    std::vector<std::pair<std::string, std::string>> values_;
    std::vector<std::string> flags_;
};
double parseNumber(const std::string& text, const std::string& what);
int32_t parseInteger(const std::string& text, const std::string& what);
void needPositional(const Options& o, std::size_t n, const Command& c);
// An analysis window given by name (any letter case) or by number 0-15.
int32_t windowFromText(const std::string& text);

// Runs one command line (already split into words) in the session.
int dispatch(Session& s, const Args& words);

}  // namespace qfhost
