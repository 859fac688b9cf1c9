#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace veldan::test {
namespace fs = std::filesystem;

namespace {

void WriteBytes(const fs::path& p, std::string_view bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

ImageBuilder::ImageBuilder(const TempDir& dir, std::string_view name)
    : folder_((dir.path() / std::string(name)).string()) {
    fs::create_directories(fs::path(folder_) / "drive_c");
}

ImageBuilder& ImageBuilder::Ini(std::string_view text) {
    WriteBytes(fs::path(folder_) / "machine.ini", text);
    return *this;
}

ImageBuilder& ImageBuilder::Reg(std::string_view fileName, std::string_view regText) {
    WriteBytes(fs::path(folder_) / "registry" / std::string(fileName), WithRegHeader(regText));
    return *this;
}

std::string ImageBuilder::Host(std::string_view winPath) const {
    std::string rel(winPath.substr(winPath.size() >= 2 && winPath[1] == ':' ? 2 : 0));
    for (char& c : rel) {
        if (c == '\\') c = '/';
    }
    while (!rel.empty() && rel.front() == '/') rel.erase(0, 1);
    return (fs::path(folder_) / "drive_c" / rel).string();
}

ImageBuilder& ImageBuilder::File(std::string_view winPath, std::string_view bytes) {
    WriteBytes(Host(winPath), bytes);
    return *this;
}

ImageBuilder& ImageBuilder::Folder(std::string_view winPath) {
    fs::create_directories(Host(winPath));
    return *this;
}

std::unique_ptr<machine::image::ImageMachine> ImageBuilder::Load() const {
    machine::MachineError error;
    auto m = machine::image::ImageMachine::Load(folder_, error,
                                                std::make_unique<machine::ManualClock>());
    if (!m) ADD_FAILURE() << "image does not load: " << error.ToString();
    return m;
}

}  // namespace veldan::test
