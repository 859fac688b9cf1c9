#pragma once
// The command table and the dispatcher: every command word of the detection
// scripts with its parameter count and handler shape, and ExecFunc, which runs
// one parsed command line in scan mode (look and record) or cure mode.

#include <string>
#include <string_view>
#include <vector>

#include "platform/context.h"

namespace veldan::engine {

using platform::Context;

enum class HandlerShape { Pair, FixFlag, CureOnly };

// One row of the command table.
struct CommandInfo {
    std::string_view word;
    int paramCount;
    HandlerShape shape;
};

// The 105 command words in table order.
const std::vector<CommandInfo>& CommandTable();

// The command's parameter count, or -1 (with "GetParamCount... " + word + "\n")
// for a word that is not a command. Words are case-sensitive.
int GetParamCount(Context& ctx, std::string_view word);

// Runs one command: checks the parameter count ("ExecFunc... # of param... "
// dump and 0 when it differs), then calls the handler for the mode (scanMode
// non-zero: scan). Returns the handler's result. A word whose family has no
// handler yet writes "ExecFunc... " + word + "\n" and returns 0.
int ExecFunc(Context& ctx, std::string_view word, const std::vector<std::string>& params,
             int scanMode);

// True when the word has a handler.
bool HasHandler(std::string_view word);

// ParseLine, then ExecFunc; 0 when the line does not parse. The cure's entry point.
int RunScriptLine(Context& ctx, std::string_view line, int scanMode);

}  // namespace veldan::engine
