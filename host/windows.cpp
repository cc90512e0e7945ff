// Analysis windows on the command line: qf fft and qf window.
#include <cctype>
#include <string>

#include "host/qf.h"
#include "signal/format.h"

namespace qfhost {

namespace {

using qf::kWindowCount;
using qf::kWindowNames;

bool sameNoCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && b[i] == '\0';
}

std::string windowList() {
    std::string t;
    for (int32_t w = 0; w < kWindowCount; ++w) {
        if (w > 0) t += ", ";
        t += std::to_string(w) + " " + kWindowNames[w];
    }
    return t;
}

}  // namespace

int32_t windowFromText(const std::string& text) {
    for (int32_t w = 0; w < kWindowCount; ++w)
        if (sameNoCase(text, kWindowNames[w])) return w;
    const bool number = !text.empty() && (std::isdigit(static_cast<unsigned char>(text[0])) ||
                                          (text[0] == '-' && text.size() > 1));
    if (number) {
        const int32_t w = parseInteger(text, "--window");
        if (w >= 0 && w < kWindowCount) return w;
    }
    throw UsageError{"unknown window '" + text + "'; windows are " + windowList()};
}

}  // namespace qfhost
