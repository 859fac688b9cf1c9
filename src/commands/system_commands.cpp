// The system commands: fixed-place repairs that take no script parameters.
// DeleteHostfile removes the host-name files; Adtomi finds and removes the
// random-name programs of the Windows folder and what starts them.

#include "commands/handler_table.h"
#include "platform/hosts.h"
#include "platform/winsock.h"

namespace veldan::commands {

void AddSystemCommands(HandlerTable& table) {
    using platform::Context;
    table["DeleteHostfile"] = {
        nullptr, [](Context& c, const Params&) { return platform::DeleteHostsFiles(c); }, nullptr};
    table["Adtomi"] = {nullptr, nullptr, [](Context& c, const Params&, bool fix) {
                           return platform::RemoveRandomNamePrograms(c, fix);
                       }};
    table["LSPFix"] = {nullptr, nullptr, [](Context& c, const Params& p, bool fix) {
                           return platform::LspFix(c, p[0], fix);
                       }};
}

}  // namespace veldan::commands
