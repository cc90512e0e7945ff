// The command block layout, the operation table and RunOp, driven through
// the C interface with the recording test host.
#include <gtest/gtest.h>

#include <cstring>

#include "core/engine.h"
#include "core/operation.h"
#include "support/test_host.h"

using namespace qf;
using namespace qf::test;

namespace {

class Dispatch : public ::testing::Test {
  protected:
    void SetUp() override {
        home = makeTempDir();
        ASSERT_EQ(startEngine(home), 0);
    }
    void TearDown() override { ExitQuillfen(); }
    void define(int32_t code, GetParamsFn getParams, ExecuteFn execute) {
        OperationRecord r = operationTemplate(code);
        r.getParams = getParams;
        r.execute = execute;
        registerOperation(&r);
    }
    std::string home;
    CommandBlock block{};
};

int32_t g_executed = 0;
int32_t countingExecute(int32_t, OperationRecord* r) {
    g_executed = r->code;
    return 0;
}
int32_t failingExecute(int32_t, OperationRecord*) {
    return 7;
}

}  // namespace

TEST(CommandBlockLayout, ParametersAddressedFromTheBlockStart) {
    CommandBlock b{};
    auto* raw = reinterpret_cast<unsigned char*>(&b);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(&paramInt(b, 13008)) - raw, 13008);
}

TEST(OperationTable, RegisterReplacesInPlaceAndLookupCopies) {
    registerOperation(nullptr);
    EXPECT_EQ(operationTable().count, -1);
    OperationRecord a = operationTemplate(100);
    OperationRecord c = operationTemplate(200);
    registerOperation(&a);
    registerOperation(&c);
    EXPECT_EQ(operationTable().count, 2);
    EXPECT_EQ(operationTable().records[2].code, -9999);
    OperationRecord a2 = operationTemplate(100);
    a2.execute = failingExecute;
    registerOperation(&a2);
    EXPECT_EQ(operationTable().count, 2);
    EXPECT_EQ(operationTable().records[0].execute, failingExecute);

    OperationRecord probe = operationTemplate(200);
    EXPECT_EQ(lookupOperation(&probe), 0);
    EXPECT_EQ(probe.code, 200);
    OperationRecord missing = operationTemplate(300);
    EXPECT_EQ(lookupOperation(&missing), 1);
    EXPECT_EQ(findOperation(300), nullptr);
    EXPECT_NE(findOperation(100), nullptr);
}

TEST(OperationTable, DefaultsAndNoCapacityLimit) {
    registerOperation(nullptr);
    OperationRecord t = operationTemplate(1);
    EXPECT_EQ(t.getParams(0, t.checkParams), 1);  // a dialog-less operation is cancelled
    // The table takes every registration: none is dropped past 100.
    for (int i = 0; i < 150; ++i) {
        OperationRecord r = operationTemplate(i + 1);
        EXPECT_EQ(registerOperation(&r), 0);
    }
    EXPECT_EQ(operationTable().count, 150);
    EXPECT_NE(findOperation(150), nullptr);
    // A description the engine cannot use is refused, and the table says so.
    OperationDescription bad;
    bad.code = 7000;
    bad.script = {{Field::Param, 3}};
    EXPECT_EQ(registerDescribed(bad), 1);
    EXPECT_TRUE(operationTable().failed);
    EXPECT_EQ(findOperation(7000), nullptr);
}

TEST_F(Dispatch, UnknownCodeReturnsOneAndLeavesBlock) {
    block.opCode = 9999;
    std::strcpy(block.in1.n, "x.wav");
    EXPECT_EQ(RunOp(&block), 1);
    EXPECT_EQ(block.opCode, 9999);
    EXPECT_STREQ(block.in1.n, "x.wav");
}

TEST_F(Dispatch, FlagOperationsSetStatus) {
    // The format and overflow flags after running `format` then `overflow`.
    auto flagsAfter = [&](int32_t format, int32_t overflow) {
        block.opCode = format;
        EXPECT_EQ(RunOp(&block), 0);
        EXPECT_EQ(block.opCode, 9999);
        block.opCode = overflow;
        EXPECT_EQ(RunOp(&block), 0);
        char f = 0, o = 0;
        GetInitialValues(&f, &o);
        return std::string{f, o};
    };
    EXPECT_EQ(flagsAfter(QF_OP_TEXT_OUTPUT, QF_OP_WRAP), "aw");
    EXPECT_EQ(flagsAfter(QF_OP_BINARY_OUTPUT, QF_OP_SATURATE), "bs");
}

