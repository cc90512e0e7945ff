// The built operation table against the committed list of every registered
// operation (tests/core/operations.table): script name and blanks, command,
// files and the multi-channel refusal, parameter layout, script fields,
// displays, name proposal and flags.  A code dropped from a policy or a
// misspelt script name fails here.
//
// One line per code:
//   CODE "SCRIPT NAME" BLANKS cmd=NAME files=ENTRY:KINDS:FLAGS,...
//   params=NAME:TYPE@OFFSET:FLAGS,... script=FIELD,... show=KIND/ENTRIES
//   propose=RULE flags=... realtime=RULE
// KINDS: t time, f frames, c filter, l lpc, s script, x foreign.  FLAGS of a
// file: i input, o output, ? optional, 1 a multi-channel recording is refused,
// * a list.
// TYPE: i int32, d double, c char, n noise.  FLAGS of a parameter: r
// required, m remembered, s switches, f fixed, # the count of a list.  A
// script field in parentheses is a parameter the line does not carry.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "core/operation.h"
#include "support/engine_test.h"

using namespace qf;

namespace {

const char* entryName(int32_t e) {
    static const char* const kNames[] = {"in1", "in2", "out", "out2", "out3"};
    return e >= 0 && e < 5 ? kNames[e] : "?";
}

std::string kinds(int32_t k) {
    std::string s;
    const char* letters = "tfclsx";
    for (int i = 0; i < 6; ++i)
        if (k & (1 << i)) s += letters[i];
    return s;
}

std::string describeFile(const QfFileInfo& f) {
    std::string flags;
    if (f.flags & QF_FILE_INPUT) flags += 'i';
    if (f.flags & QF_FILE_OUTPUT) flags += 'o';
    if (f.flags & QF_FILE_OPTIONAL) flags += '?';
    if (f.flags & QF_FILE_SINGLE_CHANNEL) flags += '1';
    if (f.flags & QF_FILE_LIST) flags += '*';
    return std::string(entryName(f.entry)) + ":" + kinds(f.kinds) + ":" + flags;
}

std::string describeParam(const ParamSpec& p) {
    const char* types = "?idcn";
    std::string flags;
    if (p.info.flags & QF_PARAM_REQUIRED) flags += 'r';
    if (p.info.flags & QF_PARAM_REMEMBERED) flags += 'm';
    if (p.info.flags & QF_PARAM_SWITCHES) flags += 's';
    if (p.info.flags & QF_PARAM_FIXED) flags += 'f';
    if (p.info.flags & QF_PARAM_COUNT) flags += '#';
    return std::string(p.info.name) + ":" + types[p.info.type & 7] + "@" +
           std::to_string(p.info.offset) + ":" + flags;
}

std::string describeField(const OperationDescription& d, const ScriptField& f) {
    std::string s = f.glued ? "+" : "";
    switch (f.field) {
        case Field::In1:
            return s + "in1";
        case Field::In2:
            return s + "in2";
        case Field::Out:
            return s + "out";
        case Field::Out2:
            return s + "out2";
        case Field::Out3:
            return s + "out3";
        case Field::In2OrZero:
            return s + "in2|0";
        case Field::OutputFormat:
            return s + "format";
        case Field::Noise:
            return s + "noise";
        case Field::Param:
            return s + d.params[static_cast<std::size_t>(f.param)].info.name;
        case Field::NotWritten:
            return s + "(" + d.params[static_cast<std::size_t>(f.param)].info.name + ")";
    }
    return "?";
}

std::string line(const OperationDescription& d) {
    std::ostringstream o;
    o << d.code << " \"" << (d.scriptName ? d.scriptName : "") << "\" " << d.blanks
      << " cmd=" << (d.command ? d.command : "-") << " files=";
    for (std::size_t i = 0; i < d.files.size(); ++i)
        o << (i ? "," : "") << describeFile(d.files[i]);
    o << " params=";
    for (std::size_t i = 0; i < d.params.size(); ++i)
        o << (i ? "," : "") << describeParam(d.params[i]);
    o << " script=";
    for (std::size_t i = 0; i < d.script.size(); ++i)
        o << (i ? "," : "") << describeField(d, d.script[i]);
    static const char* const kShow[] = {"none", "waveform", "magnitude", "bycomplexflag",
                                        "components"};
    o << " show=" << kShow[static_cast<int>(d.show)] << "/";
    for (int bit = 0; bit < 4; ++bit)
        if (d.shown & (1 << bit)) o << "OIAB"[bit];
    if (d.keepShownOut) o << "!";
    static const char* const kProposals[] = {"time", "frame", "spectrum", "lpc", "filter"};
    o << " propose=" << kProposals[static_cast<int>(d.proposal)] << " flags=";
    if (d.flags & kCreatesSignal) o << "c";
    if (d.flags & kNeedsBoard) o << "b";
    if (d.flags & kNeedsGraph) o << "g";
    static const char* const kRealtime[] = {"keep", "close", "accel"};
    o << " realtime=" << kRealtime[static_cast<int>(d.realtime)];
    return o.str();
}

}  // namespace

class OperationList : public test::EngineTest {};

TEST_F(OperationList, MatchesTheCommittedTable) {
    std::ifstream committed(QF_SOURCE_DIR "/tests/core/operations.table");
    ASSERT_TRUE(committed) << "tests/core/operations.table is missing";
    std::string expected, row;
    while (std::getline(committed, row))
        if (!row.empty() && row[0] != '#') expected += row + "\n";

    std::string built;
    const OperationTable& t = operationTable();
    for (int32_t i = 0; i < t.count; ++i) {
        ASSERT_NE(t.descriptions[static_cast<std::size_t>(i)], nullptr);
        built += line(*t.descriptions[static_cast<std::size_t>(i)]) + "\n";
    }
    EXPECT_EQ(built, expected);
}

TEST_F(OperationList, EveryRecordAgreesWithItsDescription) {
    const OperationTable& t = operationTable();
    for (int32_t i = 0; i < t.count; ++i) {
        const OperationDescription& d = *t.descriptions[static_cast<std::size_t>(i)];
        const OperationRecord& r = t.records[static_cast<std::size_t>(i)];
        SCOPED_TRACE(d.code);
        EXPECT_EQ(r.code, d.code);
        // A described script line can be written and read back.
        if (!d.script.empty()) {
            EXPECT_NE(r.readScriptLine, defaultReadScriptLine);
            EXPECT_EQ(r.writeScriptLine == defaultWriteScriptLine, d.scriptName == nullptr);
        }
        // The public view lists what the description says.
        const QfOperationInfo* info = qfOperationInfo(d.code);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->paramCount, static_cast<int32_t>(d.params.size()));
        EXPECT_EQ(info->fileCount, static_cast<int32_t>(d.files.size()));
        for (const ParamSpec& p : d.params)
            EXPECT_LE(p.info.offset + (p.info.type == QF_VALUE_DOUBLE ? 8 : 4), QF_BLOCK_SIZE);
    }
    int32_t codes[200] = {};
    EXPECT_EQ(qfOperationCodes(codes, 200), t.count);
    EXPECT_EQ(codes[0], t.records[0].code);
}
