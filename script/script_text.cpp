#include "script/script_text.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "signal/numfmt.h"

namespace qf {

std::string scriptWord(const char* text) {
    std::string s(text);
    for (char& c : s)
        if (c == ' ') c = '*';
    return s;
}

std::string scriptEntry(const nameNpath& file) {
    return scriptWord(file.p) + " " + scriptWord(file.n);
}

void unescapeEntry(nameNpath& file) {
    for (char& c : file.n)
        if (c == '*') c = ' ';
    for (char& c : file.p)
        if (c == '*') c = ' ';
}

ScriptFields::ScriptFields(const char* line) : p_(line ? line : "") {}

void ScriptFields::skipSpace() {
    while (*p_ && std::isspace(static_cast<unsigned char>(*p_))) ++p_;
}

bool ScriptFields::skipCodeAndName() {
    skipSpace();
    char* end = nullptr;
    std::strtol(p_, &end, 10);
    if (end == p_) return false;
    p_ = end;
    skipSpace();
    if (!*p_) return false;
    while (*p_ && !std::isspace(static_cast<unsigned char>(*p_))) ++p_;
    return true;
}

bool ScriptFields::word(char* dest, std::size_t size) {
    skipSpace();
    if (!*p_) return false;
    std::size_t n = 0;
    while (p_[n] && !std::isspace(static_cast<unsigned char>(p_[n]))) ++n;
    if (n + 1 > size) {
        overflow_ = true;
        return false;
    }
    std::memcpy(dest, p_, n);
    dest[n] = '\0';
    p_ += n;
    ++converted_;
    return true;
}

bool ScriptFields::entry(nameNpath& file) {
    return word(file.p, sizeof file.p) && word(file.n, sizeof file.n);
}

bool ScriptFields::number(double& value) {
    skipSpace();
    if (!*p_) return false;
    // As "%lg" reads it, but the same whatever locale the host has set.
    const char* end = parseReal(p_, p_ + std::strlen(p_), value);
    if (end == nullptr) return false;
    p_ = end;
    ++converted_;
    return true;
}

bool ScriptFields::integer(int32_t& value) {
    skipSpace();
    if (!*p_) return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(p_, &end, 10);
    if (end == p_) return false;
    if (errno == ERANGE || v > INT32_MAX || v < INT32_MIN) v = v < 0 ? INT32_MIN : INT32_MAX;
    value = static_cast<int32_t>(v);
    p_ = end;
    ++converted_;
    return true;
}

bool ScriptFields::character(char& c) {
    skipSpace();
    return rawChar(c);
}

bool ScriptFields::rawChar(char& c) {
    if (!*p_) return false;
    c = *p_++;
    ++converted_;
    return true;
}

}  // namespace qf
