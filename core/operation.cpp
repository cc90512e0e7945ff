// The operation table: registration, lookup, and the filling of records
// from their descriptions.
#include "core/operation.h"

#include <cstring>

#include "core/dialog.h"
#include "core/engine.h"
#include "core/pipeline.h"
#include "script/lines.h"
#include "signal/numfmt.h"

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

ParamSpec param(const char* name, int32_t type, int32_t offset) {
    ParamSpec p;
    p.info.name = name;
    p.info.type = type;
    p.info.offset = offset;
    p.info.position = -1;
    return p;
}

}  // namespace

ParamSpec intParam(const char* name, int32_t offset) {
    return param(name, QF_VALUE_INT32, offset);
}
ParamSpec doubleParam(const char* name, int32_t offset) {
    return param(name, QF_VALUE_DOUBLE, offset);
}
ParamSpec charParam(const char* name, int32_t offset) {
    return param(name, QF_VALUE_CHAR, offset);
}
ParamSpec noiseParam(const char* name, int32_t offset) {
    return param(name, QF_VALUE_NOISE, offset);
}

namespace {
QfFileInfo fileInfo(int32_t entry, int32_t kinds, int32_t flags, const char* ext, const char* label,
                    int32_t position) {
    QfFileInfo f{};
    f.entry = entry;
    f.kinds = kinds;
    f.flags = flags;
    f.position = position;
    f.extension = ext;
    f.label = label;
    return f;
}
}  // namespace

QfFileInfo inputFile(int32_t entry, int32_t kinds, const char* ext, const char* label,
                     int32_t position, bool singleChannel) {
    const int32_t flags = QF_FILE_INPUT | (singleChannel ? QF_FILE_SINGLE_CHANNEL : 0);
    return fileInfo(entry, kinds, flags, ext, label, position);
}

QfFileInfo outputFile(int32_t entry, int32_t kinds, const char* ext, const char* label,
                      int32_t position) {
    return fileInfo(entry, kinds, QF_FILE_OUTPUT, ext, label, position);
}

OperationDescription describedOperation(int32_t code, const char* scriptName, const char* command,
                                        const char* help) {
    OperationDescription d;
    d.code = code;
    d.scriptName = scriptName;
    d.command = command;
    d.help = help;
    return d;
}

const CheckMessage* OperationDescription::check(int32_t result) const {
    for (const CheckMessage& c : checks)
        if (c.result == result) return &c;
    return nullptr;
}

const QfFileInfo* OperationDescription::file(int32_t entry) const {
    for (const QfFileInfo& f : files)
        if (f.entry == entry) return &f;
    return nullptr;
}

OperationTable& operationTable() {
    return engine().table;
}

OperationRecord operationTemplate(int32_t code) {
    OperationRecord r;
    r.code = code;
    return r;
}

