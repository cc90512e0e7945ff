#include "core/operation.h"

namespace qf {

int32_t defaultGetParams(int32_t, CheckParamsFn) {
    return 1;
}
int32_t noParams(int32_t, CheckParamsFn) {
    return 0;
}
int32_t defaultCheckParams(int32_t) {
    return 0;
}
int32_t defaultExecute(int32_t, OperationRecord*) {
    return 0;
}
int32_t defaultPrepareOutput(int32_t) {
    return 0;
}
int32_t defaultCompute(int32_t, const ComputeArgs*) {
    return 0;
}
int32_t defaultRelease(int32_t) {
    return 0;
}
int32_t defaultReadScriptLine(int32_t, const char*, CheckParamsFn) {
    return 0;
}
int32_t defaultWriteScriptLine(int32_t, std::FILE*) {
    return 0;
}

namespace {
OperationTable g_table;
}

OperationTable& operationTable() {
    return g_table;
}

OperationRecord operationTemplate(int32_t code) {
    OperationRecord r;
    r.code = code;
    return r;
}

int32_t registerOperation(const OperationRecord* record) {
    if (record == nullptr) {
        g_table.count = -1;
        return 0;
    }
    if (g_table.count == -1) {
        g_table.count = 0;
        for (OperationRecord& r : g_table.records) r = operationTemplate(-9999);
    }
    for (int32_t i = 0; i < g_table.count; ++i) {
        if (g_table.records[i].code == record->code) {
            g_table.records[i] = *record;
            return 0;
        }
    }
    if (g_table.count >= kOperationCapacity) return 1;
    g_table.records[g_table.count++] = *record;
    return 0;
}

int32_t lookupOperation(OperationRecord* record) {
    OperationRecord* found = findOperation(record->code);
    if (found == nullptr) return 1;
    *record = *found;
    return 0;
}

OperationRecord* findOperation(int32_t code) {
    for (int32_t i = 0; i < g_table.count; ++i)
        if (g_table.records[i].code == code) return &g_table.records[i];
    return nullptr;
}

void buildOperationTable() {
    registerOperation(nullptr);
    registerCoreOperations();
    registerScriptOperations();
    registerFrameOperations();
    registerGeneratorOperations();
    registerTimeOperations();
    registerSpectralOperations();
    registerConversionOperations();
}

}  // namespace qf
