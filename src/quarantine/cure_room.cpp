#include "quarantine/cure_room.h"

#include <vector>

#include "quarantine/journaling_machine.h"

namespace veldan::quarantine {

WinError CheckRoomForCure(platform::Context& ctx, const engine::ScanResult& result,
                          std::string_view quarantine, std::string& problem) {
    const platform::ScanItemList& found = ctx.report().found();
    std::vector<std::string> paths;
    std::uint64_t changes = 0;
    for (const engine::ScanRow& row : result.rows) {
        if (!row.checked) continue;
        for (int i = row.itemStart; i < row.itemStart + row.itemCount && i < found.Count(); ++i) {
            const platform::CScanItem& item = found.At(i);
            ++changes;
            if (item.type == platform::FILE || item.type == platform::DIR)
                paths.push_back(item.text);
        }
    }
    machine::FileSystem& fs = ctx.files();
    return CheckRoom(fs, quarantine, RoomToKeep(fs, paths, changes), problem);
}

WinError BeginCheckedCure(platform::Context& ctx, JournalingMachine& journal,
                          const engine::ScanResult& result, std::string& problem) {
    if (const WinError e = CheckRoomForCure(ctx, result, journal.quarantineFolder(), problem)) {
        return e;
    }
    std::vector<std::string> names;
    for (const engine::ScanRow& row : result.rows) {
        if (row.checked) names.push_back(row.name);
    }
    return journal.BeginCure(names, problem);
}

}  // namespace veldan::quarantine
