// The shared frame of single- and two-input operations: parameter dialogs
// and their checkers, the execute frame, the output header and description
// line, the two-input element loop, and the generic script-line handlers.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/operation.h"

namespace qf {

// Parameter dialogs (getParams slot).
int32_t threeFileDialog(int32_t mode, CheckParamsFn check);
int32_t twoFileDialog(int32_t mode, CheckParamsFn check);
int32_t fileConstantDialog(int32_t mode, CheckParamsFn check);

// Checkers (checkParams slot).
int32_t alwaysValid(int32_t mode);
int32_t singleInputCheck(int32_t mode);
int32_t constantCheck(int32_t mode);

// The execute frame: opens the inputs, lets prepareOutput fill the output
// header, creates the output, runs compute, then closes or discards it.
int32_t frameExecute(int32_t mode, OperationRecord* record);
// Output header and description line of the frame-served codes.
int32_t framePrepareOutput(int32_t mode);
// compute of 3010 and 3020: element-by-element over two inputs.
int32_t twoInputCompute(int32_t mode, const ComputeArgs* args);

// Generic script lines keyed by operation code.
int32_t genericWriteScriptLine(int32_t mode, std::FILE* scriptFile);
int32_t genericReadScriptLine(int32_t mode, const char* line, CheckParamsFn check);

// A record served by the frame: its dialog and check around one kernel,
// with the generic script lines.
OperationRecord frameRecord(int32_t code, GetParamsFn getParams, CheckParamsFn check,
                            ComputeFn compute);

// The element functions the execute frame hands to compute for a code.
void setFrameElements(int32_t code, const ComputeArgs& args);

// Element functions of addition and subtraction: 16-bit words through the
// fixed-point primitives (truncating, wrapping), reals in double.
int32_t fixedAddElement(const void* a, int wa, int fa, const void* b, int wb, int fb, void* r,
                        int wr, int fr);
int32_t fixedSubElement(const void* a, int wa, int fa, const void* b, int wb, int fb, void* r,
                        int wr, int fr);
double floatAddElement(double x, double y);
double floatSubElement(double x, double y);

// Magnitude of a record of two 16-bit fractional words (re, im).
double cint16Magnitude(const int16_t* record);

// The remembered constant of a file-and-constant operation.
double rememberedConstant(int32_t code);

}  // namespace qf
