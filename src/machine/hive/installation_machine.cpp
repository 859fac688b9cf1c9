// The installation side of ImageMachine: a machine whose drive C: is the
// installation folder itself and whose registry is its hive files. The file
// system, INI files, shell links and system information are the image
// backend's; nothing runs, so there are no processes and no windows.

#include "machine/hive/hive_registry.h"
#include "machine/hive/installation.h"
#include "machine/image/image_machine.h"

namespace veldan::machine::image {

std::unique_ptr<ImageMachine> ImageMachine::LoadInstallation(const std::string& folder,
                                                             const LoadOptions& options,
                                                             ImageError& error,
                                                             std::unique_ptr<Clock> clock) {
    hive::Installation inst;
    hive::InstallationError failure;
    if (!hive::OpenInstallation(folder, hive::InstallationOptions{options.user, options.force},
                                inst, failure)) {
        error = ImageError{failure.file, 0, failure.message};
        error.chooseUser = failure.chooseUser;
        error.profiles = failure.profiles;
        return nullptr;
    }
    std::unique_ptr<ImageMachine> m(new ImageMachine());
    m->folder_ = folder;
    m->ini_.os = OsFamily::Nt;
    m->ini_.user = inst.user.name;
    m->ini_.windir = inst.windir;
    m->clock_ = clock ? std::move(clock) : std::make_unique<NoWaitClock>();
    m->paths_ = std::make_unique<HostPaths>(folder, ReadNtfsDosName,
                                            HostPaths::Listings::kSnapshot);
    m->hives_ = std::move(inst.registry);
    m->active_ = m->hives_.get();
    m->Assemble();
    return m;
}

bool ImageMachine::SaveInstallation(ImageError& error) {
    std::string failure;
    const bool committed = hives_->Commit(/*backup=*/true, failure);
    paths_->ChangedAll();  // the hive files and their backups were written beside the drive's files
    if (committed) return true;
    error = ImageError{folder_, 0, "the registry was not written back: " + failure};
    return false;
}

}  // namespace veldan::machine::image
