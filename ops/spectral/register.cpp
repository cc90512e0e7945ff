// Spectral operations: the FFT and its relatives.
#include "core/operation.h"
#include "ops/spectral/fft_op.h"

namespace qf {

void registerSpectralOperations() {
    registerFftOperation();  // 4050
}

}  // namespace qf
