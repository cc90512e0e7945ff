// Operation records and the operation table.  Each operation is an operation
// code and eight handlers; RunOp finds the record by code and calls them in a
// fixed order.  Every handler takes a mode word first (always 0) and returns a
// status, 0 for success.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>

#include "quillfen/quillfen.h"

namespace qf {

// Whether an operation code (or any small number) is one of a list.
inline bool inList(int32_t code, std::initializer_list<int32_t> codes) {
    for (int32_t c : codes)
        if (c == code) return true;
    return false;
}

struct OperationRecord;
struct SignalDescriptor;

// What the execute frame hands to a compute handler: element functions of
// the arithmetic operations (unused ones are null) or a block buffer.
struct ComputeArgs {
    // Fixed-point element function: (a, wa, fa, b, wb, fb, r, wr, fr).
    int32_t (*fixedFn)(const void* a, int wa, int fa, const void* b, int wb, int fb, void* r,
                       int wr, int fr) = nullptr;
    double (*floatBinary)(double, double) = nullptr;
    double (*floatUnary)(double) = nullptr;
    void* buffer = nullptr;
    // Frame kernels of the transforms: one frame of `size` points (2^stages)
    // starting at input sample `start`, windowed by `window`.
    int32_t stages = 0;
    int32_t size = 0;
    int32_t start = 0;
    const double* window = nullptr;
    SignalDescriptor* input = nullptr;
    SignalDescriptor* output = nullptr;
};

using CheckParamsFn = int32_t (*)(int32_t mode);
using GetParamsFn = int32_t (*)(int32_t mode, CheckParamsFn check);
using ExecuteFn = int32_t (*)(int32_t mode, OperationRecord* record);
using PrepareOutputFn = int32_t (*)(int32_t mode);
using ComputeFn = int32_t (*)(int32_t mode, const ComputeArgs* args);
using ReleaseFn = int32_t (*)(int32_t mode);
using ReadScriptLineFn = int32_t (*)(int32_t mode, const char* line, CheckParamsFn check);
using WriteScriptLineFn = int32_t (*)(int32_t mode, std::FILE* scriptFile);

// The shared defaults: getParams does nothing and returns 1, every other
// slot does nothing and returns 0.
int32_t defaultGetParams(int32_t mode, CheckParamsFn check);
int32_t noParams(int32_t mode, CheckParamsFn check);  // asks for nothing, returns 0
int32_t defaultCheckParams(int32_t mode);
int32_t defaultExecute(int32_t mode, OperationRecord* record);
int32_t defaultPrepareOutput(int32_t mode);
int32_t defaultCompute(int32_t mode, const ComputeArgs* args);
int32_t defaultRelease(int32_t mode);
int32_t defaultReadScriptLine(int32_t mode, const char* line, CheckParamsFn check);
int32_t defaultWriteScriptLine(int32_t mode, std::FILE* scriptFile);

struct OperationRecord {
    int32_t code = 0;
    GetParamsFn getParams = defaultGetParams;
    CheckParamsFn checkParams = defaultCheckParams;
    ExecuteFn execute = defaultExecute;
    PrepareOutputFn prepareOutput = defaultPrepareOutput;
    ComputeFn compute = defaultCompute;
    ReleaseFn release = defaultRelease;
    ReadScriptLineFn readScriptLine = defaultReadScriptLine;
    WriteScriptLineFn writeScriptLine = defaultWriteScriptLine;
};

constexpr int kOperationCapacity = 100;

struct OperationTable {
    OperationRecord records[kOperationCapacity];
    int32_t count = -1;  // -1 until the table is built
};

OperationTable& operationTable();

// Null resets the table; otherwise replaces the entry with the same code or
// appends.  Returns 0 (1 when the table is full).
int32_t registerOperation(const OperationRecord* record);
// Copies the entry with record->code into *record: 0, or 1 when absent.
int32_t lookupOperation(OperationRecord* record);
OperationRecord* findOperation(int32_t code);
// A record template: the given code with every slot at its default.
OperationRecord operationTemplate(int32_t code);
// Resets the table and registers every operation family in order.
void buildOperationTable();

// One registration function per operation family.
void registerCoreOperations();    // flags and board stubs
void registerScriptOperations();  // recorder (and replay)
void registerFrameOperations();   // the shared single/two-input frame
void registerGeneratorOperations();
void registerTimeOperations();
void registerSpectralOperations();
void registerConversionOperations();

}  // namespace qf
