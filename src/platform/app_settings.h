#pragma once
// The program's settings file: "Veldan.ini" in the program folder, section
// "VELDAN". It is a host file of the machine running Veldan (not of the machine
// being scanned). Keys in use: "homepage" (the address the browser gets back
// after a cure), "machine" (the machine folder chosen last) and "updatehost"
// (the update server's host, with an optional :port).

#include <string>
#include <string_view>

namespace veldan::platform {

inline constexpr std::string_view kSettingsSection = "VELDAN";
inline constexpr std::string_view kSettingsFileName = "Veldan.ini";

class CAppSettings {
  public:
    // The settings of the program in `programFolder` (a host folder).
    explicit CAppSettings(std::string programFolder);

    // The value of `key`, at most 255 bytes, or `fallback` when the file or the
    // key is missing. A non-empty `section` replaces the section for this and
    // every later call.
    std::string ReadString(std::string_view key, std::string_view fallback,
                           std::string_view section = {});
    // Writes `key` = `value`, creating the file and section when missing; the
    // rest of the file keeps its bytes. Returns 1 on success, 0 when the file
    // cannot be written.
    int WriteString(std::string_view key, std::string_view value, std::string_view section = {});

    // The host path of the file.
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    std::string section_;
};

// The update server used when nothing else names one.
inline constexpr std::string_view kDefaultUpdateHost = "update.veldan.test";

// The update server's host (with an optional :port): the environment variable
// VELDAN_UPDATE_HOST when set and not blank, else "updatehost" of the settings
// file in `programFolder`, else kDefaultUpdateHost.
std::string UpdateHost(const std::string& programFolder);

}  // namespace veldan::platform
