#include "support/temp_dir_host.h"

#include <stdexcept>
#include <string>
#include <system_error>

#include <stdlib.h>

namespace veldan::test {

std::filesystem::path MakeTempFolder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "veldan-test-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return tmpl;
}

void MakeRemovable(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
}

}  // namespace veldan::test
