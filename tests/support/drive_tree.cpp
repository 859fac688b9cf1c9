#include "support/drive_tree.h"

#include <openssl/evp.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

namespace veldan::test {

namespace fs = std::filesystem;

std::string DriveTree(const std::string& drive, std::string_view skip) {
    std::vector<std::string> skipped;
    for (std::size_t pos = 0; pos < skip.size();) {
        std::size_t end = skip.find('|', pos);
        if (end == std::string_view::npos) end = skip.size();
        skipped.emplace_back(skip.substr(pos, end - pos));
        pos = end + 1;
    }
    std::set<std::string> lines;
    for (auto it = fs::recursive_directory_iterator(drive);
         it != fs::recursive_directory_iterator(); ++it) {
        const std::string rel = fs::relative(it->path(), drive).generic_string();
        bool left = false;
        for (const std::string& s : skipped) left = left || rel == s || rel.rfind(s + "/", 0) == 0;
        if (left) continue;
        const auto status = it->symlink_status();
        const bool writable = (status.permissions() & fs::perms::owner_write) != fs::perms::none;
        std::string line = rel + (fs::is_directory(status) ? "/" : "") + (writable ? " rw" : " ro");
        if (fs::is_regular_file(status)) {
            std::ifstream in(it->path(), std::ios::binary);
            const std::string bytes(std::istreambuf_iterator<char>(in), {});
            unsigned char digest[EVP_MAX_MD_SIZE];
            unsigned int size = 0;
            EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr);
            line += " " + std::to_string(bytes.size()) + " ";
            for (unsigned int i = 0; i < size; ++i) {
                static const char kHex[] = "0123456789abcdef";
                line += kHex[digest[i] >> 4];
                line += kHex[digest[i] & 15];
            }
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
