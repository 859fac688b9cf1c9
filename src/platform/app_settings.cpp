#include "platform/app_settings.h"

#include <cstdlib>

#include "host/file_read.h"
#include "host/file_write.h"
#include "host/ini_text.h"
#include "text/codepage.h"
#include "text/strings.h"
#include "text/utf8.h"

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
    if (!host::ReadTextFile(path_, utf8)) return std::string(fallback);
    auto value = host::IniText(utf8).Find(section_, key);
    if (!value) return std::string(fallback);
    // The profile read fills a 256-byte buffer; keep whole characters.
    std::string result = *value;
    if (result.size() > kMaxValueBytes) result.resize(text::Utf8CharStart(result, kMaxValueBytes));
    return result;
}

int CAppSettings::WriteString(std::string_view key, std::string_view value,
                              std::string_view section) {
    if (!section.empty()) section_ = std::string(section);
    std::string utf8;
    host::ReadTextFile(path_, utf8);  // a missing file starts empty
    host::IniText ini(utf8);
    ini.Set(section_, key, value);
    return host::WriteFileAtomic(path_, ini.Text()) == host::ERROR_SUCCESS ? 1
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
