// The generic registry commands: Key, Value, ValueByData, KeyByData, EmptyKey.
// Parameters: hive text, sub-key, and the value name or data.

#include "commands/handler_table.h"
#include "platform/registry_ops.h"

namespace veldan::commands {

void AddRegistryCommands(HandlerTable& table) {
    using platform::Context;
    table["Key"] = {[](Context& c, const Params& p) { return platform::ScanKey(c, p[0], p[1]); },
                    [](Context& c, const Params& p) { return platform::CureKey(c, p[0], p[1]); }};
    table["Value"] = {
        [](Context& c, const Params& p) { return platform::ScanValue(c, p[0], p[1], p[2]); },
        [](Context& c, const Params& p) { return platform::CureValue(c, p[0], p[1], p[2]); }};
    table["ValueByData"] = {
        [](Context& c, const Params& p) { return platform::ScanValueByData(c, p[0], p[1], p[2]); },
        [](Context& c, const Params& p) { return platform::CureValueByData(c, p[0], p[1], p[2]); }};
    table["KeyByData"] = {
        [](Context& c, const Params& p) { return platform::ScanKeyByData(c, p[0], p[1], p[2]); },
        [](Context& c, const Params& p) { return platform::CureKeyByData(c, p[0], p[1], p[2]); }};
    table["EmptyKey"] = {
        nullptr, [](Context& c, const Params& p) { return platform::CureEmptyKey(c, p[0], p[1]); }};
}

}  // namespace veldan::commands
