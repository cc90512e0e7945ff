// Signal generators 2010-2140.
#include "core/operation.h"

namespace qf {

void registerGeneratorOperations() {
    // The generator records are registered here as the generators arrive.
}

}  // namespace qf
