#include "machine/hive/installation_machine.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "machine/hive/hive_registry.h"
#include "machine/hive/installation.h"

namespace veldan::machine::hive {

InstallationMachine::InstallationMachine(const std::string& folder, std::unique_ptr<Clock> clock)
    : FolderMachine(folder, folder, std::move(clock)) {}

InstallationMachine::~InstallationMachine() = default;

std::unique_ptr<InstallationMachine> InstallationMachine::Load(const std::string& folder,
                                                               const LoadOptions& options,
                                                               MachineError& error,
                                                               std::unique_ptr<Clock> clock) {
    Installation inst;
    if (!OpenInstallation(folder, InstallationOptions{options.user, options.force}, inst, error)) {
        return nullptr;
    }
    std::unique_ptr<InstallationMachine> m(new InstallationMachine(folder, std::move(clock)));
    m->ini_.os = OsFamily::Nt;
    m->ini_.user = inst.user.name;
    m->ini_.windir = inst.windir;
    m->hives_ = std::move(inst.registry);
    m->Assemble();
    return m;
}

Registry& InstallationMachine::registry() {
    return *hives_;
}

bool InstallationMachine::Save(MachineError& error) {
    std::string failure;
    const bool committed = hives_->Commit(/*backup=*/true, failure);
    paths().ChangedAll();  // the hive files and their backups were written beside the drive's files
    if (committed) return true;
    error = MachineError{MachineErrorKind::NotWritten, folder_, 0,
                         "the registry was not written back: " + failure};
    return false;
}

bool InstallationMachine::CheckWritable(MachineError& error) const {
    for (const std::string& file : hives_->Files()) {
        const std::string dir = std::filesystem::path(file).parent_path().string();
        for (const std::string& p : {file, dir}) {
            if (::access(p.c_str(), W_OK) != 0) {
                error = MachineError{MachineErrorKind::ReadOnly, p, 0,
                                     std::string("read-only: ") + std::strerror(errno)};
                return false;
            }
        }
    }
    return true;
}

std::vector<std::string> InstallationMachine::Backups() const {
    return hives_->Backups();
}

}  // namespace veldan::machine::hive
