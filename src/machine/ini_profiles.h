#pragma once
// Private-profile files read and edited as INI text (host::IniText). The
// private-profile rules live here once; a backend only reads a file's text and
// writes it back, in whatever encoding and way it keeps its files.
//
// A file name without a folder names a file in the Windows folder; an empty one
// names none. Names and values that hold a line break are refused
// (ERROR_INVALID_PARAMETER): they would write lines of their own.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "host/ini_text.h"
#include "machine/profiles.h"

namespace veldan::machine {

class IniProfiles : public Profiles {
  public:
    explicit IniProfiles(std::string windowsDirectory);

    VELDAN_PROFILES_OPERATIONS(final);

  protected:
    // The text of the existing file at the Windows path; nullopt when it is
    // missing or cannot be read.
    virtual std::optional<host::IniText> Load(const std::string& path) const = 0;

    // Changes the text of a file: true when the text was changed and is to be written.
    using Edit = std::function<bool(host::IniText& text, bool exists)>;
    // Reads the file at the Windows path (a missing one as an empty text that does
    // not exist yet), hands it to `edit`, and writes it back when `edit` returns
    // true. The error of reading or writing, else ERROR_SUCCESS.
    virtual WinError Change(const std::string& path, const Edit& edit) = 0;

  private:
    // The Windows path of `file`: as given when it names a folder, else in the Windows folder.
    std::string FullPath(std::string_view file) const;
    std::optional<host::IniText> LoadFile(std::string_view file) const;

    std::string windowsDirectory_;
};

}  // namespace veldan::machine
