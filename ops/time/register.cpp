// Registration of the elementwise and arithmetic operations.  Most run in
// the shared frame (dialog, check, execute, output header, script lines)
// and bring only their kernel; square root and extraction bring their own
// dialog and check as well.  3010 and 3020 are registered with the frame.
#include "core/frame.h"
#include "ops/time/kernels.h"

namespace qf {

namespace {

using namespace timeops;

void add(const OperationRecord& r) {
    registerOperation(&r);
    setFrameElements(r.code, elementFunctions(r.code));
}

}  // namespace

void registerTimeOperations() {
    for (int32_t code : {3015, 3025, 3035})
        add(frameRecord(code, fileConstantDialog, constantCheck, constantCompute));
    for (int32_t code : {3040, 3050, 3110, 3120, 3130, 3200})
        add(frameRecord(code, twoFileDialog, singleInputCheck, functionCompute));
    add(frameRecord(3070, fileConstantDialog, constantCheck, shiftCompute));
    add(frameRecord(3090, twoFileDialog, singleInputCheck, flipCompute));
    add(frameRecord(3220, threeFileDialog, alwaysValid, joinCompute));
    add(frameRecord(3230, fileConstantDialog, constantCheck, quantizeCompute));
    add(frameRecord(3240, twoFileDialog, singleInputCheck, differenceCompute));
    add(frameRecord(4030, fileConstantDialog, constantCheck, decimateCompute));
    add(frameRecord(4040, fileConstantDialog, constantCheck, interpolateCompute));

    OperationRecord root = frameRecord(3060, sqrtGetParams, sqrtCheck, sqrtCompute);
    root.prepareOutput = sqrtPrepareOutput;
    add(root);
    OperationRecord extract = frameRecord(3100, extractGetParams, extractCheck, extractCompute);
    extract.prepareOutput = extractPrepareOutput;
    extract.release = extractRelease;
    add(extract);

    // 4090: the single-input dialog and check, and nothing to execute.
    OperationRecord inert = operationTemplate(4090);
    inert.getParams = twoFileDialog;
    inert.checkParams = singleInputCheck;
    registerOperation(&inert);
}

}  // namespace qf
