#pragma once
// How command families hand their handlers to the dispatcher: each family adds
// the handlers of its words to a table keyed by command word.

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/context.h"

namespace veldan::commands {

using Params = std::vector<std::string>;
using Handler = int (*)(platform::Context&, const Params&);
using FixHandler = int (*)(platform::Context&, const Params&, bool fix);

// The handlers of one word: scan and cure for a pair, cure alone for a
// cure-only word, fix for a word with a fix flag.
struct Handlers {
    Handler scan = nullptr;
    Handler cure = nullptr;
    FixHandler fix = nullptr;
};

using HandlerTable = std::unordered_map<std::string_view, Handlers>;

// Key, Value, ValueByData, KeyByData, EmptyKey.
void AddRegistryCommands(HandlerTable& table);
// File, Dir, EmptyDir, FilesFrom and the FileFrom / DirFrom / FilesFrom families;
// Process.
void AddFileCommands(HandlerTable& table);
// FavDir.
void AddShortcutCommands(HandlerTable& table);

}  // namespace veldan::commands
