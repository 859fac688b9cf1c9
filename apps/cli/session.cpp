#include "session.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "engine/loader.h"
#include "machine/hive/hive_registry.h"
#include "machine/folder/host_paths.h"
#include "platform/folders.h"
#include "text/codepage.h"
#include "text/strings.h"

namespace veldan::cli {

bool Session::Save() {
    machine::image::ImageError error;
    std::size_t backups = machine->isInstallation() ? machine->hiveRegistry()->Backups().size() : 0;
    if (!machine->Save(error)) {
        Fail(kExitFailure, "cannot save machine: " + error.ToString());
        return false;
    }
    if (machine->isInstallation()) {
        // Say where the hives as they were before this run are kept.
        auto all = machine->hiveRegistry()->Backups();
        for (std::size_t i = backups; i < all.size(); ++i) {
            std::fprintf(stderr, "veldan-cli: hive backed up to %s\n", all[i].c_str());
        }
    }
    return true;
}

std::unique_ptr<machine::image::ImageMachine> LoadMachine(
    const std::string& folder, const machine::image::LoadOptions& options, int& exitCode) {
    std::error_code ec;
    if (std::filesystem::exists(folder, ec) && !std::filesystem::is_directory(folder, ec)) {
        exitCode = Fail(kExitFailure, "cannot load machine: " + folder +
                                          " is a file, not a folder (give the folder of a "
                                          "machine image or a Windows installation)");
        return nullptr;
    }
    machine::image::ImageError error;
    auto m = machine::image::ImageMachine::Load(folder, options, error);
    if (!m) {
        exitCode = Fail(error.chooseUser ? kExitUsage : kExitFailure,
                        "cannot load machine: " + error.ToString());
        return m;
    }
    if (!options.user.empty() && !m->isInstallation()) {
        // A machine image has one user, set in its machine.ini.
        exitCode = Fail(kExitUsage, "--user applies to Windows installations only; " + folder +
                                        " is a machine image");
        return nullptr;
    }
    return m;
}

bool OpenSession(const Globals& g, const std::string& machineFolder, bool loadDatabases, Session& s,
                 int& exitCode, const machine::image::LoadOptions& options) {
    s.machine = LoadMachine(machineFolder, options, exitCode);
    if (!s.machine) return false;
    s.debug = text::MakeDefaultDebugSink();
    s.ctx = std::make_unique<platform::Context>(*s.machine, *s.debug);
    s.ctx->setProgramFolder(g.programFolder);
    platform::InitFolderTable(*s.ctx);
    if (loadDatabases) engine::LoadDatabases(*s.ctx);
    return true;
}

std::string HomePageSetting(const Globals& g) {
    std::string textUtf8;
    if (!text::ReadTextFile(g.programFolder + "/Veldan.ini", textUtf8)) return {};
    bool inSection = false;
    for (const auto& raw : text::Split(textUtf8, '\n')) {
        std::string_view line = text::TrimView(raw);
        if (line.empty() || line[0] == ';') continue;
        if (line.front() == '[') {
            std::size_t close = line.find(']');
            inSection = close != std::string_view::npos &&
                        text::EqualsNoCase(text::TrimView(line.substr(1, close - 1)), "VELDAN");
            continue;
        }
        std::size_t eq = line.find('=');
        if (inSection && eq != std::string_view::npos &&
            text::EqualsNoCase(text::TrimView(line.substr(0, eq)), "homepage")) {
            return text::Trim(line.substr(eq + 1));
        }
    }
    return {};
}

bool WriteFileAtomic(const std::string& path, std::string_view bytes) {
    return machine::image::WriteHostFileAtomic(path, bytes) == machine::ERROR_SUCCESS;
}

EmptyImage::EmptyImage() {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::string tmpl = (fs::temp_directory_path(ec) / "veldan-empty-XXXXXX").string();
    if (ec || ::mkdtemp(tmpl.data()) == nullptr) return;
    folder_ = tmpl;
    fs::create_directories(fs::path(folder_) / "drive_c", ec);
}

EmptyImage::~EmptyImage() {
    if (folder_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
}

}  // namespace veldan::cli
