// Spectral operations: the FFT and its relatives.
#include "core/operation.h"
#include "ops/spectral/correlation.h"
#include "ops/spectral/dct.h"
#include "ops/spectral/fft_op.h"
#include "ops/spectral/frames.h"
#include "ops/spectral/inverse.h"

namespace qf {

void registerSpectralOperations() {
    registerFftOperation();           // 4050
    registerInverseFftOperation();    // 5010
    registerFrameOperations();        // 5110, 5120, 5160, 5170
    registerCorrelationOperations();  // 4010, 4020, 4025
    registerDctOperation();           // 4080
}

}  // namespace qf
