// qf: the command-line host of the Quillfen engine.  Each command fills a
// command block the way a dialog would and runs it through RunOp.  Besides
// qf's own commands, every operation the engine describes with a command
// name is a command, its arguments taken from the description.
//
// Exit status: 0 when the command did all it was asked; 1 when the engine
// refused or failed it (or a file could not be read); 2 for a command line
// qf cannot use; 130 when Ctrl-C stopped it.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "quillfen/quillfen.h"

namespace qfhost {

using Args = std::vector<std::string>;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

// Thrown for bad command-line input; it ends the command with status 2.
struct UsageError {
    std::string text;
};

// The options given before the command: where the engine keeps its
// settings, and the modes of this run only.
struct GlobalOptions {
    std::string home;   // "": $QF_HOME, else ~/.quillfen/
    char format = 0;    // 'a' or 'b'; 0: as saved
    char overflow = 0;  // 's' or 'w'; 0: as saved
    char rounding = 0;  // 'e', 'r' or 't'; 0: the engine's ('e')
};

// Fills a command block once the engine has proposed its names (that is,
// in place of the dialog the graphical host would show).
using Fill = std::function<void(CommandBlock&)>;

class Session {
  public:
    // Starts the engine (home is where quillfen.sav and quillfen.log live),
    // applies this run's modes and adds the commands of the described
    // operations.
    Session(const GlobalOptions& options, bool announce);
    // Puts the saved output format and overflow mode back (unless `qf
    // format` or `qf overflow` chose new ones) and stops the engine.
    ~Session();

    // Runs one operation; returns the exit status it deserves.
    int run(int32_t opCode, Fill fill);
    // Resolves a path of the command line against qf's start directory and
    // stores it as a file entry.
    void setFile(nameNpath& entry, const std::string& path) const;
    std::string resolve(const std::string& path) const;
    CommandBlock& block() { return *block_; }
    const std::string& startDir() const { return startDir_; }
    const std::string& home() const { return home_; }
    // `qf format` and `qf overflow` make the current mode the saved one.
    void keepModes();

    // Answers for the host's dialogs during the current operation.
    Fill pendingFill;
    int dialogCalls = 0;
    bool noPause = false;  // '@' pauses of a replay are skipped
    int errorMessages = 0;
    std::vector<std::string> entryTexts;  // answers for scrEntryBox
    std::vector<nameNpath> pendingList;   // the files of a list dialog (dspMuxOpenFile)
    // How the current command names its parameters in messages:
    // parameter name -> "--rate 0" (as given) or "--rate".
    std::map<std::string, std::string> paramWords;
    bool checkNamed = false;  // the current run's check message was sent

  private:
    CommandBlock* block_;
    std::string startDir_;
    std::string home_;
    char savedFormat_ = 'b';
    char savedOverflow_ = 's';
};

Session& currentSession();

struct Command {
    std::string name;
    std::string usage;  // "IN.tim OUT.tim [--flag]"; empty: that of `operation`
    std::string help;   // one line
    std::function<int(Session&, const Args&)> run;
    bool oneShotNote = false;  // say that a one-shot run uses a fresh engine
    int32_t operation = 0;     // the operation whose arguments the command takes
    std::string details{};     // more lines for `qf help NAME`
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
// `qf help NAME` for an operation command: every argument and option with
// what it is, its default, its unit and an example.
void printOperationHelp(const Command& c);

// One option a command takes.
struct OptionSpec {
    OptionSpec(std::string n, bool value, std::vector<std::string> other = {})
        : name(std::move(n)), takesValue(value), aliases(std::move(other)) {}
    std::string name;                  // without the dashes
    bool takesValue;                   // "--name VALUE" or "--name=VALUE"
    std::vector<std::string> aliases;  // other names for it
};

// A command's words: options ("--name VALUE", "--name=VALUE", "--flag")
// and plain positionals; "--" ends the options.  An unknown or repeated
// option, or a flag given a value, is a usage error.
struct Options {
    Options(const Args& args, const std::vector<OptionSpec>& specs);
    // Options that take no value.
    Options(const Args& args, std::initializer_list<const char*> flags);
    std::vector<std::string> positional;
    bool has(const std::string& name) const;
    std::string value(const std::string& name, const std::string& fallback = "") const;
    double number(const std::string& name, double fallback) const;
    int32_t integer(const std::string& name, int32_t fallback) const;

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> given_;
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

// Whether a file can be read (or, for an output, created): "" when it can,
// else the system's reason ("No such file or directory").
std::string unreadableReason(const std::string& path);
std::string unwritableReason(const std::string& path);

// Runs one command line (already split into words) in the session.
int dispatch(Session& s, const Args& words);

// Writes what qf prints to standard output; false once a write failed.
bool outputOk();

}  // namespace qfhost
