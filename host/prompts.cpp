// Terminal prompts during a script replay: the file a script line asks for
// ("?Prompt" as its directory) and the answers to its "?$Prompt" tokens.
// They ask only when standard input is a terminal; otherwise the engine
// keeps its defaults and nothing waits.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/callbacks.h"
#include "quillfen/quillfen.h"

namespace qfhost {

constexpr std::size_t kMaxTerminalLine = 4096;  // the rest of a longer line is dropped

// The terminal hands over whole lines, so reading byte by byte from the
// descriptor leaves nothing behind in stdio's buffer.  Waiting in short
// steps notices a Ctrl-C that came just before the wait began.
TerminalRead readTerminalLine(std::string& text) {
    text.clear();
    for (;;) {
        if (interrupted()) return TerminalRead::Interrupted;
        pollfd p = {0, POLLIN, 0};
        const int ready = ::poll(&p, 1, 100);
        if (ready < 0 && errno != EINTR) return TerminalRead::End;
        if (ready <= 0) continue;
        char c;
        const ssize_t n = ::read(0, &c, 1);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return TerminalRead::End;
        }
        if (n == 0) return text.empty() ? TerminalRead::End : TerminalRead::Line;
        if (c == '\n') break;
        if (text.size() < kMaxTerminalLine) text.push_back(c);
    }
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return TerminalRead::Line;
}

namespace {

std::string trimmed(const std::string& t) {
    std::size_t b = t.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    std::size_t e = t.find_last_not_of(" \t");
    return t.substr(b, e - b + 1);
}

// As the engine judges it: a '.' with something after it.
bool hasExtension(const char* name) {
    const char* dot = std::strrchr(name, '.');
    return dot != nullptr && dot[1] != '\0';
}

}  // namespace

}  // namespace qfhost

extern "C" {

// Asks for a file name; Enter keeps the name the script wrote (when it has
// an extension), an empty answer without one or Ctrl-D gives none.  A name
// without a folder is in the script's folder; a relative folder is taken
// from there too (the replay runs in the script's folder).
QF_EXPORT int32_t qfPickScriptFile(const char* prompt, nameNpath* entry) {
    if (!::isatty(0) || entry == nullptr) return -1;
    const bool keep = qfhost::hasExtension(entry->n);
    for (;;) {
        const std::string shown = qfhost::printable(prompt ? prompt : "File");
        if (keep)
            std::printf("%s [%s]: ", shown.c_str(), qfhost::printable(entry->n).c_str());
        else
            std::printf("%s: ", shown.c_str());
        std::fflush(stdout);
        std::string answer;
        if (qfhost::readTerminalLine(answer) != qfhost::TerminalRead::Line) {
            std::printf("\n");
            return 1;
        }
        answer = qfhost::trimmed(answer);
        if (answer.empty()) return keep ? 0 : 1;
        std::size_t slash = answer.rfind('/');
        std::string dir = slash == std::string::npos ? "" : answer.substr(0, slash + 1);
        std::string name = slash == std::string::npos ? answer : answer.substr(slash + 1);
        if (!dir.empty() && dir[0] != '/') dir = std::string(entry->p) + dir;
        if (dir.empty()) dir = entry->p;
        if (name.empty() || name.size() >= sizeof entry->n || dir.size() >= sizeof entry->p) {
            std::fprintf(stderr, "qf: '%s' is not a file name the engine can take\n",
                         qfhost::printable(answer.c_str()).c_str());
            continue;
        }
        std::memset(entry, 0, sizeof *entry);
        std::memcpy(entry->n, name.c_str(), name.size());
        std::memcpy(entry->p, dir.c_str(), dir.size());
        return 0;
    }
}

// Asks for the text of a "?$" token; Ctrl-D or Ctrl-C cancels the replay.
QF_EXPORT int32_t qfAskScriptText(const char* prompt, char* answer, int32_t size) {
    if (!::isatty(0) || answer == nullptr || size <= 0) return -1;
    std::string text;
    do {
        std::printf("%s: ", qfhost::printable(prompt ? prompt : "Value").c_str());
        std::fflush(stdout);
        if (qfhost::readTerminalLine(text) != qfhost::TerminalRead::Line) {
            std::printf("\n");
            return 1;
        }
        text = qfhost::trimmed(text);
    } while (text.empty());
    std::size_t n = text.size() < static_cast<std::size_t>(size) ? text.size() : size - 1;
    std::memcpy(answer, text.c_str(), n);
    answer[n] = '\0';
    return 0;
}

}  // extern "C"
