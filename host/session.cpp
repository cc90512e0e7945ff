// The engine session of one qf run, and the command-line option parser.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "host/callbacks.h"
#include "host/draw.h"
#include "host/qf.h"

namespace qfhost {

namespace {
Session* g_session = nullptr;

std::string withSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

std::string currentDirectory() {
    char buf[4096];
    if (!::getcwd(buf, sizeof buf)) return "/";
    return withSlash(buf);
}

// Makes a folder and the folders above it; "" or the system's reason.
std::string makeFolders(const std::string& dir) {
    for (std::size_t at = 1; at <= dir.size(); ++at) {
        if (at < dir.size() && dir[at] != '/') continue;
        const std::string part = dir.substr(0, at);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return std::strerror(errno);
    }
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0) return std::strerror(errno);
    if (!S_ISDIR(st.st_mode)) return std::strerror(ENOTDIR);
    return "";
}

// --home, else $QF_HOME, else ~/.quillfen/; relative to the start folder.
std::string homeDirectory(const GlobalOptions& o, const std::string& startDir) {
    std::string home = o.home;
    if (home.empty())
        if (const char* h = std::getenv("QF_HOME"); h && *h) home = h;
    if (home.empty()) {
        const char* base = std::getenv("HOME");
        home = std::string(base && *base ? base : "/tmp") + "/.quillfen";
    }
    if (home[0] != '/') home = startDir + home;
    return withSlash(home);
}

}  // namespace

Session& currentSession() {
    return *g_session;
}

Session::Session(const GlobalOptions& options, bool announce) : block_(new CommandBlock{}) {
    startDir_ = currentDirectory();
    g_session = this;
    home_ = homeDirectory(options, startDir_);
    if (const std::string why = makeFolders(home_); !why.empty()) {
        std::fprintf(stderr, "qf: cannot use '%s' as the home folder: %s\n", home_.c_str(),
                     why.c_str());
        std::exit(kExitFailed);
    }
    if (home_.size() >= 256) {
        std::fprintf(stderr, "qf: the home folder '%s' is too long for the engine\n",
                     home_.c_str());
        std::exit(kExitFailed);
    }
    if (InitQuillfen(nullptr, home_.c_str()) != 0) {
        std::fprintf(stderr, "qf: the engine could not bind its host\n");
        std::exit(kExitFailed);
    }
    // qf works where it was started, whatever the settings restored.
    if (::chdir(startDir_.c_str()) != 0) {
    }
    // This run's modes; the saved ones go back before the engine saves.
    savedFormat_ = qfenStatus->outputFormat;
    savedOverflow_ = qfenStatus->overflowMode;
    if (options.format) qfenStatus->outputFormat = options.format;
    if (options.overflow) qfenStatus->overflowMode = options.overflow;
    if (options.rounding) qfenStatus->roundingMode = options.rounding;
    // A command that did not run leaves no line in a recorded script.
    qfSetHostOption(QF_OPTION_RECORD_DONE_ONLY, 1);
    addOperationCommands();
    if (announce) std::printf("(a fresh engine runs this command)\n");
}

Session::~Session() {
    qfenStatus->outputFormat = savedFormat_;
    qfenStatus->overflowMode = savedOverflow_;
    closeGraphWindows();
    ExitQuillfen();
    delete block_;
    g_session = nullptr;
}

void Session::keepModes() {
    savedFormat_ = qfenStatus->outputFormat;
    savedOverflow_ = qfenStatus->overflowMode;
}

std::string Session::resolve(const std::string& path) const {
    if (path.empty()) return startDir_;
    if (path[0] == '/') return path;
    std::string p = path;
    while (p.rfind("./", 0) == 0) p = p.substr(2);
    return startDir_ + p;
}

void Session::setFile(nameNpath& entry, const std::string& path) const {
    std::string full = resolve(path);
    std::size_t slash = full.rfind('/');
    std::string dir = full.substr(0, slash + 1);
    std::string name = full.substr(slash + 1);
    if (name.size() >= sizeof entry.n || dir.size() >= sizeof entry.p)
        throw UsageError{"path too long: " + path};
    std::memset(&entry, 0, sizeof entry);
    std::memcpy(entry.n, name.c_str(), name.size());
    std::memcpy(entry.p, dir.c_str(), dir.size());
}

