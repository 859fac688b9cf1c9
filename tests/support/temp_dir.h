#pragma once
// A temporary host folder removed with its contents at the end of its scope.

#include <filesystem>
#include <string>
#include <string_view>

namespace veldan::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }

    // Writes a file below the folder (creating its folders) and returns its path.
    std::filesystem::path Write(std::string_view relative, std::string_view bytes) const;
    // Reads a file below the folder; "" when it is missing.
    std::string Read(std::string_view relative) const;

  private:
    std::filesystem::path path_;
};

}  // namespace veldan::test
