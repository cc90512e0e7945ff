// qf: the command-line host of the Quillfen engine.  Each command fills a
// command block the way a dialog would and runs it through RunOp.  Besides
// qf's own commands, every operation the engine describes with a command
// name is a command, its arguments taken from the description.
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
    // Starts the engine (home is where quillfen.sav and quillfen.log live)
    // and adds the commands of its described operations.
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
    std::vector<nameNpath> pendingList;   // the files of a list dialog (dspMuxOpenFile)

  private:
    CommandBlock* block_;
    std::string startDir_;
};

Session& currentSession();

struct Command {
    std::string name;
    std::string usage;  // "IN.tim OUT.tim [--flag]"; empty: that of `operation`
    std::string help;   // one line
    std::function<int(Session&, const Args&)> run;
    bool oneShotNote = false;  // say that a one-shot run uses a fresh engine
    int32_t operation = 0;     // the operation whose arguments the command takes
};

// Commands register themselves from their own files.
struct CommandRegistrar {
    explicit CommandRegistrar(std::vector<Command> commands);
};
const Command* findCommand(const std::string& name);
// Adds a command for every described operation that names one (once the
// engine runs); a name qf already uses stays qf's.
void addOperationCommands();
// A command's arguments for its usage line.
std::string usageOf(const Command& c);

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

// Runs a described operation from a command line as `name` (usage errors
// are thrown).  `precheck`, given the first input file as the command line
// names it, may refuse the run with a nonzero status before the engine
// sees it.
using Precheck = std::function<int(const std::string& input)>;
int runOperation(Session& s, int32_t code, const std::string& name, const Args& args,
                 const Precheck& precheck = {});

// Runs one command line (already split into words) in the session.
int dispatch(Session& s, const Args& words);

}  // namespace qfhost
