// Import (1140) and export (1150) as described operations.  Their dialogs
// are the host's own (stdImportGet, stdExportGet), which fill the block at
// the offsets below; their script lines are the generic ones, which carry
// the rate, format and channels of an import and the format of an export
// but not the complex flag, the frame values, the channel picked from an
// audio file or the assembler flag: a line read sets those to their
// defaults (plain, non-complex data, every channel).
#include <utility>

#include "core/operation.h"
#include "ops/io/io.h"
#include "signal/format.h"

namespace qf {

using namespace io;

namespace {

constexpr const char* kImportFormats =
    "raw16=0 text=1 hex=2 hex-words=3 complex-text=4 wav=5 wav8=5 wav16=6 raw8=7 raw8u=8 "
    "raw16-offset=9 float-text=11 float-bits=12 double-text=13 double-bits=14 audio=20 auto=30";
constexpr const char* kExportFormats =
    "raw16=0 text=1 hex=2 wav8=5 wav16=6 wav=6 fir=10 float-text=11 float-bits=12 "
    "double-text=13 double-bits=14 wav-float=20 flac=21 auto=30";

}  // namespace

void registerIoOperations() {
    {
        OperationDescription d = describedOperation(
            QF_OP_IMPORT, "Import            ", "import",
            "turn raw, text, WAVE or any audio file into a signal file (format from the name)");
        d.files = {
            inputFile(QF_ENTRY_IN1, QF_FILE_FOREIGN, "", "Import file", 0, false),
            outputFile(QF_ENTRY_OUT, QF_FILE_TIME | QF_FILE_FRAMES, ".tim", "Signal file", 1)};
        d.params = {
            doubleParam("rate", QF_P_IMPORT_RATE).fallback(0.0).help("FS"),
            intParam("format", QF_P_IO_FORMAT)
                .choices(kImportFormats)
                .fallback(QF_FORMAT_BY_EXTENSION)
                .help("CODE|NAME"),
            intParam("channels", QF_P_IMPORT_CHANNELS).fallback(1).help("M"),
            intParam("complex", QF_P_IMPORT_COMPLEX).choices("complex=1", true).fallback(0),
            intParam("interval", QF_P_IMPORT_FRAME_INTERVAL).fallback(0).help("I"),
            intParam("frame", QF_P_IMPORT_FRAME_SIZE).fallback(0).help("N"),
            intParam("window", QF_P_IMPORT_WINDOW)
                .choices(windowChoiceText())
                .fallback(0)
                .help("NAME"),
            intParam("channel", QF_P_IMPORT_PICK_CHANNEL).fallback(0).help("K"),
        };
        d.dialog = {.kind = DialogKind::Nothing, .title = "Import"};
        d.script = {{Field::In1},           {Field::Param, 0},      {Field::Param, 1},
                    {Field::Param, 2},      {Field::Out},           {Field::NotWritten, 3},
                    {Field::NotWritten, 4}, {Field::NotWritten, 5}, {Field::NotWritten, 6},
                    {Field::NotWritten, 7}};
        d.show = Show::ByComplexFlag;
        d.handlers.getParams = importGetParams;
        d.handlers.prepareOutput = importPrepare;
        d.handlers.compute = importCompute;
        registerDescribed(std::move(d));
    }
    {
        OperationDescription d = describedOperation(
            QF_OP_EXPORT, "Export            ", "export",
            "write a signal as raw, text, WAVE, FLAC, filter coefficients or assembler data");
        d.files = {
            inputFile(QF_ENTRY_IN1, QF_FILE_TIME | QF_FILE_FRAMES, ".tim", "Signal file", 0, false),
            outputFile(QF_ENTRY_OUT, QF_FILE_FOREIGN, "", "Export file", 1)};
        d.params = {
            intParam("format", QF_P_IO_FORMAT)
                .choices(kExportFormats)
                .fallback(QF_FORMAT_BY_EXTENSION)
                .help("CODE|NAME"),
            intParam("asm", QF_P_EXPORT_ASSEMBLER).choices("asm=1", true).fallback(0),
        };
        d.dialog = {.kind = DialogKind::Nothing, .title = "Export"};
        d.script = {{Field::In1}, {Field::Param, 0}, {Field::Out}, {Field::NotWritten, 1}};
        d.handlers.getParams = exportGetParams;
        d.handlers.compute = exportCompute;
        registerDescribed(std::move(d));
    }
}

}  // namespace qf