int Session::run(int32_t opCode, Fill fill) {
    CommandBlock& b = *block_;
    pendingFill = fill;
    dialogCalls = 0;
    errorMessages = 0;
    checkNamed = false;
    if (fill) fill(b);
    b.opCode = opCode;
    const int32_t r = RunOp(&b);
    finishPrints();
    pendingFill = nullptr;
    const QfRunState& state = *qfRunState();
    if (state.outcome == QF_RUN_INTERRUPTED || (interrupted() && state.outcome != QF_RUN_DONE)) {
        std::fprintf(stderr, "qf: interrupted\n");
        return kExitInterrupted;
    }
    if (r != 0 || state.outcome != QF_RUN_DONE || errorMessages > 0) return kExitFailed;
    return kExitOk;
}

// ---------------------------------------------------------------------------
// Files

std::string unreadableReason(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return std::strerror(errno);
    ::close(fd);
    return "";
}

std::string unwritableReason(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
    const std::string dir = path.substr(0, path.rfind('/') + 1);
    if (::stat(dir.empty() ? "." : dir.c_str(), &st) != 0) return std::strerror(errno);
    if (!S_ISDIR(st.st_mode)) return std::strerror(ENOTDIR);
    if (::access(dir.empty() ? "." : dir.c_str(), W_OK | X_OK) != 0) return std::strerror(errno);
    return "";
}

// ---------------------------------------------------------------------------
// Numbers and options

double parseNumber(const std::string& text, const std::string& what) {
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno == ERANGE)
        throw UsageError{"not a number for " + what + ": '" + text + "'"};
    return v;
}

int32_t parseInteger(const std::string& text, const std::string& what) {
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || v > INT32_MAX || v < INT32_MIN)
        throw UsageError{"not a whole number for " + what + ": '" + text + "'"};
    return static_cast<int32_t>(v);
}

Options::Options(const Args& args, const std::vector<OptionSpec>& specs) {
    bool optionsEnd = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnd || a.size() < 3 || a.rfind("--", 0) != 0) {
            if (a == "--" && !optionsEnd) {
                optionsEnd = true;
                continue;
            }
            positional.push_back(a);
            continue;
        }
        const std::size_t eq = a.find('=');
        const std::string written = a.substr(2, eq == std::string::npos ? eq : eq - 2);
        const OptionSpec* option = nullptr;
        for (const OptionSpec& s : specs) {
            if (s.name == written) option = &s;
            for (const std::string& alias : s.aliases)
                if (alias == written) option = &s;
        }
        if (option == nullptr) throw UsageError{"unknown option --" + written};
        if (has(option->name)) throw UsageError{"--" + option->name + " is given twice"};
        std::optional<std::string> value;
        if (eq != std::string::npos) {
            if (!option->takesValue) throw UsageError{"--" + option->name + " takes no value"};
            value = a.substr(eq + 1);
        } else if (option->takesValue) {
            if (i + 1 >= args.size()) throw UsageError{"missing value after --" + written};
            value = args[++i];
        }
        given_.emplace_back(option->name, value);
    }
}

Options::Options(const Args& args, std::initializer_list<const char*> flags)
    : Options(args, [&] {
          std::vector<OptionSpec> specs;
          for (const char* f : flags) specs.emplace_back(f, false);
          return specs;
      }()) {}

bool Options::has(const std::string& name) const {
    for (const auto& g : given_)
        if (g.first == name) return true;
    return false;
}

std::string Options::value(const std::string& name, const std::string& fallback) const {
    for (const auto& g : given_)
        if (g.first == name && g.second) return *g.second;
    return fallback;
}

double Options::number(const std::string& name, double fallback) const {
    return has(name) ? parseNumber(value(name), "--" + name) : fallback;
}

int32_t Options::integer(const std::string& name, int32_t fallback) const {
    return has(name) ? parseInteger(value(name), "--" + name) : fallback;
}

}  // namespace qfhost
