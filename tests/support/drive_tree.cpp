#include "support/drive_tree.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace veldan::test {

namespace fs = std::filesystem;

std::string DriveTree(const std::string& drive, std::string_view skip) {
    std::set<std::string> lines;
    for (auto it = fs::recursive_directory_iterator(drive);
         it != fs::recursive_directory_iterator(); ++it) {
        const std::string rel = fs::relative(it->path(), drive).generic_string();
        if (!skip.empty() && (rel == skip || rel.rfind(std::string(skip) + "/", 0) == 0)) continue;
        const auto status = it->symlink_status();
        const bool writable = (status.permissions() & fs::perms::owner_write) != fs::perms::none;
        std::string line = rel + (fs::is_directory(status) ? "/" : "") + (writable ? " rw" : " ro");
        if (fs::is_regular_file(status)) {
            std::ifstream in(it->path(), std::ios::binary);
            line += " " + std::string(std::istreambuf_iterator<char>(in), {});
        }
        lines.insert(std::move(line));
    }
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

std::string HostPathOf(const std::string& image, std::string_view winPath) {
    std::string rel(winPath.size() > 3 ? winPath.substr(3) : std::string_view());
    for (char& c : rel) {
        if (c == '\\') c = '/';
    }
    return image + "/drive_c" + (rel.empty() ? "" : "/" + rel);
}

}  // namespace veldan::test
