#include "host/qf_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/test_host.h"

namespace qf::test {

namespace {

// Runs a shell command line with its output in files, then reads them.
QfResult runCaptured(const std::string& dir, const std::string& command) {
    const std::string out = dir + ".qf-stdout", err = dir + ".qf-stderr";
    const std::string cmd = "cd '" + dir + "' && " + command + " > '" + out + "' 2> '" + err + "'";
    QfResult r;
    const int st = std::system(cmd.c_str());
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.out = readFile(out);
    r.err = readFile(err);
    r.output = r.out + r.err;
    std::remove(out.c_str());
    std::remove(err.c_str());
    return r;
}

bool hasFileStarting(const std::string& dir, const std::string& marker) {
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return false;
    bool found = false;
    while (dirent* e = ::readdir(d))
        if (std::string(e->d_name).rfind(marker, 0) == 0) found = true;
    ::closedir(d);
    return found;
}

}  // namespace

void execQf(const std::string& dir, const std::string& home, const std::vector<std::string>& args) {
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    ::setenv("QF_HOME", home.c_str(), 1);
    std::string exe = QF_BUILD_DIR "/qf";
    std::vector<char*> argv = {exe.data()};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(exe.c_str(), argv.data());
    ::_exit(127);
}

QfResult runQf(const std::string& dir, const std::string& home, const std::string& args,
               const std::string& input) {
    std::string inFile = dir + ".qf-stdin";
    writeFile(inFile, input);
    QfResult r = runCaptured(
        dir, "QF_HOME='" + home + "' '" QF_BUILD_DIR "/qf' " + args + " < '" + inFile + "'");
    std::remove(inFile.c_str());
    return r;
}

QfResult runShell(const std::string& dir, const std::string& home, const std::string& script) {
    const std::string file = dir + ".qf-script.sh";
    writeFile(file, "set -e\n" + script);
    QfResult r = runCaptured(dir, "PATH='" QF_BUILD_DIR "':\"$PATH\" QF_HOME='" + home +
                                      "' bash '" + file + "' < /dev/null");
    std::remove(file.c_str());
    return r;
}

QfResult runQfInterrupted(const std::string& dir, const std::string& home,
                          const std::vector<std::string>& args, const std::string& marker,
                          const std::string& input) {
    // Kept beside the home, so that `dir` shows only what qf makes.
    const std::string in = home + "stdin.txt", out = home + "stdout.txt", err = home + "stderr.txt";
    writeFile(in, input);
    QfResult r;
    const pid_t pid = ::fork();
    if (pid < 0) return r;
    if (pid == 0) {
        const int fd0 = ::open(in.c_str(), O_RDONLY);
        const int fd1 = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int fd2 = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd0 < 0 || fd1 < 0 || fd2 < 0) ::_exit(126);
        ::dup2(fd0, 0);
        ::dup2(fd1, 1);
        ::dup2(fd2, 2);
        execQf(dir, home, args);
    }
    // Waits (at most 20 s) for the marker, then presses Ctrl-C.
    for (int i = 0; i < 2000 && !marker.empty() && !hasFileStarting(dir, marker); ++i)
        ::usleep(10000);
    ::kill(pid, SIGINT);
    int st = 0;
    ::waitpid(pid, &st, 0);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.out = readFile(out);
    r.err = readFile(err);
    r.output = r.out + r.err;
    for (const std::string* f : {&in, &out, &err}) std::remove(f->c_str());
    return r;
}

QfResult runQfOnTerminal(const std::string& dir, const std::string& home,
                         const std::vector<std::string>& args,
                         const std::vector<TerminalStep>& steps, int timeoutSeconds) {
    QfResult r;
    termios mode = {};  // every special character off but the two set below
    ::cfmakeraw(&mode);
    mode.c_iflag = ICRNL;
    mode.c_oflag = OPOST | ONLCR;
    mode.c_lflag = ICANON | ISIG;  // lines and Ctrl-C, no echo
    mode.c_cflag = CS8 | CREAD;
    mode.c_cc[VINTR] = 3;
    mode.c_cc[VEOF] = 4;
    mode.c_cc[VMIN] = 1;
    ::cfsetspeed(&mode, B38400);
    int master = -1;
    pid_t pid = ::forkpty(&master, nullptr, &mode, nullptr);
    if (pid < 0) return r;
    if (pid == 0) execQf(dir, home, args);
    // Reads what the program wrote; false when it has gone or stalled.
    auto readMore = [&]() {
        pollfd p = {master, POLLIN, 0};
        if (::poll(&p, 1, timeoutSeconds * 1000) <= 0) {
            r.output += "\n[timed out]";
            ::kill(pid, SIGKILL);
            return false;
        }
        char buf[4096];
        ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0) {  // its side of the terminal is closed (EIO)
            if (n < 0 && errno != EIO) r.output += "\n[read: " + std::to_string(errno) + "]";
            return false;
        }
        r.output.append(buf, static_cast<std::size_t>(n));
        r.out = r.output;
        return true;
    };
    std::size_t seen = 0;
    bool alive = true;
    for (const TerminalStep& step : steps) {
        std::size_t at;
        while (alive && (at = r.output.find(step.await, seen)) == std::string::npos)
            alive = readMore();
        if (!alive) break;
        seen = at + step.await.size();
        if (::write(master, step.type.data(), step.type.size()) < 0) break;
    }
    while (alive) alive = readMore();
    ::close(master);
    int st = 0;
    ::waitpid(pid, &st, 0);
    if (WIFSIGNALED(st)) r.output += "\n[signal " + std::to_string(WTERMSIG(st)) + "]";
    if (r.output.find("[timed out]") == std::string::npos)
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

}  // namespace qf::test