namespace {

// Slots of a record that the description fills when the handlers leave
// them at their defaults.
OperationRecord recordFor(const OperationDescription& d) {
    OperationRecord r = d.handlers;
    r.code = d.code;
    if (r.getParams == defaultGetParams && d.dialog.kind != DialogKind::Refuse)
        r.getParams = askParams;
    if (r.execute == defaultExecute && r.compute != defaultCompute) r.execute = pipelineExecute;
    if (r.readScriptLine == defaultReadScriptLine && !d.script.empty())
        r.readScriptLine = genericReadScriptLine;
    if (r.writeScriptLine == defaultWriteScriptLine && !d.script.empty() && d.scriptName)
        r.writeScriptLine = genericWriteScriptLine;
    return r;
}

// The public view of a description; its arrays live in the description.
void buildInfo(OperationDescription& d) {
    d.paramInfos.clear();
    for (const ParamSpec& p : d.params) d.paramInfos.push_back(p.info);
    QfOperationInfo& i = d.info;
    i.code = d.code;
    i.scriptName = d.scriptName;
    i.command = d.command;
    i.help = d.help;
    i.title = d.dialog.title;
    i.flags = static_cast<int32_t>(d.flags) | (d.scriptName ? QF_OPERATION_WRITES_LINE : 0);
    i.fileCount = static_cast<int32_t>(d.files.size());
    i.files = d.files.empty() ? nullptr : d.files.data();
    i.paramCount = static_cast<int32_t>(d.paramInfos.size());
    i.params = d.paramInfos.empty() ? nullptr : d.paramInfos.data();
}

// A description the engine cannot use: a script field naming no
// parameter, a parameter outside the block.
bool usable(const OperationDescription& d) {
    for (const ScriptField& f : d.script)
        if ((f.field == Field::Param || f.field == Field::NotWritten) &&
            (f.param < 0 || static_cast<std::size_t>(f.param) >= d.params.size()))
            return false;
    for (const ParamSpec& p : d.params)
        if (p.info.name == nullptr || p.info.offset < QF_PARAM_OFFSET ||
            p.info.offset + 8 > QF_BLOCK_SIZE)
            return false;
    return d.code != -9999;
}

// A table being built starts with its slots at code -9999 and the defaults.
void ensureTable(OperationTable& t) {
    if (t.count != -1) return;
    t.count = 0;
    t.records.assign(kOperationSlots, operationTemplate(-9999));
    t.descriptions.assign(kOperationSlots, nullptr);
    t.owned.clear();
    t.failed = false;
}

void place(OperationTable& t, const OperationRecord& record, const OperationDescription* d) {
    for (int32_t i = 0; i < t.count; ++i) {
        if (t.records[i].code == record.code) {
            t.records[i] = record;
            t.descriptions[i] = d;
            return;
        }
    }
    if (t.count == static_cast<int32_t>(t.records.size())) {
        t.records.push_back(record);
        t.descriptions.push_back(d);
    } else {
        t.records[t.count] = record;
        t.descriptions[t.count] = d;
    }
    ++t.count;
}

}  // namespace

int32_t registerOperation(const OperationRecord* record) {
    OperationTable& t = operationTable();
    if (record == nullptr) {
        t.count = -1;
        return 0;
    }
    ensureTable(t);
    OperationDescription d;
    d.code = record->code;
    d.handlers = *record;
    t.owned.push_back(std::move(d));
    buildInfo(t.owned.back());
    place(t, *record, &t.owned.back());
    return 0;
}

int32_t registerDescribed(OperationDescription description) {
    OperationTable& t = operationTable();
    ensureTable(t);
    if (!usable(description)) {
        t.failed = true;
        return 1;
    }
    t.owned.push_back(std::move(description));
    OperationDescription& d = t.owned.back();
    buildInfo(d);
    place(t, recordFor(d), &d);
    return 0;
}

int32_t lookupOperation(OperationRecord* record) {
    OperationRecord* found = findOperation(record->code);
    if (found == nullptr) return 1;
    *record = *found;
    return 0;
}

OperationRecord* findOperation(int32_t code) {
    OperationTable& t = operationTable();
    for (int32_t i = 0; i < t.count; ++i)
        if (t.records[i].code == code) return &t.records[i];
    return nullptr;
}

const OperationDescription* describe(int32_t code) {
    OperationTable& t = operationTable();
    for (int32_t i = 0; i < t.count; ++i)
        if (t.records[i].code == code) return t.descriptions[i];
    return nullptr;
}

bool buildOperationTable(char* why, std::size_t whySize) {
    registerOperation(nullptr);
    registerCoreOperations();
    registerScriptOperations();
    registerGeneratorOperations();
    registerTimeOperations();
    registerSpectralOperations();
    registerModelOperations();
    registerConversionOperations();
    registerMultichannelOperations();
    registerIoOperations();
    registerFilterOperations();
    registerGraphOperations();
    OperationTable& t = operationTable();
    if (t.failed) {
        if (why) fmt(why, whySize, "%s", "An operation description could not be registered.");
        return false;
    }
    return true;
}

}  // namespace qf
