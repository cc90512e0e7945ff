// Spectral operations: the FFT and its relatives.
#include "core/operation.h"

namespace qf {

void registerSpectralOperations() {
    // The spectral records are registered here as their kernels arrive.
}

}  // namespace qf
