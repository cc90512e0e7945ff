// Whole-file conversions: text <-> binary (6050) and fixed <-> float (6060).
#include "core/operation.h"

namespace qf {

void registerConversionOperations() {
    // The conversion records are registered here as their kernels arrive.
}

}  // namespace qf
