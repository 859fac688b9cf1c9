#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "host/wide_path_win32.h"
#include "machine/reg_file.h"
#include "machine/registry_paths.h"
#include "machine/win32/win32_registry.h"

namespace veldan::test {
namespace fs = std::filesystem;

// The image's folder is its scratch drive; the registry texts wait for the
// first load, which knows the family from machine.ini.
ImageBuilder::ImageBuilder(const TempDir&, std::string_view)
    : scratch_(std::make_shared<ScratchImage>()) {
    folder_ = scratch_->drive.root();
}

ImageBuilder& ImageBuilder::Ini(std::string_view text) {
    machine::image::MachineIni ini;
    machine::image::IniError error;
    if (!machine::image::ParseMachineIni(text, ini, error)) {
        ADD_FAILURE() << "machine.ini does not parse: line " << error.line << ": "
                      << error.message;
    }
    scratch_->ini = std::move(ini);
    return *this;
}

ImageBuilder& ImageBuilder::Reg(std::string_view fileName, std::string_view regText) {
    scratch_->pendingRegs[std::string(fileName)] = std::string(regText);
    return *this;
}

std::string ImageBuilder::Host(std::string_view winPath) const {
    return scratch_->drive.Map(winPath);
}

ImageBuilder& ImageBuilder::File(std::string_view winPath, std::string_view bytes) {
    const fs::path path(host::WidePath(Host(winPath)));
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return *this;
}

ImageBuilder& ImageBuilder::Folder(std::string_view winPath) {
    fs::create_directories(fs::path(host::WidePath(Host(winPath))));
    return *this;
}

std::unique_ptr<BuiltMachine> ImageBuilder::Load() const {
    auto m = std::make_unique<ScratchMachine>(scratch_);
    // Each .reg text goes into the live registry once: what a machine changes
    // stays there for the next load, as an image's saved registry does.
    for (const auto& [name, text] : scratch_->pendingRegs) {
        machine::RegFileError error;
        if (!machine::ApplyRegFile(WithRegHeader(text), name, m->registry(), error)) {
            ADD_FAILURE() << "image does not load: " << error.ToString();
            return nullptr;
        }
    }
    // The protected keys of machine.ini deny their deletion through their access
    // lists, as a key the machine refuses to delete does; an NT registry over
    // the same scratch key writes them whatever the image's family.
    if (!scratch_->pendingRegs.empty()) {
        machine::win32::Win32Registry nt(machine::win32::Win32Registry::ScratchRoots(scratch_->key),
                                         machine::OsFamily::Nt);
        for (const std::string& key : scratch_->ini.protectedKeys) {
            machine::HKEY root = 0;
            std::string sub;
            if (!machine::SplitKeyPath(key, root, sub) ||
                nt.SetKeySecurity(root, sub, machine::KeySecurity{true}) !=
                    machine::ERROR_SUCCESS) {
                ADD_FAILURE() << "protected key cannot be protected: " << key;
                return nullptr;
            }
        }
    }
    scratch_->pendingRegs.clear();
    return m;
}

}  // namespace veldan::test
