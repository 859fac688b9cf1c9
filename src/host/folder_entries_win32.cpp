#include "host/folder_entries.h"

namespace veldan::host {

std::error_code ForEachEntry(
    const std::filesystem::path& folder,
    const std::function<bool(const std::filesystem::directory_entry&)>& visit) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (!visit(*it)) break;
    }
    return ec;
}

}  // namespace veldan::host
