// A script that stays in its folder: every '/' but that of a folder field
// "./" becomes '_', and so does every '\'.  The script fuzz target and its
// regression tests replay inputs through this.
#pragma once

#include <string>

namespace qf::fuzz {

inline std::string confinedScript(std::string s) {
    auto blank = [&](std::size_t i) {
        return s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n';
    };
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\') s[i] = '_';
        if (s[i] != '/') continue;
        const bool dotSlash = i > 0 && s[i - 1] == '.' && (i < 2 || blank(i - 2)) &&
                              (i + 1 == s.size() || blank(i + 1));
        if (!dotSlash) s[i] = '_';
    }
    return s;
}

}  // namespace qf::fuzz
