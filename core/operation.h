// Operation records, their descriptions and the operation table.
//
// An operation is a record of an operation code and eight handlers, which
// RunOp calls in a fixed order, paired one to one with a description that
// holds every fact the engine knows about it: script name, files and their
// kinds, parameters and where they live, dialog, check results and their
// messages, name proposals, follow-on displays and flags.  Dispatch, replay,
// the recorder, the script lines, the dialogs and hosts read descriptions;
// no code elsewhere keeps lists of operation codes.
//
// Every handler takes a mode word first (always 0) and returns a status,
// 0 for success.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <initializer_list>
#include <vector>

#include "quillfen/operations.h"
#include "quillfen/quillfen.h"

namespace qf {

// Whether a small number is one of a list.
inline bool inList(int32_t value, std::initializer_list<int32_t> values) {
    for (int32_t v : values)
        if (v == value) return true;
    return false;
}

struct OperationRecord;
struct SignalDescriptor;
struct HostInterface;

// What the pipeline hands to a compute handler: the element functions of
// the arithmetic operations (unused ones are null), the descriptors of the
// run, and for frame kernels the frame to transform.
struct ComputeArgs {
    // Fixed-point element function: (a, wa, fa, b, wb, fb, r, wr, fr).
    int32_t (*fixedFn)(const void* a, int wa, int fa, const void* b, int wb, int fb, void* r,
                       int wr, int fr) = nullptr;
    double (*floatBinary)(double, double) = nullptr;
    double (*floatUnary)(double) = nullptr;
    void* buffer = nullptr;  // a family's working state for this run
    // Frame kernels of the transforms: one frame of `size` points (2^stages)
    // starting at input sample `start`, windowed by `window`.
    int32_t stages = 0;
    int32_t size = 0;
    int32_t start = 0;
    const double* window = nullptr;
    SignalDescriptor* input = nullptr;
    SignalDescriptor* output = nullptr;
};

using CheckParamsFn = int32_t (*)(int32_t mode);
using GetParamsFn = int32_t (*)(int32_t mode, CheckParamsFn check);
using ExecuteFn = int32_t (*)(int32_t mode, OperationRecord* record);
using PrepareOutputFn = int32_t (*)(int32_t mode);
using ComputeFn = int32_t (*)(int32_t mode, const ComputeArgs* args);
using ReleaseFn = int32_t (*)(int32_t mode);
using ReadScriptLineFn = int32_t (*)(int32_t mode, const char* line, CheckParamsFn check);
using WriteScriptLineFn = int32_t (*)(int32_t mode, std::FILE* scriptFile);

// The shared defaults: getParams does nothing and returns 1, every other
// slot does nothing and returns 0.
int32_t defaultGetParams(int32_t mode, CheckParamsFn check);
int32_t noParams(int32_t mode, CheckParamsFn check);  // asks for nothing, returns 0
int32_t defaultCheckParams(int32_t mode);
int32_t defaultExecute(int32_t mode, OperationRecord* record);
int32_t defaultPrepareOutput(int32_t mode);
int32_t defaultCompute(int32_t mode, const ComputeArgs* args);
int32_t defaultRelease(int32_t mode);
int32_t defaultReadScriptLine(int32_t mode, const char* line, CheckParamsFn check);
int32_t defaultWriteScriptLine(int32_t mode, std::FILE* scriptFile);

struct OperationRecord {
    int32_t code = 0;
    GetParamsFn getParams = defaultGetParams;
    CheckParamsFn checkParams = defaultCheckParams;
    ExecuteFn execute = defaultExecute;
    PrepareOutputFn prepareOutput = defaultPrepareOutput;
    ComputeFn compute = defaultCompute;
    ReleaseFn release = defaultRelease;
    ReadScriptLineFn readScriptLine = defaultReadScriptLine;
    WriteScriptLineFn writeScriptLine = defaultWriteScriptLine;
};

// ---------------------------------------------------------------------------
// Descriptions

// The default file names RunOp proposes before the dialog.
enum class Proposal : uint8_t {
    TimeInput,          // in1 with another extension gets ".tim"
    FrameInput,         // in1 ".tim" becomes ".fre"
    SpectrumOutput,     // out := in1 with ".fre"
    CoefficientOutput,  // out := in1 with ".lpc"
    Filter,             // in2 := in1, in1 := the last filter file (remembered after)
};

// The follow-on display after a successful interactive run.
enum class Show : uint8_t {
    Nothing,
    Waveform,       // 4060 of each shown entry
    Magnitude,      // 5040 of each shown entry
    ByComplexFlag,  // 5040 when the word at 13024 is nonzero, else 4060
    Components,     // 4060 of each file the operation lists
};
// Which entries a display shows, in this order, each copied over out.
enum ShownEntry : uint8_t { kShowOut = 1, kShowIn2 = 2, kShowOut2 = 4, kShowOut3 = 8 };

// Whether a running realtime display is closed before the operation runs.
enum class Realtime : uint8_t { Keep, Close, CloseWhenAccelerated };

// Where a parameter's last value is kept between runs.
enum class Remember : uint8_t {
    None,
    Engine,  // the engine's table, starting from the parameter's fallback
    Status,  // a field of the status record (saved in the settings file)
};

struct ParamSpec {
    QfParamInfo info{};
    Remember remember = Remember::None;
    int32_t StatusRecord::*statusField = nullptr;  // with Remember::Status

