// The engine's own small operations: output format and overflow mode flags,
// and the DSP board's record and play-back operations.
#include <initializer_list>
#include <utility>

#include "core/engine.h"
#include "core/operation.h"

namespace qf {

namespace {

// 6010-6040 set a flag from their code; other codes are ignored.
int32_t setFlagFromCode(int32_t, OperationRecord* record) {
    StatusRecord& s = status();
    switch (record ? record->code : 0) {
        case QF_OP_SATURATE:
            s.overflowMode = 's';
            break;
        case QF_OP_WRAP:
            s.overflowMode = 'w';
            break;
        case QF_OP_TEXT_OUTPUT:
            s.outputFormat = 'a';
            break;
        case QF_OP_BINARY_OUTPUT:
            s.outputFormat = 'b';
            break;
        default:
            break;
    }
    return 0;
}

// Record and play-back are the board driver's; the engine only runs them.
int32_t boardExecute(int32_t, OperationRecord*) {
    return 0;
}

}  // namespace

void registerCoreOperations() {
    for (int32_t code : {QF_OP_SATURATE, QF_OP_WRAP, QF_OP_TEXT_OUTPUT, QF_OP_BINARY_OUTPUT}) {
        OperationDescription d;
        d.code = code;
        d.dialog.kind = DialogKind::Nothing;
        d.handlers.execute = setFlagFromCode;
        registerDescribed(std::move(d));
    }
    for (int32_t code : {QF_OP_BOARD_RECORD, QF_OP_BOARD_PLAY}) {
        OperationDescription d;
        d.code = code;
        if (code == QF_OP_BOARD_RECORD) d.flags = kNeedsBoard;
        d.realtime = Realtime::Close;
        if (code == QF_OP_BOARD_RECORD) d.show = Show::Waveform;
        d.handlers.execute = boardExecute;
        d.handlers.prepareOutput = nullptr;  // never called
        registerDescribed(std::move(d));
    }
}

}  // namespace qf
