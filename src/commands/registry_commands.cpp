// The generic registry commands: Key, Value, ValueByData, KeyByData, EmptyKey.
// Parameters: hive text, sub-key, and the value name or data. A hive text that
// names no root ("STR2HKEY... " written) makes the command do nothing (0).

#include "commands/command_rows.h"
#include "platform/registry_ops.h"

namespace veldan::commands {
namespace {

using machine::HKEY;
using KeyOp = int (*)(Context&, HKEY, std::string_view);
using ValueOp = int (*)(Context&, HKEY, std::string_view, std::string_view);

// The operation on the root the line's first text names.
template <KeyOp F>
int OnKey(Context& c, const Params& p) {
    HKEY root = 0;
    return platform::STR2HKEY(c, p[0], root) ? F(c, root, p[1]) : 0;
}
template <ValueOp F>
int OnValue(Context& c, const Params& p) {
    HKEY root = 0;
    return platform::STR2HKEY(c, p[0], root) ? F(c, root, p[1], p[2]) : 0;
}

}  // namespace

std::span<const CommandRow> RegistryRows() {
    using namespace platform;
    static constexpr CommandRow kRows[] = {
        PairRow("Key", 2, &OnKey<ScanKey>, &OnKey<CureKey>),
        PairRow("Value", 3, &OnValue<ScanValue>, &OnValue<CureValue>),
        PairRow("ValueByData", 3, &OnValue<ScanValueByData>, &OnValue<CureValueByData>),
        PairRow("KeyByData", 3, &OnValue<ScanKeyByData>, &OnValue<CureKeyByData>),
        CureOnlyRow("EmptyKey", 2, &OnKey<CureEmptyKey>),
    };
    return kRows;
}

}  // namespace veldan::commands
