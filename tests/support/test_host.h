// The recording test host: the test executable exports the 73 host
// callbacks; each call is recorded with its arguments, and dialogs are
// answered from a queue the test sets up.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "quillfen/quillfen.h"

namespace qf::test {

struct HostCall {
    std::string name;
    std::vector<std::string> args;  // every argument as text
};

// A dialog answer: may edit the command block; returns the host's result
// (0 = OK, nonzero = cancelled).
using DialogAnswer = std::function<int32_t(CommandBlock& block, const HostCall& call)>;

class TestHost {
  public:
    static TestHost& instance();

    void reset();
    // Answers the next dialog (any file picker or parameter dialog, and the
    // script entry box) in the order queued.  An empty queue cancels.
    void answer(DialogAnswer a);
    // Convenience: answer OK after filling nothing.
    void answerOk();
    void answerCancel();

    const std::vector<HostCall>& calls() const { return calls_; }
    std::vector<HostCall> callsNamed(const std::string& name) const;
    // Texts of stdEmitMsg calls of a kind (-1 = every kind).
    std::vector<std::string> messages(int kind = -1) const;
    std::string lastMessage(int kind = -1) const;
    int count(const std::string& name) const;

    // Answers of the script replay's prompts ('?' file entries and "?$"
    // tokens) in the order queued: the result, the text (a file name or
    // the answer) and for files a directory; pressEscape holds Esc down from
    // then on.  With none queued the host does not ask (-1).
    void promptAnswer(int32_t result, const std::string& text = "", const std::string& dir = "",
                      bool pressEscape = false) {
        promptAnswers_.push_back({result, text, dir, pressEscape});
    }
    int32_t pickScriptFile(const char* prompt, nameNpath* entry);
    int32_t askScriptText(const char* prompt, char* answer, int32_t size);

    // Entry box text for the next scrEntryBox answer.
    void entryText(const std::string& text) { entryTexts_.push_back(text); }

    // Called by the exported callbacks.
    int32_t record(HostCall call, bool isDialog);
    int32_t entryBox(const char* prompt, char* buffer);

    // Graph windows: DoCreateGraphWindow makes one (handles 0x101, 0x102,
    // ...) of windowWidth x windowHeight and tells the engine; the newest is
    // the active one.  DoCloseGraphWindow closes it as a window system
    // would, sending grCLOSE, unless closeSendsGrClose is off.  Text is
    // textWidth pixels a character and textHeight high in every font.
    struct Window {
        QfWindow handle;
        PlotData* graph;
        std::string title;
    };
    std::vector<Window> windows;
    QfWindow activeWindow = nullptr;
    int32_t windowWidth = 640, windowHeight = 480;
    int32_t textWidth = 8, textHeight = 16;
    bool closeSendsGrClose = true;
    int32_t nextWindow = 0x101;
    // Tiling services (the optional qf... exports): the shared area and the
    // windows shown minimised.
    int32_t clientWidth = 800, clientHeight = 600;
    std::vector<QfWindow> minimised;
    int32_t iconHeight = 32;
    QfWindow window(std::size_t i) const {
        return i < windows.size() ? windows[i].handle : nullptr;
    }
    // Arguments of the drawing calls a graph made since the last mark(),
    // by name.
    void mark() { mark_ = calls_.size(); }
    std::vector<HostCall> since(const std::string& name) const;

    int32_t penColour[19] = {};
    int32_t penLineType[19] = {};
    int32_t fontType[5] = {};
    int32_t fontStyle[5] = {};
    int32_t fontSize[5] = {};
    int16_t keyState[256] = {};

  private:
    std::vector<HostCall> calls_;
    std::size_t mark_ = 0;
    std::deque<DialogAnswer> answers_;
    std::deque<std::string> entryTexts_;
    struct PromptAnswer {
        int32_t result;
        std::string text, dir;
        bool pressEscape;
    };
    std::deque<PromptAnswer> promptAnswers_;
};

// A fresh temporary directory (ending with '/') for one test, removed with
// everything in it when the test program ends.
std::string makeTempDir();
// Starts the engine with the test executable as host and `home` as home
// directory; resets the recording host first.
int32_t startEngine(const std::string& home);
// Fills a file entry.
void setEntry(nameNpath& e, const std::string& dir, const std::string& name);
// Whole file as bytes.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);
// The names of the files in a folder, sorted.
std::vector<std::string> filesIn(const std::string& dir);

}  // namespace qf::test
