// The one parameter dialog loop: seed the remembered values, ask the host,
// run the operation's check, and report its result the way the
// operation's description says (ask again, stop, or go on).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/operation.h"

namespace qf {

// The getParams handler of every described operation with a dialog.
int32_t askParams(int32_t mode, CheckParamsFn check);

// Puts the remembered values of the operation's parameters into the block,
// and keeps the block's values as the remembered ones.
void seedRemembered(CommandBlock& b, const OperationDescription& d);
void storeRemembered(CommandBlock& b, const OperationDescription& d);
// The start value of a remembered parameter (its fallback).
double rememberedValue(int32_t code, int32_t offset);

// Formats the message of a check result for the block into text; returns
// its kind, or -1 when the result has no message.
int32_t checkMessageText(const OperationDescription& d, const CheckMessage& m,
                         const CommandBlock& b, char* text, std::size_t size);
// Notes the check and the parameter it is about for hosts (qfRunState).
void noteCheck(const OperationDescription& d, const CheckMessage& m);
// Sends the messages of a check result, in the order the description lists
// them (once-only and conditional messages as described); false when
// nothing was sent.  The first message listed decides what the dialog does.
bool reportCheck(const OperationDescription& d, int32_t result);

}  // namespace qf
