// The kernel table, the sample conversions the kernels share and the trace
// lines some kernels leave in the engine log.
#include "ops/filter/kernels.h"

#include "core/log.h"

namespace qf::filter {

int16_t storeWord(double v) {
    int16_t w = 0;
    fxStore(FxOperand{&w, 16, 0}, v);
    return w;
}

int16_t q15FromFloatSample(float f, char overflowMode) {
    if (overflowMode == 's') {
        if (f >= 1.0f) return 32767;
        if (f < -1.0f) return -32768;
    }
    // 32767 f is exact in a double (15 + 24 significant bits).
    return storeWord(32767.0 * static_cast<double>(f));
}

float floatFromQ15Result(int16_t y) {
    return static_cast<float>(y) * 3.0518509e-05f;
}

std::unique_ptr<FilterKernel> makeKernel(const LoadedFilter& filter, FxModes modes) {
    if (auto k = makeFirKernel(filter, modes)) return k;
    return makeIirKernel(filter, modes);
}

void traceKernel(const LoadedFilter& f) {
    const int32_t n = f.records();
    switch (f.type()) {
        case kFirFloat:
            logPrintf("OP $$enter$$ case fir4REAL4\n");
            logPrintf("OP           flt->noRecord = %d\n", n);
            for (int32_t i = 0; i < n; ++i)
                logPrintf("OP           flt->p.p2 [%d] = %g\n", i,
                          static_cast<double>(f.data<float>()[i]));
            break;
        case kIirLattice: {
            const float* gamma = f.data<float>();
            const float* kappa = gamma + n + 1;
            logPrintf("OP $$enter$$ dspFilterIIRLattice\n");
            logPrintf("OP           order = %d\n", n);
            logPrintf("OP           gain  = %g\n", static_cast<double>(f.gain));
            for (int32_t i = 0; i < n; ++i)
                logPrintf("OP           gamma[%d] = %g\n", i, static_cast<double>(gamma[i]));
            for (int32_t i = 0; i < n; ++i)
                logPrintf("OP           kappa[%d] = %g\n", i, static_cast<double>(kappa[i]));
            break;
        }
        case kFirLattice:
            logPrintf("OP $$enter$$ dspFilterFIRLattice\n");
            logPrintf("OP           order = %d\n", n);
            for (int32_t i = 0; i < n; ++i)
                logPrintf("OP           kappa[%d] = %g\n", i,
                          static_cast<double>(f.data<float>()[i]));
            break;
        default:
            break;
    }
}

}  // namespace qf::filter
