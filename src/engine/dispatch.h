#pragma once
// The command table and the dispatcher: every command word of the detection
// scripts with its parameter count and handler shape, and ExecFunc, which runs
// one parsed command line in scan mode (look and record) or cure mode. The
// words and their handlers come from the command families' own rows.

#include <string>
#include <string_view>
#include <vector>

#include "commands/command_rows.h"
#include "platform/context.h"
#include "platform/mode.h"

namespace veldan::engine {

using commands::HandlerShape;
using platform::Context;
using platform::Mode;

// One row of the command table.
struct CommandInfo {
    std::string_view word;
    int paramCount;
    HandlerShape shape;
};

// The command words of every family, in table order (words compared without
// regard to case).
const std::vector<CommandInfo>& CommandTable();

// The command's parameter count, or -1 (with "GetParamCount... " + word + "\n")
// for a word that is not a command. Words are case-sensitive.
int GetParamCount(Context& ctx, std::string_view word);

// Runs one command: checks the parameter count ("ExecFunc... # of param... "
// dump and 0 when it differs), then calls the handler for the mode. Returns
// the handler's result; a cure-only word returns 0 in a scan. A word whose row
// lacks its handler writes "ExecFunc... " + word + "\n" and returns 0.
int ExecFunc(Context& ctx, std::string_view word, const std::vector<std::string>& params,
             Mode mode);

// True when the word has a handler.
bool HasHandler(std::string_view word);

// ParseLine, then ExecFunc; 0 when the line does not parse. The cure's entry point.
int RunScriptLine(Context& ctx, std::string_view line, Mode mode);

}  // namespace veldan::engine
