#include "support/test_host.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/engine.h"
#include "platform/platform.h"

namespace qf::test {

TestHost& TestHost::instance() {
    static TestHost host;
    return host;
}

void TestHost::reset() {
    calls_.clear();
    mark_ = 0;
    windows.clear();
    activeWindow = nullptr;
    windowWidth = 640;
    windowHeight = 480;
    textWidth = 8;
    textHeight = 16;
    closeSendsGrClose = true;
    nextWindow = 0x101;
    clientWidth = 800;
    clientHeight = 600;
    minimised.clear();
    iconHeight = 32;
    answers_.clear();
    entryTexts_.clear();
    promptAnswers_.clear();
    std::memset(keyState, 0, sizeof keyState);
    for (int32_t* table : {penColour, penLineType}) std::fill(table, table + 19, 0);
    for (int32_t* table : {fontType, fontStyle, fontSize}) std::fill(table, table + 5, 0);
}

void TestHost::answer(DialogAnswer a) {
    answers_.push_back(std::move(a));
}
void TestHost::answerOk() {
    answer([](CommandBlock&, const HostCall&) { return 0; });
}
void TestHost::answerCancel() {
    answer([](CommandBlock&, const HostCall&) { return 1; });
}

std::vector<HostCall> TestHost::callsNamed(const std::string& name) const {
    std::vector<HostCall> out;
    for (const HostCall& c : calls_)
        if (c.name == name) out.push_back(c);
    return out;
}

std::vector<std::string> TestHost::messages(int kind) const {
    std::vector<std::string> out;
    for (const HostCall& c : calls_)
        if (c.name == "stdEmitMsg" && (kind < 0 || c.args[0] == std::to_string(kind)))
            out.push_back(c.args[1]);
    return out;
}

std::string TestHost::lastMessage(int kind) const {
    auto m = messages(kind);
    return m.empty() ? std::string() : m.back();
}

std::vector<HostCall> TestHost::since(const std::string& name) const {
    std::vector<HostCall> out;
    for (std::size_t i = mark_; i < calls_.size(); ++i)
        if (calls_[i].name == name) out.push_back(calls_[i]);
    return out;
}

int TestHost::count(const std::string& name) const {
    int n = 0;
    for (const HostCall& c : calls_)
        if (c.name == name) ++n;
    return n;
}

int32_t TestHost::record(HostCall call, bool isDialog) {
    calls_.push_back(call);
    if (!isDialog) return 0;
    if (answers_.empty()) return 1;
    DialogAnswer a = std::move(answers_.front());
    answers_.pop_front();
    return a(qf::block(), calls_.back());
}

int32_t TestHost::entryBox(const char* prompt, char* buffer) {
    calls_.push_back({"scrEntryBox", {prompt ? prompt : ""}});
    if (entryTexts_.empty()) return 1;
    std::string t = entryTexts_.front();
    entryTexts_.pop_front();
    std::memcpy(buffer, t.c_str(), t.size() + 1);
    return 0;
}

int32_t TestHost::pickScriptFile(const char* prompt, nameNpath* entry) {
    calls_.push_back({"qfPickScriptFile", {prompt, entry->p, entry->n}});
    if (promptAnswers_.empty()) return -1;
    PromptAnswer a = promptAnswers_.front();
    promptAnswers_.pop_front();
    if (a.pressEscape) keyState[0x1B] = static_cast<int16_t>(0x8000);
    if (a.result == 0) setEntry(*entry, a.dir, a.text);
    return a.result;
}

int32_t TestHost::askScriptText(const char* prompt, char* answer, int32_t size) {
    calls_.push_back({"qfAskScriptText", {prompt}});
    if (promptAnswers_.empty()) return -1;
    PromptAnswer a = promptAnswers_.front();
    promptAnswers_.pop_front();
    if (a.result == 0) std::snprintf(answer, static_cast<std::size_t>(size), "%s", a.text.c_str());
    return a.result;
}

namespace {
// The folders made for tests, removed when the test program ends (kept
// when QF_KEEP_TEST_TMP is set, to look at after a failure).
struct TempDirs {
    std::vector<std::string> made;
    ~TempDirs() {
        if (std::getenv("QF_KEEP_TEST_TMP")) return;
        std::error_code ignored;
        for (const std::string& d : made) std::filesystem::remove_all(d, ignored);
    }
};
TempDirs& tempDirs() {
    static TempDirs dirs;
    return dirs;
}
}  // namespace

std::string makeTempDir() {
    const char* base = std::getenv("QF_TEST_TMP");
    std::string root = base && *base ? base : "/tmp";
    ::mkdir(root.c_str(), 0755);
    std::string tmpl = root + "/qftest-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    char* made = ::mkdtemp(buf.data());
    if (!made) return root + "/";
    tempDirs().made.push_back(made);
    return std::string(made) + "/";
}

namespace {
int16_t testKeyState(int key) {
    return TestHost::instance().keyState[key & 0xFF];
}
}  // namespace

int32_t startEngine(const std::string& home) {
    TestHost::instance().reset();
    const int32_t r = InitQuillfen(nullptr, home.c_str());
    platform::setKeyStateSource(testKeyState);  // after binding, which sets none
    return r;
}

void setEntry(nameNpath& e, const std::string& dir, const std::string& name) {
    std::memset(&e, 0, sizeof e);
    std::strncpy(e.p, dir.c_str(), sizeof e.p - 1);
    std::strncpy(e.n, name.c_str(), sizeof e.n - 1);
}

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << bytes;
}

bool fileExists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

std::vector<std::string> filesIn(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace qf::test
