// The generic registry commands: Key, Value, ValueByData, KeyByData, EmptyKey.
// Parameters: hive text, sub-key, and the value name or data.

#include "commands/command_rows.h"
#include "platform/registry_ops.h"

namespace veldan::commands {

std::span<const CommandRow> RegistryRows() {
    using namespace platform;
    static constexpr CommandRow kRows[] = {
        Pair2<ScanKey, CureKey>("Key"),
        Pair3<ScanValue, CureValue>("Value"),
        Pair3<ScanValueByData, CureValueByData>("ValueByData"),
        Pair3<ScanKeyByData, CureKeyByData>("KeyByData"),
        CureOnlyRow("EmptyKey", 2, &Take2<CureEmptyKey>),
    };
    return kRows;
}

}  // namespace veldan::commands
