#include "session.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "engine/loader.h"
#include "host/file_read.h"
#include "host/file_write.h"
#include "host/ini_text.h"
#include "machine/hive/hive_registry.h"
#include "machine/image/host_paths.h"
#include "machine/memory/memory_machine.h"
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
    if (!host::ReadTextFile(g.programFolder + "/Veldan.ini", textUtf8)) return {};
    return host::IniText(textUtf8).Find("VELDAN", "homepage").value_or(std::string());
}

bool WriteFileAtomic(const std::string& path, std::string_view bytes) {
    return host::WriteFileAtomic(path, bytes) == host::ERROR_SUCCESS;
}

EmptyMachineSession::EmptyMachineSession(const Globals& g)
    : machine(std::make_unique<machine::memory::MemoryMachine>()),
      debug(text::MakeDefaultDebugSink()),
      ctx(std::make_unique<platform::Context>(*machine, *debug)) {
    ctx->setProgramFolder(g.programFolder);
    platform::InitFolderTable(*ctx);
    engine::LoadDatabases(*ctx);
}

}  // namespace veldan::cli
