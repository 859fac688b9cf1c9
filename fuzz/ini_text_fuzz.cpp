// INI files (win.ini, system.ini, desktop.ini, .url ...) through the INI text
// reader: any text reads, gives its own bytes back, and takes lookups and
// edits; a plain key set is then found with its value.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "machine/folder/ini_text.h"

using veldan::machine::image::IniText;

namespace {

// A name or value an edit writes back unchanged and a lookup finds again.
bool Plain(std::string_view s, bool allowEmpty) {
    if (s.empty()) return allowEmpty;
    if (s.front() == ' ' || s.back() == ' ' || s.front() == '\t' || s.back() == '\t') return false;
    if (s.front() == ';') return false;
    for (char c : s) {
        if (c == '[' || c == ']' || c == '=' || c == '\r' || c == '\n' || c == '\0') return false;
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(24);
    const std::string key = in.ConsumeRandomLengthString(24);
    const std::string value = in.ConsumeRandomLengthString(24);
    const int edit = in.ConsumeIntegralInRange(0, 3);
    const std::string text = in.ConsumeRemainingBytesAsString();

    IniText ini(text);
    if (ini.Text() != text) std::abort();
    for (const std::string& name : ini.SectionNames()) {
        for (const auto& [k, v] : ini.Section(name)) (void)ini.Find(name, k);
    }
    (void)ini.Find(section, key);
    switch (edit) {
        case 0:
            ini.Set(section, key, value);
            if (Plain(section, false) && Plain(key, false) && Plain(value, true) &&
                ini.Find(section, key) != value) {
                std::abort();
            }
            break;
        case 1:
            ini.Append(section, key, value);
            break;
        case 2:
            if (ini.DeleteKey(section, key) && Plain(section, false) && Plain(key, false)) {
                // Only the first line of the key goes; the text must still read.
                (void)ini.Find(section, key);
            }
            break;
        default:
            if (ini.DeleteSection(section) && Plain(section, false) &&
                !ini.Section(section).empty()) {
                std::abort();
            }
            break;
    }
    // The edited text reads back as the same lines.
    const std::string edited = ini.Text();
    if (IniText(edited).Text() != edited) std::abort();
    return 0;
}
