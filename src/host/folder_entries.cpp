#include "host/folder_entries.h"

#include <cerrno>
#include <memory>
#include <string_view>

#include "host/quiet_open.h"

namespace veldan::host {

// Listed through readdir on a folder opened with O_NOATIME, so that listing
// leaves the folder's access time as it was.
std::error_code ForEachEntry(
    const std::filesystem::path& folder,
    const std::function<bool(const std::filesystem::directory_entry&)>& visit) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(OpenFolderQuietly(folder.c_str()), ::closedir);
    if (!dir) return {errno, std::generic_category()};
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(dir.get());
        if (e == nullptr) {
            if (errno != 0) return {errno, std::generic_category()};
            return {};
        }
        const std::string_view name = e->d_name;
        if (name == "." || name == "..") continue;
        std::error_code gone;
        const std::filesystem::directory_entry entry(folder / name, gone);
        if (gone) continue;  // removed while the folder was listed
        if (!visit(entry)) return {};
    }
}

}  // namespace veldan::host
