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
        std::memset(&block, 0, sizeof block);
    }
    void TearDown() override { ExitQuillfen(); }
    std::string home;
    CommandBlock block;
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

TEST(CommandBlockLayout, OffsetsSeenFromRawBytes) {
    CommandBlock b{};
    auto* raw = reinterpret_cast<unsigned char*>(&b);
    b.opCode = 0x11223344;
    std::strcpy(b.in1.n, "a");
    std::strcpy(b.in1.p, "d/");
    std::strcpy(b.out.n, "o");
    int32_t v;
    std::memcpy(&v, raw, 4);
    EXPECT_EQ(v, 0x11223344);
    EXPECT_EQ(raw[4], 'a');
    EXPECT_EQ(raw[260], 'd');
    EXPECT_EQ(raw[2052], 'o');
    EXPECT_EQ(sizeof(CommandBlock), 16384u);
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

TEST(OperationTable, DefaultsAndCapacity) {
    registerOperation(nullptr);
    OperationRecord t = operationTemplate(1);
    EXPECT_EQ(t.getParams(0, t.checkParams), 1);
    EXPECT_EQ(t.checkParams(0), 0);
    EXPECT_EQ(t.execute(0, &t), 0);
    EXPECT_EQ(t.readScriptLine(0, "", t.checkParams), 0);
    for (int i = 0; i < kOperationCapacity; ++i) {
        OperationRecord r = operationTemplate(i + 1);
        EXPECT_EQ(registerOperation(&r), 0);
    }
    OperationRecord extra = operationTemplate(5000);
    EXPECT_EQ(registerOperation(&extra), 1);
    EXPECT_EQ(operationTable().count, kOperationCapacity);
}

TEST_F(Dispatch, UnknownCodeReturnsOneAndLeavesBlock) {
    block.opCode = 9999;
    std::strcpy(block.in1.n, "x.wav");
    EXPECT_EQ(RunOp(&block), 1);
    EXPECT_EQ(block.opCode, 9999);
    EXPECT_STREQ(block.in1.n, "x.wav");
    block.opCode = 4711;
    EXPECT_EQ(RunOp(&block), 1);
    EXPECT_EQ(block.opCode, 4711);
}

TEST_F(Dispatch, FlagOperationsSetStatus) {
    block.opCode = QF_OP_TEXT_OUTPUT;
    EXPECT_EQ(RunOp(&block), 0);
    EXPECT_EQ(qfenStatus->outputFormat, 'a');
    EXPECT_EQ(block.opCode, 9999);
    block.opCode = QF_OP_WRAP;
    EXPECT_EQ(RunOp(&block), 0);
    char f = 0, o = 0;
    GetInitialValues(&f, &o);
    EXPECT_EQ(f, 'a');
    EXPECT_EQ(o, 'w');
    block.opCode = QF_OP_BINARY_OUTPUT;
    RunOp(&block);
    block.opCode = QF_OP_SATURATE;
    RunOp(&block);
    GetInitialValues(&f, &o);
    EXPECT_EQ(f, 'b');
    EXPECT_EQ(o, 's');
}

TEST_F(Dispatch, BoardOperationsNeedTheirDialog) {
    // 6080 keeps the default parameter handler: a call from the host is
    // cancelled with 1, and the block is done with.
    block.opCode = QF_OP_BOARD_RECORD;
    EXPECT_EQ(RunOp(&block), 1);
    EXPECT_EQ(block.opCode, 9999);
    ASSERT_NE(findOperation(QF_OP_BOARD_PLAY), nullptr);
    OperationRecord rec = *findOperation(QF_OP_BOARD_PLAY);
    EXPECT_EQ(rec.execute(0, &rec), 0);
}

TEST_F(Dispatch, SuccessMovesOutputToInputAndProposesNames) {
    OperationRecord r = operationTemplate(3015);
    r.getParams = noParams;
    r.execute = countingExecute;
    registerOperation(&r);
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
    OperationRecord r = operationTemplate(3025);
    r.getParams = noParams;
    r.execute = failingExecute;
    registerOperation(&r);
    setEntry(block.in1, home, "a.tim");
    setEntry(block.out, home, "b.tim");
    block.opCode = 3025;
    EXPECT_EQ(RunOp(&block), 7);
    EXPECT_STREQ(block.in1.n, "a.tim");
    EXPECT_STREQ(block.out.n, "b.tim");
    EXPECT_EQ(block.opCode, 9999);
}

TEST_F(Dispatch, CancelReturnsHostResult) {
    OperationRecord r = operationTemplate(3035);
    r.execute = countingExecute;  // getParams stays the default (1)
    registerOperation(&r);
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

TEST_F(Dispatch, ProposedNamesPerCode) {
    auto propose = [&](int32_t code, const char* in1) {
        OperationRecord r = operationTemplate(code);
        r.getParams = captureNames;
        registerOperation(&r);
        std::memset(&block, 0, sizeof block);
        std::strcpy(block.in1.n, in1);
        block.opCode = code;
        RunOp(&block);
    };
    propose(QF_OP_FFT, "sig.tim");
    EXPECT_STREQ(g_seenOut.n, "sig.fre");
    propose(QF_OP_FFT, "noext");
    EXPECT_STREQ(g_seenOut.n, "noext");
    propose(QF_OP_LPC_ANALYSIS, "speech.tim");
    EXPECT_STREQ(g_seenOut.n, "speech.lpc");
    propose(QF_OP_INVERSE_FFT, "sig.tim");
    EXPECT_STREQ(g_seenIn1.n, "sig.fre");
    propose(3015, "sig.wav");
    EXPECT_STREQ(g_seenIn1.n, "sig.tim");
    propose(3015, "sig.TIM");  // compared case-sensitively
    EXPECT_STREQ(g_seenIn1.n, "sig.tim");
    propose(3015, "plain");
    EXPECT_STREQ(g_seenIn1.n, "plain");
    // Filtering: the signal moves to in2 and in1 gets the last filter file.
    propose(QF_OP_FILTER, "noisy.tim");
    EXPECT_STREQ(g_seenIn2.n, "noisy.tim");
    EXPECT_STREQ(g_seenIn1.n, "");
}

TEST_F(Dispatch, RegisteredCodesAfterStartUp) {
    for (int32_t code :
         {6010, 6020, 6030, 6040, 6080, 6090, 1120, 1160, 1170, 1210, 1220, 1230, 1240})
        EXPECT_NE(findOperation(code), nullptr) << code;
}
