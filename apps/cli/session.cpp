#include "session.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "engine/loader.h"
#include "host/file_read.h"
#include "host/file_write.h"
#include "host/ini_text.h"
#include "machine/backends/open_machine.h"
#include "machine/memory/memory_machine.h"
#include "platform/folders.h"
#include "text/codepage.h"
#include "text/strings.h"

namespace veldan::cli {

bool Session::Save(bool refusalsAreErrors) {
    machine::MachineError error;
    const std::size_t backups = machine->Backups().size();
    if (!machine->Save(error)) {
        if (!refusalsAreErrors && error.kind == machine::MachineErrorKind::Refused) {
            Fail(kExitOk, "warning: " + error.ToString());
            return true;
        }
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
    auto opened = LoadMachine(machineFolder, options, exitCode);
    if (!opened) return false;
    auto journaled = Journaled(std::move(opened));
    s.journal = journaled.get();
    s.machine = std::move(journaled);
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
