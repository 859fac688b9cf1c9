#include "machine/memory/memory_profiles.h"

#include "text/strings.h"

namespace veldan::machine::memory {
namespace {

// The section name of a "[name]" line, or false for any other line.
bool SectionOf(std::string_view line, std::string& name) {
    std::string_view t = text::TrimView(line);
    if (t.size() < 2 || t.front() != '[') return false;
    const std::size_t close = t.find(']');
    if (close == std::string_view::npos) return false;
    name = text::Trim(t.substr(1, close - 1));
    return true;
}

// The key and value of a "key=value" line, trimmed; false for a line without '='.
bool EntryOf(std::string_view line, std::string& key, std::string& value) {
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    key = text::Trim(line.substr(0, eq));
    value = text::Trim(line.substr(eq + 1));
    return true;
}

// The lines of the section: [begin, end) after its header; begin == npos when missing.
void FindSection(const std::vector<std::string>& lines, std::string_view section,
                 std::size_t& begin, std::size_t& end) {
    begin = end = std::string::npos;
    std::string name;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!SectionOf(lines[i], name)) continue;
        if (begin != std::string::npos) {
            end = i;
            return;
        }
        if (text::EqualsNoCase(name, section)) begin = i + 1;
    }
    if (begin != std::string::npos) end = lines.size();
}

}  // namespace

std::string MemoryProfiles::PathOf(std::string_view file) const {
    if (file.find_first_of("\\/:") != std::string_view::npos) return std::string(file);
    return windir_ + "\\" + std::string(file);
}

std::vector<std::string> MemoryProfiles::Lines(std::string_view file) const {
    std::string bytes;
    if (files_.ReadFile(PathOf(file), bytes) != ERROR_SUCCESS) return {};
    std::vector<std::string> lines = text::Split(bytes, '\n');
    for (std::string& l : lines) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
    }
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

WinError MemoryProfiles::Store(std::string_view file, const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& l : lines) bytes += l + "\r\n";
    return files_.WriteFile(PathOf(file), bytes);
}

std::string MemoryProfiles::GetString(std::string_view section, std::string_view key,
                                      std::string_view def, std::string_view file) const {
    for (const auto& [k, v] : GetSection(section, file)) {
        if (!text::EqualsNoCase(k, key)) continue;
        if (v.size() >= 2 &&
            ((v.front() == '"' && v.back() == '"') || (v.front() == '\'' && v.back() == '\''))) {
            return v.substr(1, v.size() - 2);
        }
        return v;
    }
    return std::string(def);
}

std::vector<std::pair<std::string, std::string>> MemoryProfiles::GetSection(
    std::string_view section, std::string_view file) const {
    const std::vector<std::string> lines = Lines(file);
    std::size_t begin = 0, end = 0;
    FindSection(lines, section, begin, end);
    std::vector<std::pair<std::string, std::string>> out;
    if (begin == std::string::npos) return out;
    std::string k, v;
    for (std::size_t i = begin; i < end; ++i) {
        if (EntryOf(lines[i], k, v)) out.emplace_back(k, v);
    }
    return out;
}

std::vector<std::string> MemoryProfiles::GetSectionNames(std::string_view file) const {
    std::vector<std::string> names;
    std::string name;
    for (const std::string& l : Lines(file)) {
        if (SectionOf(l, name)) names.push_back(name);
    }
    return names;
}

WinError MemoryProfiles::WriteString(std::string_view section, std::optional<std::string_view> key,
                                     std::optional<std::string_view> value, std::string_view file) {
    std::vector<std::string> lines = Lines(file);
    std::size_t begin = 0, end = 0;
    FindSection(lines, section, begin, end);
    if (begin == std::string::npos) {
        if (!key || !value) return ERROR_SUCCESS;  // nothing to delete
        lines.push_back("[" + std::string(section) + "]");
        lines.push_back(std::string(*key) + "=" + std::string(*value));
        return Store(file, lines);
    }
    if (!key) {
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(begin - 1),
                    lines.begin() + static_cast<std::ptrdiff_t>(end));
        return Store(file, lines);
    }
    std::string k, v;
    for (std::size_t i = begin; i < end; ++i) {
        if (!EntryOf(lines[i], k, v) || !text::EqualsNoCase(k, *key)) continue;
        if (value) {
            lines[i] = std::string(*key) + "=" + std::string(*value);
        } else {
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
        }
        return Store(file, lines);
    }
    if (!value) return ERROR_SUCCESS;
    // After the section's last entry, before the blank lines that end it.
    std::size_t at = end;
    while (at > begin && text::TrimView(lines[at - 1]).empty()) --at;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at),
                 std::string(*key) + "=" + std::string(*value));
    return Store(file, lines);
}

WinError MemoryProfiles::AppendString(std::string_view section, std::string_view key,
                                      std::string_view value, std::string_view file) {
    std::vector<std::string> lines = Lines(file);
    std::size_t begin = 0, end = 0;
    FindSection(lines, section, begin, end);
    const std::string line = std::string(key) + "=" + std::string(value);
    if (begin == std::string::npos) {
        lines.push_back("[" + std::string(section) + "]");
        lines.push_back(line);
    } else {
        std::size_t at = end;
        while (at > begin && text::TrimView(lines[at - 1]).empty()) --at;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), line);
    }
    return Store(file, lines);
}

}  // namespace veldan::machine::memory
