#pragma once
// A Windows NT-family installation opened as a machine: drive C: is the
// installation folder itself and the registry is its hive files (see
// installation.h). Nothing runs on it, so there are no processes and no
// windows, and a restart only carries out the pending file operations.

#include <memory>
#include <string>
#include <vector>

#include "machine/folder/folder_machine.h"

namespace veldan::machine::hive {

class HiveRegistry;

class InstallationMachine final : public folder::FolderMachine {
  public:
    // Opens the installation in `folder` for the user `options` names. Returns
    // null with `error` filled when it holds no installation, the user must be
    // chosen, or a hive cannot be opened; nothing is written either way.
    static std::unique_ptr<InstallationMachine> Load(const std::string& folder,
                                                     const LoadOptions& options,
                                                     MachineError& error,
                                                     std::unique_ptr<Clock> clock = nullptr);
    ~InstallationMachine() override;

    Registry& registry() override;
    using Machine::registry;
    // The hive registry itself.
    HiveRegistry& hiveRegistry() { return *hives_; }

    // Writes the changed hives back, each backed up before its first change
    // and replaced whole.
    bool Save(MachineError& error) override;
    // Each hive is replaced by a new file beside it: the hives and their
    // folders must be writable.
    bool CheckWritable(MachineError& error) const override;
    std::vector<std::string> Backups() const override;

  private:
    InstallationMachine(const std::string& folder, std::unique_ptr<Clock> clock);

    std::unique_ptr<HiveRegistry> hives_;
};

}  // namespace veldan::machine::hive
