// Demultiplexing (6110) and multiplexing (6120) as described operations.
#include <utility>

#include "core/frame.h"
#include "core/operation.h"
#include "ops/multichannel/multichannel.h"

namespace qf {

using namespace multichannel;

void registerMultichannelOperations() {
    {
        OperationDescription d = describedOperation(
            QF_OP_DEMULTIPLEX, "Demultiplex       ", "demux",
            "split a recording into one file per channel: PREFIX.tim gives PREFIX00.tim ...");
        // The output is a prefix the channel files are named from.
        d.files = {inputFile(QF_ENTRY_IN1, QF_FILE_TIME, ".tim", "Recorded file", 0, false),
                   outputFile(QF_ENTRY_OUT, 0, ".tim", "Output Prefix", 1)};
        d.dialog = {.kind = DialogKind::Files, .title = "Demultiplex recording"};
        d.checks = {
            unreadableCheck(101, Arg::In1Name),
            {102, QF_MSG_ERROR, "Input file is not a recorded signal.", Then::AskAgain},
            {103, QF_MSG_NOTICE, "Input file has only one channel; no need to demultiplex.",
             Then::AskAgain},
            {104, QF_MSG_NOTICE,
             "Output file prefix has more than 249 characters.  Extra characters will be "
             "truncated and appended with channel identification.",
             Then::AskAgain},
            {105, QF_MSG_NOTICE,
             "The first 249 characters should be different from the first 249 characters of the "
             "input file name to prevent overwritting the input file.",
             Then::AskAgain},
        };
        d.script = {{Field::In1}, {Field::Out}};
        d.scriptAccepts = {104};  // the prefix was cut to fit
        d.show = Show::Components;
        d.listed = demuxOutputs;
        d.keepShownOut = true;
        d.pipeline.inputBuffer = 32768;
        d.handlers.checkParams = demuxCheck;
        d.handlers.prepareOutput = demuxPrepare;
        d.handlers.compute = demuxCompute;
        registerDescribed(std::move(d));
    }
    {
        OperationDescription d = describedOperation(
            QF_OP_MULTIPLEX, "Multiplex         ", "mux",
            "interleave up to 32 signals into one binary recording, the last file written");
        QfFileInfo channels =
            inputFile(QF_ENTRY_IN1, QF_FILE_TIME, ".tim", "Channel files", 0, false);
        channels.flags |= QF_FILE_LIST;
        d.files = {channels, outputFile(QF_ENTRY_OUT, QF_FILE_TIME, ".tim", "Recording", 1)};
        ParamSpec count = intParam("channels", QF_P_MUX_CHANNELS);
        count.info.flags |= QF_PARAM_COUNT;
        d.params = {count};
        d.dialog = {.kind = DialogKind::Nothing, .title = "Multiplex"};
        d.show = Show::Waveform;
        d.handlers.getParams = muxGetParams;
        d.handlers.checkParams = muxCheck;
        d.handlers.prepareOutput = muxPrepare;
        d.handlers.compute = muxCompute;
        d.handlers.readScriptLine = muxReadScriptLine;
        d.handlers.writeScriptLine = muxWriteScriptLine;
        registerDescribed(std::move(d));
    }
}

}  // namespace qf
