#include "session.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "engine/loader.h"
#include "machine/backends/open_machine.h"
#include "machine/folder/host_paths.h"
#include "platform/folders.h"
#include "text/codepage.h"
#include "text/strings.h"

namespace veldan::cli {

bool Session::Save() {
    machine::MachineError error;
    const std::size_t backups = machine->Backups().size();
    if (!machine->Save(error)) {
        Fail(kExitFailure, "cannot save machine: " + error.ToString());
        return false;
    }
    // Say where the files as they were before this run are kept.
    const auto all = machine->Backups();
    for (std::size_t i = backups; i < all.size(); ++i) {
        std::fprintf(stderr, "veldan-cli: hive backed up to %s\n", all[i].c_str());
    }
    return true;
}

std::unique_ptr<machine::LoadedMachine> LoadMachine(const std::string& folder,
                                                    const machine::LoadOptions& options,
                                                    int& exitCode) {
    std::error_code ec;
    if (std::filesystem::exists(folder, ec) && !std::filesystem::is_directory(folder, ec)) {
        exitCode = Fail(kExitFailure, "cannot load machine: " + folder +
                                          " is a file, not a folder (give the folder of a "
                                          "machine image or a Windows installation)");
        return nullptr;
    }
    machine::MachineError error;
    auto m = machine::OpenMachine(folder, options, error);
    if (m) return m;
    if (error.kind == machine::MachineErrorKind::UserNotApplicable) {
        exitCode = Fail(kExitUsage, error.message);
    } else {
        exitCode = Fail(error.choosesUser() ? kExitUsage : kExitFailure,
                        "cannot load machine: " + error.ToString());
    }
    return nullptr;
}

bool OpenSession(const Globals& g, const std::string& machineFolder, bool loadDatabases, Session& s,
                 int& exitCode, const machine::LoadOptions& options) {
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
