// Analysis windows on the command line: qf fft and qf window.
#include <cctype>
#include <string>

#include "host/qf.h"

namespace qfhost {

namespace {

// The analysis windows by number, as the engine names them in frame
// spectrum headers ("Window function       : Hanning").
constexpr const char* kWindowNames[] = {
    "Rectangular",   "Hanning",      "Blackman",     "Exact_Blackman",
    "Hamming",       "Min_3-terms",  "Min_4-terms",  "Gaussian(3.0)",
    "Gaussian(3.5)", "Poisson(3.0)", "Poisson(4.0)", "Cauchy(4.0)",
    "Cauchy(5.0)",   "Kaiser(3.0)",  "Kaiser(3.5)",  "Triangular",
};
constexpr int32_t kWindowCount = static_cast<int32_t>(sizeof kWindowNames / sizeof *kWindowNames);

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
