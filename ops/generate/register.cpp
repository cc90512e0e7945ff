// Signal generators 2010-2140: one record template with the shared
// handlers, one line per code naming its kernel.
#include "core/operation.h"
#include "ops/generate/generators.h"

namespace qf {

void registerGeneratorOperations() {
    struct Entry {
        int32_t code;
        ComputeFn kernel;
    };
    static const Entry kEntries[] = {
        {QF_OP_SINE, gen::periodicCompute},
        {QF_OP_SWEPT_SINE, gen::periodicCompute},
        {QF_OP_SQUARE, gen::periodicCompute},
        {QF_OP_TRIANGLE, gen::periodicCompute},
        {QF_OP_UNIT_SAMPLE, gen::aperiodicCompute},
        {QF_OP_UNIT_STEP, gen::aperiodicCompute},
        {QF_OP_WINDOW_FUNCTION, gen::aperiodicCompute},
        {QF_OP_SINC, gen::aperiodicCompute},
        {QF_OP_RAMP, gen::aperiodicCompute},
        {QF_OP_EXP_FUNCTION, gen::aperiodicCompute},
        {QF_OP_NOISE, gen::noiseCompute},
    };
    OperationRecord shared = operationTemplate(0);
    shared.getParams = gen::generatorGetParams;
    shared.checkParams = gen::generatorCheckParams;
    shared.execute = gen::generatorExecute;
    shared.readScriptLine = gen::generatorReadScriptLine;
    shared.writeScriptLine = gen::generatorWriteScriptLine;
    for (const Entry& e : kEntries) {
        OperationRecord r = shared;
        r.code = e.code;
        r.compute = e.kernel;
        registerOperation(&r);
    }
}

}  // namespace qf
