// Elementwise and arithmetic operations on time signals.
#include "core/operation.h"

namespace qf {

void registerTimeOperations() {
    // The time-domain records are registered here as their kernels arrive.
}

}  // namespace qf
