#pragma once
// A Windows machine held in a host folder (a machine image):
//
//   machine.ini   optional: family, user, folders, processes, windows, protected keys
//   drive_c/      drive C:
//   registry/     *.reg files applied in file-name order
//
// Files change on disk at once; the registry, processes and windows live in
// memory until Save writes them back.

#include <memory>
#include <string>
#include <vector>

#include "machine/folder/folder_machine.h"
#include "machine/memory_registry.h"
#include "machine/image/image_save.h"

namespace veldan::machine::image {

class ImageMachine final : public folder::FolderMachine {
  public:
    // Loads the image in `folder`. Returns null with `error` filled when the folder,
    // machine.ini or a .reg file cannot be read; nothing is written either way.
    // `clock` defaults to a NoWaitClock: nothing runs on an image to wait for.
    static std::unique_ptr<ImageMachine> Load(const std::string& folder, MachineError& error,
                                              std::unique_ptr<Clock> clock = nullptr);
    ~ImageMachine() override;

    Registry& registry() override { return *registry_; }
    using Machine::registry;
    // The .reg registry itself.
    MemoryRegistry& imageRegistry() { return *registry_; }

    // Writes the registry back into registry/ (one file, replacing the folder
    // atomically) and machine.ini (ended processes and closed windows left out).
    bool Save(MachineError& error) override;
    bool CheckWritable(MachineError& error) const override;
    // An image keeps no backups: a save replaces it whole or not at all.
    std::vector<std::string> Backups() const override { return {}; }
    // Tests only: cuts the next saves short at a step (see image_save.h).
    void SetSaveCutForTesting(SaveCut cut) { saveCut_ = std::move(cut); }

  private:
    ImageMachine(const std::string& folder, std::unique_ptr<Clock> clock);

    std::unique_ptr<MemoryRegistry> registry_;
    SaveCut saveCut_;
};

}  // namespace veldan::machine::image
