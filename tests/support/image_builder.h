#pragma once
// Builds machine images in a temporary folder for tests: machine.ini, .reg
// files and files on drive C:, then loads them. In the Windows build the same
// image is made on the machine the tests run on, below a scratch key and a
// scratch folder, and loads as a ScratchMachine over the live backend.

#include <memory>
#include <string>
#include <string_view>

#include "support/temp_dir.h"
#ifdef _WIN32
#include "support/scratch_machine_win32.h"
#else
#include "machine/image/image_machine.h"
#endif

namespace veldan::test {

// The machine a test image loads as.
#ifdef _WIN32
using BuiltMachine = ScratchMachine;
#else
using BuiltMachine = machine::image::ImageMachine;
#endif

class ImageBuilder {
  public:
    // The image is the folder `name` inside `dir`; drive_c/ is created at once.
    explicit ImageBuilder(const TempDir& dir, std::string_view name = "image");

    // machine.ini text.
    ImageBuilder& Ini(std::string_view text);
    // registry/<fileName> with the .reg text; the 5.00 header is added when the
    // text has no header of its own.
    ImageBuilder& Reg(std::string_view fileName, std::string_view regText);
    // A file on drive C: given by its Windows path ("C:\\WINDOWS\\x.dll").
    ImageBuilder& File(std::string_view winPath, std::string_view bytes = "x");
    // A folder on drive C:.
    ImageBuilder& Folder(std::string_view winPath);

    const std::string& folder() const { return folder_; }
    // The host path of a Windows path on drive C: (as given, no case folding).
    std::string Host(std::string_view winPath) const;

    // Loads the image with a manual clock; fails the test and returns null when
    // it cannot be loaded.
    std::unique_ptr<BuiltMachine> Load() const;

  private:
    std::string folder_;
#ifdef _WIN32
    std::shared_ptr<ScratchImage> scratch_;
#endif
};

// `regText` with the 5.00 header in front when it has no header of its own.
std::string WithRegHeader(std::string_view regText);

// Creates the shell's special folders the folder table names, as a machine
// that has been in use has them (looking at a machine never creates them).
void CreateShellFolders(machine::Machine& m);

}  // namespace veldan::test