    // Builders, so that a description reads as one line per parameter.
    ParamSpec& at(int32_t position) {
        info.position = position;
        return *this;
    }
    ParamSpec& fallback(double v) {
        info.fallback = v;
        return *this;
    }
    ParamSpec& required() {
        info.flags |= QF_PARAM_REQUIRED;
        return *this;
    }
    ParamSpec& minimum(double v) {
        info.flags |= QF_PARAM_MINIMUM;
        info.minimum = v;
        return *this;
    }
    ParamSpec& halfOf(int32_t offset) {
        info.flags |= QF_PARAM_HALF_OF;
        info.halfOf = offset;
        return *this;
    }
    ParamSpec& choices(const char* words, bool switches = false) {
        info.choices = words;
        if (switches) info.flags |= QF_PARAM_SWITCHES;
        return *this;
    }
    ParamSpec& remembered(double start) {
        info.flags |= QF_PARAM_REMEMBERED;
        info.fallback = start;
        remember = Remember::Engine;
        return *this;
    }
    ParamSpec& rememberedIn(int32_t StatusRecord::*field) {
        info.flags |= QF_PARAM_REMEMBERED;
        remember = Remember::Status;
        statusField = field;
        return *this;
    }
    ParamSpec& fixed(double v) {
        info.flags |= QF_PARAM_FIXED;
        info.fallback = v;
        return *this;
    }
    ParamSpec& fallbackText(const char* text) {
        info.fallbackText = text;
        return *this;
    }
    ParamSpec& help(const char* text) {
        info.help = text;
        return *this;
    }
    // What a host shows to teach the parameter: what it is, its unit, an
    // example value, other names it goes by.
    ParamSpec& about(const char* text, const char* unit = nullptr, const char* example = nullptr) {
        info.about = text;
        info.unit = unit;
        info.example = example;
        return *this;
    }
    ParamSpec& aliases(const char* names) {
        info.aliases = names;
        return *this;
    }
    // Not given while the parameter at `offset` is: it takes that value.
    ParamSpec& follows(int32_t offset) {
        info.flags |= QF_PARAM_FOLLOWS;
        info.follows = offset;
        return *this;
    }
};
ParamSpec intParam(const char* name, int32_t offset);
ParamSpec doubleParam(const char* name, int32_t offset);
ParamSpec charParam(const char* name, int32_t offset);
ParamSpec noiseParam(const char* name, int32_t offset);

// One field of a script line after the code and name.
enum class Field : uint8_t {
    In1,  // directory then name, blanks as '*'
    In2,
    Out,
    Out2,  // the second and third outputs of three-output operations
    Out3,
    In2OrZero,     // in2, written as ". 0" when the last double written is 0.0
    Param,         // params[param], by its type ("% 15.9lg", "%d", a character)
    OutputFormat,  // the status record's output format character
    Noise,         // noise type, then its two parameters ("%d %lg %lg")
    NotWritten,    // params[param] is not on the line: a line read sets its fallback
};
struct ScriptField {
    Field field = Field::In1;
    int8_t param = -1;             // with Field::Param
    bool glued = false;            // written straight after the previous field
    const char* format = nullptr;  // a numeric format other than the type's
};

// What a dialog does after a check result.
enum class Then : uint8_t {
    AskAgain,  // show the dialog again (a dialog that cannot be shown returns the code)
    Stop,      // return the check code
    Fail,      // return 1
    GoOn,      // return 0: the operation runs
};
// Values a check message is formatted with.
enum class Arg : uint8_t {
    None,
    In1Path,  // directory of in1
    In1Name,
    In2Path,
    In2Name,
    OutName,
    Int0,        // the int32 at the first parameter's offset
    NegInt0,     // its negation
    Int1,        // the int32 at the second parameter's offset
    Double0,     // the double at the first parameter's offset
    Double1,     // the double at the second parameter's offset
    InputCount,  // the record count of descriptor 0 (as the check read it)
    Computed,    // CheckMessage::computed
};
struct CheckMessage {
    int32_t result = 0;
    int32_t kind = QF_MSG_ERROR;
    const char* text = "";
    Then then = Then::AskAgain;
    Arg args[3] = {Arg::None, Arg::None, Arg::None};
    double (*computed)(const CommandBlock&) = nullptr;
    bool once = false;                            // shown once while the library is loaded
    bool (*when)(const CommandBlock&) = nullptr;  // shown only when this says so
    int32_t about = 0;  // block offset of the parameter the result is about (0: none)
};

enum class DialogKind : uint8_t {
    Refuse,       // getParams returns 1 (the default slot)
    Nothing,      // nothing to ask: returns 0
    Files,        // stdGet123Files with the described files' extensions and labels
    FilesAndK,    // stdGet2FilesNk: in1, the constant, out
    HostEdit,     // a host dialog that edits the block (dspFFTGetPara ...)
    HostChecked,  // a host dialog given the check (getSweptSineParams ...)
    CheckOnly,    // no dialog; the check and its message
};
using HostEditFn = int32_t (*)(void);
using HostCheckedFn = int32_t (*)(const char*, QfCheckParamsFn);
struct DialogSpec {
    DialogKind kind = DialogKind::Refuse;
    const char* title = nullptr;
    int32_t mode = 32;                    // stdGet123Files mode
    const char* constantLabel = nullptr;  // FilesAndK
    HostEditFn HostInterface::*edit = nullptr;
    HostCheckedFn HostInterface::*checked = nullptr;
    bool storeBeforeCheck = false;  // remembered values kept as soon as the dialog returns
    // Before the dialog (may fill the block; nonzero ends getParams with it)
    // and after the host's OK (nonzero ends getParams with it).
    int32_t (*before)(CommandBlock&) = nullptr;
    int32_t (*after)(CommandBlock&) = nullptr;
};

// How the pipeline runs the operation's kernel.
struct Run;
struct PipelineSpec {
    int32_t inputBuffer = 16384;   // bytes of each input window
    int32_t outputBuffer = 16384;  // bytes of each output window (prepareOutput may ask another)
    // Calls compute as often as the kernel needs (the FFT's frame plan);
    // null: once.
    int32_t (*walk)(Run& run, OperationRecord& record) = nullptr;
    // Whether this run reads the described input `entry` (null: every
    // one); an input it does not read is not opened.
    bool (*reads)(const CommandBlock& block, int32_t entry) = nullptr;
};

enum OperationFlag : uint32_t {
    kCreatesSignal = QF_OPERATION_CREATES_SIGNAL,
    kNeedsBoard = QF_OPERATION_NEEDS_BOARD,
    kNeedsGraph = QF_OPERATION_NEEDS_GRAPH,
};

struct OperationDescription {
    int32_t code = 0;
    const char* scriptName = nullptr;  // null: the operation writes no script line
    int32_t blanks = 7;                // blanks after the script name (7 or 4)
    const char* command = nullptr;     // the command of a command-line host
    const char* help = nullptr;
    std::vector<QfFileInfo> files;  // in dialog order
    std::vector<ParamSpec> params;
    std::vector<ScriptField> script;     // the generic line after the name
    bool scriptEndsAtOutput = false;     // (every described line with more fields is malformed)
    std::vector<int32_t> scriptAccepts;  // check results a script line runs with
    DialogSpec dialog;
    std::vector<CheckMessage> checks;
    Proposal proposal = Proposal::TimeInput;
    Show show = Show::Nothing;
    uint8_t shown = kShowOut;
    bool keepShownOut = false;  // out keeps the last shown entry (else restored)
    // Show::Components: the files the operation wrote, their count at P 13008.
    const nameNpath* (*listed)() = nullptr;
    uint32_t flags = 0;
    Realtime realtime = Realtime::Keep;
    // The record's slots.  Slots left at their defaults are filled from the
    // rest of the description: getParams from the dialog, execute with the
    // pipeline (when compute is set), the script slots with the generic line.
    OperationRecord handlers;
    PipelineSpec pipeline;

