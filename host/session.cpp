#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "host/draw.h"
#include "host/qf.h"

namespace qfhost {

namespace {
Session* g_session = nullptr;

std::string homeDirectory() {
    if (const char* h = std::getenv("QF_HOME"); h && *h) {
        std::string s = h;
        if (s.back() != '/') s += '/';
        ::mkdir(s.c_str(), 0755);
        return s;
    }
    std::string base = std::getenv("HOME") ? std::getenv("HOME") : "/tmp";
    std::string s = base + "/.quillfen/";
    ::mkdir(s.c_str(), 0755);
    return s;
}

std::string currentDirectory() {
    char buf[4096];
    if (!::getcwd(buf, sizeof buf)) return "/";
    std::string s = buf;
    if (s.back() != '/') s += '/';
    return s;
}
}  // namespace

Session& currentSession() {
    return *g_session;
}

Session::Session(bool announce) : block_(new CommandBlock{}) {
    startDir_ = currentDirectory();
    g_session = this;
    std::string home = homeDirectory();
    if (InitQuillfen(nullptr, home.c_str()) != 0) {
        std::fprintf(stderr, "qf: the engine could not bind its host\n");
        std::exit(1);
    }
    // qf works where it was started, whatever the settings restored.
    if (::chdir(startDir_.c_str()) != 0) {
    }
    addOperationCommands();
    if (announce) std::printf("(a fresh engine runs this command)\n");
}

Session::~Session() {
    closeGraphWindows();
    ExitQuillfen();
    delete block_;
    g_session = nullptr;
}

std::string Session::resolve(const std::string& path) const {
    if (path.empty()) return startDir_;
    if (path[0] == '/') return path;
    std::string p = path;
    if (p.rfind("./", 0) == 0) p = p.substr(2);
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
    if (fill) fill(b);
    b.opCode = opCode;
    int32_t r = RunOp(&b);
    finishPrints();
    pendingFill = nullptr;
    if (r != 0 || errorMessages > 0) return 1;
    return 0;
}

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

Options::Options(const Args& args, const std::vector<std::string>& flags,
                 const std::vector<std::string>& valueOptions)
    : flags_() {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 2 && a.rfind("--", 0) == 0) {
            std::string name = a.substr(2);
            bool isFlag = false;
            for (const std::string& f : flags)
                if (f == name) isFlag = true;
            bool isValue = false;
            for (const std::string& v : valueOptions)
                if (v == name) isValue = true;
            if (isFlag) {
                flags_.push_back(name);
            } else if (!isValue) {
                throw UsageError{"unknown option " + a};
            } else {
                if (i + 1 >= args.size()) throw UsageError{"missing value after " + a};
                values_.emplace_back(name, args[++i]);
            }
        } else {
            positional.push_back(a);
        }
    }
}

bool Options::has(const std::string& name) const {
    for (const std::string& f : flags_)
        if (f == name) return true;
    for (const auto& v : values_)
        if (v.first == name) return true;
    return false;
}

std::string Options::value(const std::string& name, const std::string& fallback) const {
    for (const auto& v : values_)
        if (v.first == name) return v.second;
    return fallback;
}

double Options::number(const std::string& name, double fallback) const {
    for (const auto& v : values_)
        if (v.first == name) return parseNumber(v.second, "--" + name);
    return fallback;
}

int32_t Options::integer(const std::string& name, int32_t fallback) const {
    for (const auto& v : values_)
        if (v.first == name) return parseInteger(v.second, "--" + name);
    return fallback;
}

}  // namespace qfhost
