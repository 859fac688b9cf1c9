#pragma once
// Writing an image's registry and machine.ini back as one change.
//
// Both files are staged in "registry.saving/" beside "registry/" ("machine.reg"
// and "machine.ini.pending"); renaming that folder to "registry.commit" is the
// commit point. From there the change is carried forward: the folder takes the
// place of "registry/", then "machine.ini.pending" replaces "machine.ini".
// Whatever step a save is cut at (a crash, a kill, a full disk), the image reads
// either wholly as before or, once FinishImageSave has run, wholly as after.

#include <functional>
#include <string>
#include <string_view>

namespace veldan::machine::image {

// Why a save failed: the path to blame and what went wrong.
struct SaveFailure {
    std::string path;
    std::string message;
    bool readOnly = false;  // the path may not be written
};

// The steps of a save, for tests that cut one short: called before each step
// with its number (0, 1, ...); returning true stops the save there, as a kill
// would, leaving everything on disk as it is.
using SaveCut = std::function<bool(int step)>;

// Checks that the image folder, its registry/ folder and machine.ini may be
// written, without writing anything. False with `failure` filled when not.
bool CheckImageWritable(const std::string& folder, SaveFailure& failure);

// Writes `regText` as the image's only registry file and `iniText` as its
// machine.ini, all or nothing. False with `failure` filled when the save did not
// reach its commit point (the image is then unchanged), or when it did but could
// not be carried to the end (FinishImageSave completes it on the next load).
bool SaveImageFiles(const std::string& folder, std::string_view regText,
                    std::string_view iniText, SaveFailure& failure,
                    const SaveCut& cut = nullptr);

// Completes a save that passed its commit point and discards one that did not.
// Does nothing (and writes nothing) when no save was cut short. False with
// `failure` filled when the folder cannot be put right.
bool FinishImageSave(const std::string& folder, SaveFailure& failure);

}  // namespace veldan::machine::image