    // The public view, built when the description is registered.
    QfOperationInfo info{};
    std::vector<QfParamInfo> paramInfos;

    const CheckMessage* check(int32_t result) const;
    const QfFileInfo* file(int32_t entry) const;
    bool writesScriptLine() const { return scriptName != nullptr; }
};

// File specifications for descriptions.
QfFileInfo inputFile(int32_t entry, int32_t kinds, const char* ext, const char* label,
                     int32_t position, bool singleChannel = true);
QfFileInfo outputFile(int32_t entry, int32_t kinds, const char* ext, const char* label,
                      int32_t position);
// A description with its code, script name, command and help; the family
// fills in the rest.
OperationDescription describedOperation(int32_t code, const char* scriptName, const char* command,
                                        const char* help);

// ---------------------------------------------------------------------------
// The table

// Records in registration order, each with its description.  The first
// 100 slots are always there (unused ones hold code -9999 and the defaults); the
// table grows past them rather than refusing a registration.
struct OperationTable {
    std::vector<OperationRecord> records;
    std::vector<const OperationDescription*> descriptions;
    std::deque<OperationDescription> owned;  // stable addresses
    int32_t count = -1;                      // -1 until the table is built
    bool failed = false;                     // a registration was refused
};
constexpr int kOperationSlots = 100;

OperationTable& operationTable();

// Null resets the table; otherwise replaces the entry with the same code or
// appends.  The record gets a description of its code alone.  Returns 0.
int32_t registerOperation(const OperationRecord* record);
// Registers a described operation: its record is made from the handlers
// and the description.  Returns 0, or 1 for a description that cannot be
// used (the table is then marked failed and start-up reports it).
int32_t registerDescribed(OperationDescription description);
// Copies the entry with record->code into *record: 0, or 1 when absent.
int32_t lookupOperation(OperationRecord* record);
OperationRecord* findOperation(int32_t code);
const OperationDescription* describe(int32_t code);
// A record template: the given code with every slot at its default.
OperationRecord operationTemplate(int32_t code);
// Resets the table and registers every operation family in order; false
// (with the reason in `why`) when a registration failed.
bool buildOperationTable(char* why = nullptr, std::size_t whySize = 0);

// One registration function per operation family, called in this order.
void registerCoreOperations();    // flags and board stubs
void registerScriptOperations();  // recorder and replay
void registerGeneratorOperations();
void registerTimeOperations();
void registerSpectralOperations();
void registerModelOperations();  // LPC, LMS, Wiener (ops/spectral/models.cpp)
void registerConversionOperations();
void registerMultichannelOperations();  // 6110, 6120
void registerIoOperations();            // 1140, 1150
void registerFilterOperations();        // filtering with coefficient files
void registerGraphOperations();         // displays 4060, 5040, 5070, 5080 and print 1100

}  // namespace qf
