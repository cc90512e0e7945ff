// The settings file "quillfen.sav" (see settings.h).
//
// Saving never leaves a half-written file where another run could read it:
// the lines go to a temporary file in the home folder, which is synced and
// renamed over "quillfen.sav" while an advisory lock on "quillfen.lck"
// keeps cooperating runs from saving at the same moment.  A run that reads
// the file meanwhile sees the old or the new one, whole.
//
// Loading checks the FFT settings (lines 27 to 29): a window number of the
// window table, a size the host's FFT takes, an interval of 32 bits, each
// as hexadecimal digits alone on its line.  A line that is there but holds
// something else gives its default and one warning naming it.
#include "core/settings.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/engine.h"
#include "core/host.h"
#include "core/log.h"
#include "graph/seams.h"
#include "ops/spectral/fft_op.h"
#include "platform/fs.h"
#include "signal/access.h"
#include "signal/format.h"
#include "signal/numfmt.h"

extern "C" char* stdHomePath(const char* name);

namespace qf {

namespace {

constexpr const char* kSettingsName = "quillfen.sav";
constexpr const char* kLockName = "quillfen.lck";
constexpr int kLockWaitMs = 5000;  // then the save goes ahead without the lock

// What the settings file has told the user while the library is loaded.
struct SettingsNotices {
    bool saveFailureShown = false;
    static constexpr Lifetime kLifetime = Lifetime::Load;
};

// A hexadecimal word standing alone on its line (blanks around it), at most
// eight digits: its 32-bit pattern.
bool hexWordLine(const char* line, int32_t& value) {
    const char* p = line;
    while (*p == ' ' || *p == '\t') ++p;
    uint32_t v = 0;
    int digits = 0;
    for (; std::isxdigit(static_cast<unsigned char>(*p)); ++p, ++digits) {
        const int d = std::isdigit(static_cast<unsigned char>(*p))
                          ? *p - '0'
                          : std::tolower(static_cast<unsigned char>(*p)) - 'a' + 10;
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    while (*p == ' ' || *p == '\t') ++p;
    if (digits < 1 || digits > 8 || *p != '\0') return false;
    value = static_cast<int32_t>(v);
    return true;
}

// One of the FFT settings (lines 27-29): the line's value when it is a
// usable one, else the default, with a warning when the line was there.
int32_t checkedFftSetting(bool have, const char* line, int lineNumber, const char* what,
                          bool (*usable)(int32_t), int32_t fallback) {
    int32_t v = 0;
    if (have && hexWordLine(line, v) && usable(v)) return v;
    if (have)
        emitMsg(QF_MSG_NOTICE,
                "The settings file %s holds \"%.40s\" on line %d, which is not %s; %d is used.",
                stdHomePath(kSettingsName), line, lineNumber, what, fallback);
    return fallback;
}

bool usableWindow(int32_t w) {
    return w >= 0 && w < kWindowCount;
}
bool usableFftSize(int32_t n) {
    return fftSizeAccepted(n, true);
}
bool anyInterval(int32_t) {
    return true;  // every 32-bit interval has a meaning (0 and below: one frame)
}

// One line of at most 1023 characters; CR LF or LF; false at end of file.
bool readLine(std::FILE* f, char* line, std::size_t size) {
    if (!platform::readLine(f, line, size)) return false;
    std::size_t len = std::strlen(line);
    if (len > 0 && line[len - 1] != '\n') {
        // Over-long line: drop the rest of it.
        int c;
        while ((c = platform::readChar(f)) != EOF && c != '\n') {
        }
    }
    while (len > 0 && (line[len - 1] == '\n' || line[len - 1] == '\r')) line[--len] = '\0';
    return true;
}

// Reads up to n integers in the given base from text, starting at *pos and
// advancing it; stops at the first field that does not convert.  Decimal
// values are clamped to 32 bits, hexadecimal ones are 32-bit patterns.
// Returns the number converted.
int scanIntsAt(const char** pos, int base, int32_t* out, int n) {
    const char* p = *pos;
    int count = 0;
    while (count < n) {
        while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
        if (!*p) break;
        char* end = nullptr;
        errno = 0;
        int32_t value = 0;
        if (base == 16) {
            unsigned long long u = std::strtoull(p, &end, 16);
            if (end == p || *p == '-') break;
            value = static_cast<int32_t>(static_cast<uint32_t>(u));
        } else {
            long long v = std::strtoll(p, &end, 10);
            if (end == p) break;
            if (errno == ERANGE || v > INT32_MAX || v < INT32_MIN)
                v = v < 0 ? INT32_MIN : INT32_MAX;
            value = static_cast<int32_t>(v);
        }
        out[count++] = value;
        p = end;
    }
    *pos = p;
    return count;
}

int scanInts(const char* text, int base, int32_t* out, int n) {
    return scanIntsAt(&text, base, out, n);
}

// Reads up to n non-blank characters separated by white space.
int scanChars(const char* text, char* out, int n) {
    const char* p = text;
    int count = 0;
    while (count < n) {
        while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
        if (!*p) break;
        out[count++] = *p++;
    }
    return count;
}

void setFallbacks() {
    BoardSettings& b = board();
    StatusRecord& s = status();
    b.boardPresent = b.acceleratorOn = b.thirdSetting = 0;
    s.restoredSetting = s.noticeSetting = 0;
    s.outputFormat = 'b';
    s.overflowMode = 's';
    s.logWindowShown = 'y';
    s.fftWindow = 0;
    s.fftSize = 1024;
    s.fftInterval = 1024;
}

// The graph layer's default pens and fonts, handed to the host.
void setGraphDefaults() {
    initGraphDefaultColour(1);
    initGraphDefaultLineType();
    initGraphDefaultFontTypes();
    initGraphDefaultFontStyles();
    initGraphDefaultFontSizes();
}

void readSettingsFile(std::FILE* f) {
    BoardSettings& b = board();
    StatusRecord& s = status();
    EngineRuntime& rt = runtime();
    char line[1024];

    // Line 1: board switches and the two status settings.
    int32_t v[5] = {};
    bool have = readLine(f, line, sizeof line);
    const char* pos = line;
    if (have && scanIntsAt(&pos, 16, v, 1) == 1 && scanIntsAt(&pos, 10, v + 1, 4) == 4) {
        b.boardPresent = v[0];
        b.acceleratorOn = v[1];
        b.thirdSetting = v[2];
        s.restoredSetting = v[3];
        s.noticeSetting = v[4];
    } else {
        b.boardPresent = b.acceleratorOn = b.thirdSetting = 0;
        s.restoredSetting = s.noticeSetting = 0;
    }

    // Line 2: output format, overflow mode, log window.
    char c[3];
    have = have && readLine(f, line, sizeof line);
    if (have && scanChars(line, c, 3) == 3) {
        s.outputFormat = (c[0] == 'a' || c[0] == 'b') ? c[0] : 'b';
        s.overflowMode = (c[1] == 's' || c[1] == 'w') ? c[1] : 's';
        s.logWindowShown = c[2];
    } else {
        s.outputFormat = 'b';
        s.overflowMode = 's';
        s.logWindowShown = 'y';
    }

    // Lines 3-21 pens, 22-26 fonts: stored by position; fields that do not
    // convert keep their former values.
    for (int i = 0; i < kPenCount; ++i) {
        have = have && readLine(f, line, sizeof line);
        if (!have) break;
        int32_t p[3];
        int n = scanInts(line, 10, p, 3);
        if (n > 1) graphStyle().penColour[i] = p[1];
        if (n > 2) graphStyle().penLineType[i] = p[2];
    }
    for (int i = 0; i < kFontCount; ++i) {
        have = have && readLine(f, line, sizeof line);
        if (!have) break;
        int32_t p[4];
        int n = scanInts(line, 10, p, 4);
        if (n > 1) graphStyle().fontType[i] = p[1];
        if (n > 2) graphStyle().fontStyle[i] = p[2];
        if (n > 3) graphStyle().fontSize[i] = p[3];
    }
    for (int i = 0; i < kPenCount; ++i)
        logPrintf("PenNumber = %3d, PenColor = %3d, PenStyle = %3d\n", i, graphStyle().penColour[i],
                  graphStyle().penLineType[i]);
    for (int i = 0; i < kFontCount; ++i)
        logPrintf("FontNumber = %3d, Font = %3d, FontStyle = %3d, FontSize = %3d\n", i,
                  graphStyle().fontType[i], graphStyle().fontStyle[i], graphStyle().fontSize[i]);
    handOverGraphStyle();

    // Lines 27-29: FFT window number, size and frame interval.
    have = have && readLine(f, line, sizeof line);
    s.fftWindow = checkedFftSetting(have, line, 27, "a window number (0 to 15)", usableWindow, 0);
    have = have && readLine(f, line, sizeof line);
    s.fftSize = checkedFftSetting(have, line, 28, "an FFT size (a power of two from 32 to 1048576)",
                                  usableFftSize, 1024);
    have = have && readLine(f, line, sizeof line);
    s.fftInterval = checkedFftSetting(have, line, 29, "a frame interval (at most 8 hex digits)",
                                      anyInterval, 1024);

    // Line 30: the Control Center values.
    int32_t cc[3];
    have = have && readLine(f, line, sizeof line);
    if (have && scanInts(line, 16, cc, 3) == 3) {
        std::memcpy(rt.controlCenter, cc, sizeof cc);
    } else {
        rt.controlCenter[0] = 9;
        rt.controlCenter[1] = 6;
        rt.controlCenter[2] = 2;
    }

    // Line 31: the working directory (one word).
    have = have && readLine(f, line, sizeof line);
    if (have) {
        char dir[QF_PATH_LEN] = {};
        const char* p = line;
        while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
        std::size_t n = 0;
        while (p[n] && !std::isspace(static_cast<unsigned char>(p[n])) && n < sizeof dir - 1) {
            dir[n] = p[n];
            ++n;
        }
        if (n > 0) {
            logPrintf("OP     scratch = %s\n", dir);
            stdSetCurrentDir(dir);
        }
    }
    // Line 32: four reserved integers, read and ignored.
}

}  // namespace

GraphStyle& graphStyle() {
    return familyState<GraphStyle>();
}

int32_t loadSettings() {
    StatusRecord& s = status();
    s.busy = 'n';
    s.scriptRunning = 'n';
    s.scriptRecording = 'n';
    s.roundingMode = 'e';

    openEngineLog();

    const platform::OwnedFile f{platform::openFile(stdHomePath("quillfen.sav"), "rb")};
    if (f == nullptr) {
        setFallbacks();
        setGraphDefaults();
    } else {
        readSettingsFile(f.get());
    }

    // Realtime display fields, in record order.
    s.rtUnused1 = 1;
    s.rtBoardBufferLength = 512;
    s.rtScopeCount = 512;
    s.rtScopeOffset = 0;
    s.rtSpectrumCount = 512;
    s.rtSpectrumOffset = 0;
    s.rtInputRangeTop = 1.0f;
    s.rtInputRangeBottom = -1.0f;
    s.rtDbRangeTop = 0.0f;
    s.rtDbRangeBottom = -70.0f;
    s.rtUnused2 = 0;
    s.rtScopeGain = 1.0f;
    s.rtScopeShift = 0.0f;
    s.rtSpectrumGain = 1.0f;
    s.rtSpectrumShift = 0.0f;

    if (loadPalette() != 0) return 1;
    if (s.logWindowShown != 'y') hostcall::stdLogWinOpen('h');
    return 0;
}

namespace {

// The settings as the lines of the file.
std::string settingsText() {
    BoardSettings& b = board();
    StatusRecord& s = status();
    EngineRuntime& rt = runtime();
    hostcall::DoGetPenInfo(graphStyle().penColour, graphStyle().penLineType);
    hostcall::DoGetFontInfo(graphStyle().fontType, graphStyle().fontStyle, graphStyle().fontSize);
    std::string t;
    t += fmtString("%04X %d %d %d %d\r\n", static_cast<unsigned>(b.boardPresent), b.acceleratorOn,
                   b.thirdSetting, s.restoredSetting, s.noticeSetting);
    t += fmtString("%c %c %c\r\n", s.outputFormat, s.overflowMode, s.logWindowShown);
    for (int i = 0; i < kPenCount; ++i)
        t += fmtString(" %d %d %d \r\n", i, graphStyle().penColour[i], graphStyle().penLineType[i]);
    for (int i = 0; i < kFontCount; ++i)
        t += fmtString("%d %d %d %d \r\n", i, graphStyle().fontType[i], graphStyle().fontStyle[i],
                       graphStyle().fontSize[i]);
    t += fmtString("%04X\r\n", static_cast<unsigned>(s.fftWindow));
    t += fmtString("%08X\r\n", static_cast<unsigned>(s.fftSize));
    t += fmtString("%08X\r\n", static_cast<unsigned>(s.fftInterval));
    t += fmtString("%X %X %X\r\n", static_cast<unsigned>(rt.controlCenter[0]),
                   static_cast<unsigned>(rt.controlCenter[1]),
                   static_cast<unsigned>(rt.controlCenter[2]));
    char dir[QF_PATH_LEN] = {};
    stdGetCurrentDir(dir, sizeof dir);
    t += fmtString("%s\r\n", dir);
    t += fmtString("%d %d %d %d\r\n", 0, 0, 0, 0);
    return t;
}

// Writes the settings file whole, or leaves the one there as it was.  Null
// on success, else why it failed.
const char* writeSettingsFile(const std::string& text) {
    const std::string home = runtime().homeDir;
    if (!home.empty() && !platform::makeDirectories(home.c_str()))
        return "the home folder cannot be made";
    const std::string target = stdHomePath(kSettingsName);
    const platform::FileLock lock(stdHomePath(kLockName), kLockWaitMs);
    const std::string temporary =
        target + fmtString(".%u.tmp", static_cast<unsigned>(platform::processId()));
    platform::OwnedFile f{platform::openFile(temporary.c_str(), "wb")};
    if (f == nullptr) return "a file cannot be created there";
    const bool written = platform::writeText(f.get(), text) && platform::syncFile(f.get());
    if (!platform::closeFile(f.release()) || !written) {
        platform::removeFile(temporary.c_str());
        return "the file cannot be written";
    }
    if (!platform::replaceFile(temporary.c_str(), target.c_str())) {
        platform::removeFile(temporary.c_str());
        return "the file cannot be replaced";
    }
    return nullptr;
}

}  // namespace

void saveSettings() {
    if (const char* why = writeSettingsFile(settingsText())) {
        // A home folder that is a file, read-only or cannot be made: said
        // once while the library is loaded.
        // Every failure goes to the log, unless that is the standard error
        // stream the user reads already.
        if (!runtime().logIsStderr)
            logPrintf("The settings could not be saved in %s: %s.\n", runtime().homeDir, why);
        SettingsNotices& notices = familyState<SettingsNotices>();
        if (!notices.saveFailureShown) {
            notices.saveFailureShown = true;
            emitMsg(QF_MSG_NOTICE, "The settings could not be saved in %s: %s.", runtime().homeDir,
                    why);
        }
    }
    releaseWorkingStorage();
    closeEngineLog();
}

}  // namespace qf
