#include "host/ini_text.h"

#include "text/lines.h"
#include "text/strings.h"

namespace veldan::host {
namespace {

constexpr std::size_t npos = std::string::npos;

using Kind = IniLineKind;

std::string EntryText(std::string_view key, std::string_view value) {
    std::string line;
    line.reserve(key.size() + 1 + value.size());
    line.append(key).push_back('=');
    line.append(value);
    return line;
}

}  // namespace

IniLine ReadIniLine(std::string_view line) {
    IniLine p;
    std::string_view t = text::TrimView(line);
    if (t.empty()) return p;
    if (t.front() == ';') {
        p.kind = Kind::Comment;
        return p;
    }
    if (t.front() == '[') {
        std::size_t close = t.rfind(']');
        if (close != npos) {
            p.kind = Kind::Header;
            p.name = text::TrimView(t.substr(1, close - 1));
            return p;
        }
        // Without a closing bracket the line is read as a key, as Windows does.
    }
    p.kind = Kind::Entry;
    std::size_t eq = t.find('=');
    if (eq == npos) {
        p.name = t;
        return p;
    }
    p.name = text::TrimView(t.substr(0, eq));
    p.value = text::TrimView(t.substr(eq + 1));
    p.hasValue = true;
    return p;
}

IniText::IniText(std::string_view utf8) {
    bool newlineSeen = false;
    std::size_t pos = 0;
    for (text::TextLine line; text::NextLine(utf8, pos, line);) {
        if (!newlineSeen && !line.end.empty()) {
            newline_ = std::string(line.end);
            newlineSeen = true;
        }
        lines_.push_back({std::string(line.text), std::string(line.end)});
    }
}

std::string IniText::Text() const {
    std::string out;
    for (const Line& line : lines_) {
        out += line.text;
        out += line.end;
    }
    return out;
}

std::vector<std::string> IniText::SectionNames() const {
    std::vector<std::string> names;
    for (const Line& line : lines_) {
        IniLine p = ReadIniLine(line.text);
        if (p.kind != Kind::Header) continue;
        bool seen = false;
        for (const std::string& n : names) seen = seen || text::EqualsNoCase(n, p.name);
        if (!seen) names.emplace_back(p.name);
    }
    return names;
}

std::size_t IniText::FindSection(std::string_view section) const {
    section = text::TrimView(section);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        IniLine p = ReadIniLine(lines_[i].text);
        if (p.kind == Kind::Header && text::EqualsNoCase(p.name, section)) return i;
    }
    return npos;
}

std::size_t IniText::SectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < lines_.size() && ReadIniLine(lines_[i].text).kind != Kind::Header) ++i;
    return i;
}

std::size_t IniText::FindKey(std::size_t header, std::string_view key) const {
    key = text::TrimView(key);
    std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        IniLine p = ReadIniLine(lines_[i].text);
        if (p.kind == Kind::Entry && text::EqualsNoCase(p.name, key)) return i;
    }
    return npos;
}

std::size_t IniText::InsertionPoint(std::size_t header) const {
    std::size_t at = SectionEnd(header);
    while (at > header + 1 && ReadIniLine(lines_[at - 1].text).kind == Kind::Blank) --at;
    return at;
}

void IniText::InsertLine(std::size_t index, std::string text) {
    if (index > 0 && lines_[index - 1].end.empty()) lines_[index - 1].end = newline_;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index),
                  Line{std::move(text), newline_});
}

std::size_t IniText::AddSection(std::string_view section) {
    if (!lines_.empty() && ReadIniLine(lines_.back().text).kind != Kind::Blank) {
        InsertLine(lines_.size(), "");
    }
    std::string header = "[";
    header.append(text::TrimView(section)).push_back(']');
    InsertLine(lines_.size(), std::move(header));
    return lines_.size() - 1;
}

std::optional<std::string> IniText::Find(std::string_view section, std::string_view key) const {
    std::size_t header = FindSection(section);
    if (header == npos) return std::nullopt;
    std::size_t line = FindKey(header, key);
    if (line == npos) return std::nullopt;
    IniLine p = ReadIniLine(lines_[line].text);
    if (!p.hasValue) return std::nullopt;
    return std::string(p.value);
}

std::vector<std::pair<std::string, std::string>> IniText::Section(std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> entries;
    std::size_t header = FindSection(section);
    if (header == npos) return entries;
    std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        IniLine p = ReadIniLine(lines_[i].text);
        if (p.kind == Kind::Entry) entries.emplace_back(p.name, p.value);
    }
    return entries;
}

void IniText::Set(std::string_view section, std::string_view key, std::string_view value) {
    key = text::TrimView(key);
    std::size_t header = FindSection(section);
    if (header != npos) {
        std::size_t line = FindKey(header, key);
        if (line != npos) {
            lines_[line].text = EntryText(key, value);
            return;
        }
    }
    Append(section, key, value);
}

void IniText::Append(std::string_view section, std::string_view key, std::string_view value) {
    std::size_t header = FindSection(section);
    if (header == npos) header = AddSection(section);
    InsertLine(InsertionPoint(header), EntryText(text::TrimView(key), value));
}

bool IniText::DeleteKey(std::string_view section, std::string_view key) {
    std::size_t header = FindSection(section);
    if (header == npos) return false;
    std::size_t line = FindKey(header, key);
    if (line == npos) return false;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(line));
    return true;
}

bool IniText::DeleteSection(std::string_view section) {
    bool removed = false;
    for (std::size_t header = FindSection(section); header != npos; header = FindSection(section)) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
                     lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header)));
        removed = true;
    }
    return removed;
}

bool ReadStrictIni(std::string_view text, const std::function<bool(const IniItem&)>& visit,
                   IniError& error) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    int lineNo = 0;
    std::size_t pos = 0;
    for (text::TextLine raw; text::NextLine(text, pos, raw);) {
        ++lineNo;
        const std::string_view t = text::TrimView(raw.text);
        if (t.empty() || t.front() == ';' || t.front() == '#') continue;
        IniItem item;
        item.line = lineNo;
        if (t.front() == '[') {
            if (t.back() != ']') {
                error = {lineNo, "section header without ']'"};
                return false;
            }
            item.header = true;
            item.name = text::Trim(t.substr(1, t.size() - 2));
        } else {
            const std::size_t eq = t.find('=');
            if (eq == npos) {
                error = {lineNo, "expected key=value"};
                return false;
            }
            item.name = text::Trim(t.substr(0, eq));
            item.value = text::Trim(t.substr(eq + 1));
        }
        if (!visit(item)) return false;
    }
    return true;
}

}  // namespace veldan::host
