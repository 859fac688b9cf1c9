#include "commands/command_rows.h"

namespace veldan::commands {

const std::vector<CommandRow>& AllCommandRows() {
    static const std::vector<CommandRow> rows = [] {
        std::vector<CommandRow> all;
        for (auto family : {RegistryRows, FileRows, ShortcutRows, RegistryPlaceRows, ActiveXRows,
                            BrowserRows, StartupRows, SystemRows}) {
            const std::span<const CommandRow> r = family();
            all.insert(all.end(), r.begin(), r.end());
        }
        return all;
    }();
    return rows;
}

bool RowComplete(const CommandRow& row) {
    switch (row.shape) {
        case HandlerShape::Pair:
            return row.scan != nullptr && row.cure != nullptr;
        case HandlerShape::FixFlag:
            return row.withMode != nullptr;
        case HandlerShape::CureOnly:
            return row.cure != nullptr;
    }
    return false;
}

}  // namespace veldan::commands
