// Pieces shared by the time-domain kernels.
#include "ops/time/kernels.h"

#include <cstring>

#include "core/engine.h"
#include "core/host.h"

namespace qf::timeops {

SignalDescriptor& input(int slot) {
    return blockDescriptor(block(), slot);
}

SignalDescriptor& output() {
    return blockDescriptor(block(), 2);
}

int32_t unknownDataType() {
    emitMsg(QF_MSG_ERROR, "Unknown data type.");
    return 1;
}

int32_t outOfMemory() {
    emitText(QF_MSG_ERROR, kOutOfMemoryText);
    return 1;
}

}  // namespace qf::timeops
