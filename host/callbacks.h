#pragma once

#include <cstdint>
#include <string>

#include "quillfen/quillfen.h"

namespace qfhost {

// Applies the pending command-line answer to the block on the first dialog
// of an operation (0 = OK).  A dialog shown again means the engine refused
// the answer; a terminal cannot change it, so that is a cancel.
int32_t answerDialog();
// A dialog given the operation's check (the generators'): fills the block,
// then runs the check the way the graphical dialog's OK button does; a
// refusal is printed as the engine words it and cancels.
int32_t answerCheckedDialog(QfCheckParamsFn check);
// A dialog that fills a file table (the multiplexer's): as answerDialog,
// then the pending list goes into the table's entries, the rest emptied.
int32_t answerListDialog(void* fileTable);
// Text from scripts and files as it may go to a terminal: control
// characters other than tab and line feed become '?'.
std::string printable(const char* text);
// Set by Ctrl-C: the engine sees the Esc key down.
void interruptRequested();
bool interrupted();
// Starts a command afresh: an earlier Ctrl-C no longer holds Esc down.
void clearInterrupt();
// One line typed on the terminal (standard input), without its line end.
enum class TerminalRead { Line, Interrupted, End };
TerminalRead readTerminalLine(std::string& text);

}  // namespace qfhost
