#include "updater/release_version.h"

#include "engine/database_file.h"
#include "engine/script.h"
#include "text/strings.h"

namespace veldan::updater {

std::string FolderDatabaseVersion(const std::string& folder) {
    engine::DatabaseFile file;
    if (!file.Open(folder + "/core/addb.txt", folder + "/data/addb")) return {};
    std::string version;
    std::string raw;
    std::string line;
    while (file.Next(raw)) {
        if (!engine::NormalizeLine(raw, line)) continue;
        if (engine::ClassifyLine(line) != engine::LineKind::NonCommand) continue;
        if (line.rfind("#VERSION", 0) != 0) continue;
        version = text::Trim(line.size() > 9 ? std::string_view(line).substr(9) : "");
    }
    return version;
}

bool IsOlderRelease(const std::string& release, const std::string& installed) {
    // std::string compares unsigned bytes, as the update check's comparison does.
    return release.compare(installed) < 0;
}

}  // namespace veldan::updater
