#pragma once
// A small machine image in the fuzz folder (drive C: with the usual folders,
// an empty registry), loaded once per process, with a context over it as the
// scanner makes one: the folder table filled and the program folder set.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "machine/image/image_machine.h"
#include "machine/shell_links.h"
#include "platform/context.h"

namespace veldan::fuzz {

struct FuzzMachine {
    std::filesystem::path imageFolder;    // holds drive_c/
    std::filesystem::path programFolder;  // holds core/ and data/ for the databases
    machine::image::ImageMachine* machine = nullptr;
    platform::Context* ctx = nullptr;
};

// The machine of this process (made on first use; aborts when it cannot load).
FuzzMachine& TheMachine();

// Writes the input as file `name` at the root of the machine's drive C: and
// returns its Windows path ("C:\\name").
std::string PutOnDriveC(std::string_view name, const std::uint8_t* data, std::size_t size);

// Puts the input on drive C: as `name` and loads it with one of the machine's
// shortcut readers (&ShellLinks::LoadShellLink, &ShellLinks::LoadUrlShortcut),
// as the shortcut commands do.
template <class Link>
void LoadShortcut(std::string_view name, const std::uint8_t* data, std::size_t size,
                  machine::WinError (machine::ShellLinks::*load)(std::string_view, Link&) const) {
    const std::string path = PutOnDriveC(name, data, size);
    Link link;
    (void)(TheMachine().machine->shellLinks().*load)(path, link);
}

}  // namespace veldan::fuzz
