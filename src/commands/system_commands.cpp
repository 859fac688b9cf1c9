// The system commands: fixed-place repairs that take no script parameters.
// DeleteHostfile removes the host-name files; Adtomi finds and removes the
// random-name programs of the Windows folder and what starts them; LSPFix
// repairs the Winsock catalogs.

#include "commands/command_rows.h"
#include "platform/hosts.h"
#include "platform/winsock.h"

namespace veldan::commands {
namespace {

int DeleteHostfile(Context& ctx, const Params&) {
    return platform::DeleteHostsFiles(ctx);
}

// The two operations below take their mode as a cure flag of their own.
int Adtomi(Context& ctx, Mode mode) {
    return platform::RemoveRandomNamePrograms(ctx, mode == Mode::Cure);
}

int LSPFix(Context& ctx, std::string_view pattern, Mode mode) {
    return platform::LspFix(ctx, pattern, mode == Mode::Cure);
}

}  // namespace

std::span<const CommandRow> SystemRows() {
    static constexpr CommandRow kRows[] = {
        CureOnlyRow("DeleteHostfile", 0, &DeleteHostfile),
        Check0<Adtomi>("Adtomi"),
        Check1<LSPFix>("LSPFix"),
    };
    return kRows;
}

}  // namespace veldan::commands
