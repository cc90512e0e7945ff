// Multi-channel recordings (REALTIMEINT16): up to 32 channels interleaved
// sample by sample, record s * M + c holding sample s of channel c.
//
//   6110 demultiplex  one INTEGER16 file per channel, named "%s%02d.%s"
//                     from the output prefix (rec.tim -> rec00.tim ...),
//                     S = records / M samples each
//   6120 multiplex    up to 32 signals into one binary recording of M * S
//                     records, S the longest channel; a missing sample is
//                     0, a REAL32 sample x becomes x * 32768 by the overflow
//                     mode
//
// Both keep two working tables for the life of the engine, made on first
// use and freed at shut-down: 32 file entries (the multiplexer's channels,
// the demultiplexer's outputs) and 32 descriptors.
#pragma once

#include <cstdint>
#include <memory>

#include "core/engine.h"
#include "signal/descriptor.h"

namespace qf {

struct MultichannelTables {
    static constexpr Lifetime kLifetime = Lifetime::Start;
    std::unique_ptr<nameNpath[]> files;
    std::unique_ptr<SignalDescriptor[]> descriptors;

    // Makes both tables if they are not there yet: false (with the
    // out-of-memory message sent) when that fails.
    bool ensure();
    void release() {
        files.reset();
        descriptors.reset();
    }
};

MultichannelTables& multichannelTables();

namespace multichannel {

constexpr int32_t kMaxChannels = QF_FILE_LIST_MAX;

// 6110
int32_t demuxCheck(int32_t mode);
int32_t demuxPrepare(int32_t mode);
int32_t demuxCompute(int32_t mode, const ComputeArgs* args);
// The files the last demultiplexing wrote (their count at P 13008).
const nameNpath* demuxOutputs();

// 6120
int32_t muxGetParams(int32_t mode, CheckParamsFn check);
int32_t muxCheck(int32_t mode);
int32_t muxPrepare(int32_t mode);
int32_t muxCompute(int32_t mode, const ComputeArgs* args);
int32_t muxReadScriptLine(int32_t mode, const char* line, CheckParamsFn check);
int32_t muxWriteScriptLine(int32_t mode, std::FILE* scriptFile);

}  // namespace multichannel
}  // namespace qf
