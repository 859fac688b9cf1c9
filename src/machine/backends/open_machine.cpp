#include "machine/backends/open_machine.h"

#include <filesystem>
#include <system_error>

#include "machine/hive/installation.h"
#include "machine/hive/installation_machine.h"
#include "machine/image/image_machine.h"

namespace veldan::machine {

bool HoldsInstallation(const std::string& folder) {
    std::error_code ec;
    return !std::filesystem::is_directory(std::filesystem::path(folder) / "drive_c", ec) &&
           hive::IsInstallation(folder);
}

std::unique_ptr<LoadedMachine> OpenMachine(const std::string& folder, const LoadOptions& options,
                                           MachineError& error, std::unique_ptr<Clock> clock) {
    if (HoldsInstallation(folder)) {
        return hive::InstallationMachine::Load(folder, options, error, std::move(clock));
    }
    // Anything else is taken for an image, which says what it lacks.
    auto image = image::ImageMachine::Load(folder, error, std::move(clock));
    if (!image) return nullptr;
    if (!options.user.empty()) {
        // A machine image has one user, set in its machine.ini.
        error = MachineError{
            MachineErrorKind::UserNotApplicable,
            {},
            0,
            "--user applies to Windows installations only; " + folder + " is a machine image"};
        return nullptr;
    }
    return image;
}

}  // namespace veldan::machine
