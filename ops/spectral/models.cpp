// Signal models (linear prediction, LMS, Wiener): registration and the
// sample reader they share.
#include "ops/spectral/models.h"

#include <algorithm>

#include "core/pipeline.h"
#include "ops/spectral/fft_core.h"
#include "signal/access.h"
#include "signal/format.h"

namespace qf {

int32_t readSamples(SignalDescriptor& in, int64_t start, int32_t count, double* out) {
    const bool words = in.recordType != kReal32;
    int32_t i = 0;
    while (i < count) {
        const int64_t index = start + i;
        if (index >= in.recordCount) {
            std::fill(out + i, out + count, 0.0);
            return 0;
        }
        const int32_t at = static_cast<int32_t>(index);
        if (sigAccess(in, at) != 0) return 1;
        const int32_t n = static_cast<int32_t>(
            std::min<int64_t>({count - i, residentFrom(in, at), in.recordCount - index}));
        if (n < 1) return 1;
        if (words) {
            const int16_t* w = in.at<int16_t>(at);
            for (int32_t k = 0; k < n; ++k) out[i + k] = fftSampleValue(w[k]);
        } else {
            const float* v = in.at<float>(at);
            for (int32_t k = 0; k < n; ++k) out[i + k] = v[k];
        }
        i += n;
    }
    return 0;
}

void registerModelOperations() {
    registerLpcOperations();    // 5130, 5140
    registerLmsOperation();     // 4007
    registerWienerOperation();  // 5180
}

}  // namespace qf
