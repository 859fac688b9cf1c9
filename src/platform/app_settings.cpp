#include "platform/app_settings.h"

#include <cstdlib>

#include "machine/folder/host_paths.h"
#include "machine/folder/ini_text.h"
#include "text/codepage.h"
#include "text/strings.h"

namespace veldan::platform {

namespace {
constexpr std::size_t kMaxValueBytes = 255;
}

CAppSettings::CAppSettings(std::string programFolder)
    : path_(std::move(programFolder) + "/" + std::string(kSettingsFileName)),
      section_(kSettingsSection) {}

std::string CAppSettings::ReadString(std::string_view key, std::string_view fallback,
                                     std::string_view section) {
    if (!section.empty()) section_ = std::string(section);
    std::string utf8;
    if (!text::ReadTextFile(path_, utf8)) return std::string(fallback);
    auto value = machine::image::IniText(utf8).Find(section_, key);
    if (!value) return std::string(fallback);
    // The profile read fills a 256-byte buffer; keep whole characters.
    std::string result = *value;
    if (result.size() > kMaxValueBytes) {
        std::size_t cut = kMaxValueBytes;
        while (cut > 0 && (static_cast<unsigned char>(result[cut]) & 0xC0) == 0x80) --cut;
        result.resize(cut);
    }
    return result;
}

int CAppSettings::WriteString(std::string_view key, std::string_view value,
                              std::string_view section) {
    if (!section.empty()) section_ = std::string(section);
    std::string utf8;
    text::ReadTextFile(path_, utf8);  // a missing file starts empty
    machine::image::IniText ini(utf8);
    ini.Set(section_, key, value);
    return machine::image::WriteHostFileAtomic(path_, ini.Text()) == machine::ERROR_SUCCESS ? 1
                                                                                           : 0;
}

std::string UpdateHost(const std::string& programFolder) {
    if (const char* env = std::getenv("VELDAN_UPDATE_HOST")) {
        std::string host = text::Trim(env);
        if (!host.empty()) return host;
    }
    CAppSettings settings(programFolder);
    std::string host = text::Trim(settings.ReadString("updatehost", ""));
    return host.empty() ? std::string(kDefaultUpdateHost) : host;
}

}  // namespace veldan::platform