TEST_F(Dispatch, BoardOperationsNeedTheirDialog) {
    // 6080 keeps the default parameter handler: a call from the host is
    // cancelled with 1, and the block is done with.
    block.opCode = QF_OP_BOARD_RECORD;
    EXPECT_EQ(RunOp(&block), 1);
    EXPECT_EQ(block.opCode, 9999);
}

TEST_F(Dispatch, SuccessMovesOutputToInputAndProposesNames) {
    define(3015, noParams, countingExecute);
    setEntry(block.in1, home, "a.fre");
    setEntry(block.out, home, "result.fre");
    block.opCode = 3015;
    g_executed = 0;
    EXPECT_EQ(RunOp(&block), 0);
    EXPECT_EQ(g_executed, 3015);
    EXPECT_STREQ(block.in1.n, "result.tim");  // ".fre" becomes ".tim"
    EXPECT_EQ(block.out.n[0], '\0');
    EXPECT_EQ(block.opCode, 9999);
}

TEST_F(Dispatch, FailureKeepsNamesAndReturnsStatus) {
    define(3025, noParams, failingExecute);
    setEntry(block.in1, home, "a.tim");
    setEntry(block.out, home, "b.tim");
    block.opCode = 3025;
    EXPECT_EQ(RunOp(&block), 7);
    EXPECT_STREQ(block.in1.n, "a.tim");
    EXPECT_STREQ(block.out.n, "b.tim");
    EXPECT_EQ(block.opCode, 9999);
    // A cancelled dialog passes the host's result on and runs nothing.
    define(3035, defaultGetParams, countingExecute);
    g_executed = 0;
    block.opCode = 3035;
    EXPECT_EQ(RunOp(&block), 1);
    EXPECT_EQ(g_executed, 0);
    EXPECT_EQ(block.opCode, 9999);
}

// Runs `code` with a getParams that captures the proposed names.
static nameNpath g_seenIn1, g_seenIn2, g_seenOut;
static int32_t captureNames(int32_t, CheckParamsFn) {
    g_seenIn1 = block().in1;
    g_seenIn2 = block().in2;
    g_seenOut = block().out;
    return 1;  // stop there
}

TEST_F(Dispatch, ProposedNamesFollowTheDescription) {
    // The name an operation with `proposal` proposes in `seen` when started
    // with `in1`.
    auto propose = [&](Proposal proposal, const char* in1, const nameNpath& seen) {
        OperationDescription d;
        d.code = 7100;
        d.proposal = proposal;
        d.handlers.getParams = captureNames;
        registerDescribed(d);
        std::memset(&block, 0, sizeof block);
        std::strcpy(block.in1.n, in1);
        block.opCode = 7100;
        RunOp(&block);
        return std::string(seen.n);
    };
    EXPECT_EQ(propose(Proposal::SpectrumOutput, "sig.tim", g_seenOut), "sig.fre");
    EXPECT_EQ(propose(Proposal::SpectrumOutput, "noext", g_seenOut), "noext");
    EXPECT_EQ(propose(Proposal::CoefficientOutput, "speech.tim", g_seenOut), "speech.lpc");
    EXPECT_EQ(propose(Proposal::FrameInput, "sig.tim", g_seenIn1), "sig.fre");
    EXPECT_EQ(propose(Proposal::TimeInput, "sig.wav", g_seenIn1), "sig.tim");
    EXPECT_EQ(propose(Proposal::TimeInput, "sig.TIM", g_seenIn1), "sig.tim");  // case-sensitive
    EXPECT_EQ(propose(Proposal::TimeInput, "plain", g_seenIn1), "plain");
    // Filtering: the signal moves to in2 and in1 gets the last filter file.
    EXPECT_EQ(propose(Proposal::Filter, "noisy.tim", g_seenIn2), "noisy.tim");
    EXPECT_STREQ(g_seenIn1.n, "");
}

TEST_F(Dispatch, RegisteredOperationsProposeAsDescribed) {
    std::strcpy(block.in1.n, "sig.tim");
    block.opCode = QF_OP_FFT;
    TestHost::instance().answerCancel();
    RunOp(&block);
    EXPECT_STREQ(block.out.n, "sig.fre");
}
