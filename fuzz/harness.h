// What the fuzz targets share: scratch folders, an engine started afresh
// for each input with the silent host (silent_host.cpp), little free space,
// and the script replay as the engine runs it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fuzz/confine.h"
#include "quillfen/quillfen.h"

namespace qf::fuzz {

// Bytes the file system is said to have free: outputs larger than this are
// refused by the space check before any record is written, which keeps the
// work one input can ask for small.
constexpr int64_t kFreeBytes = 2 << 20;

// This process's folders (each ending with '/'), made on first use under
// $QF_FUZZ_TMP (else /dev/shm, else /tmp) and removed when it ends: the
// engine's home (settings, log) and the working folder inputs are put in.
// With QF_FUZZ_KEEP set they stay, to look at after a finding.
const std::string& homeDir();
const std::string& workDir();

// Makes the working folder current, removes every file in it but `keep`
// and writes the kept files with exactly their bytes.
void resetWorkFolder(const std::map<std::string, std::string>& keep = {});

// Starts the engine as if the library had just been loaded, bound to the
// silent host, with the home folder above and little free space.
void restartEngine();

// The next dialog the engine opens gets this answer (0 = OK with the block
// as the answer left it); every later one is cancelled.
void answerNextDialog(std::function<int32_t(CommandBlock&)> answer);
// Draws every graph window the engine asked for, closes it and drops a
// pending answer.
void closeGraphWindows();
// Sends these plotGraphCtrl commands (grREFRESH = 10 draws) to each open
// graph window in turn.
void viewGraphWindows(const std::vector<int32_t>& commands);

// Writes or reads a whole file.
void putFile(const std::string& path, const std::string& bytes);
std::string fileBytes(const std::string& path);

// Replays `text` as the script "fuzz.scr" of the working folder through
// operation 1120, then draws and closes the graph windows it opened;
// RunOp's result.
int32_t replayScript(const std::string& text);
// The same, leaving the graph windows it opened open.
int32_t replayScriptKeepingGraphs(const std::string& text);

// A file of the source tree (the example filters).
std::string sourcePath(const char* relative);

// Small files for scripts to work on, made once by the engine: t16.tim
// (16-bit words), tf.tim (floats), tt.tim (floats as text), a.fre (FFT
// frames), a.lpc (LPC coefficients), mc.tim (a two-channel recording),
// two.txt (its text), and the example filters fir.flt, firq.flt, iir.flt and
// lattice.flt.
const std::map<std::string, std::string>& preparedFiles();

}  // namespace qf::fuzz
