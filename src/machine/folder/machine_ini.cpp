#include "machine/folder/machine_ini.h"

#include "text/strings.h"

namespace veldan::machine::image {
namespace {

using text::EqualsNoCase;
using text::StartsWithNoCase;

bool ParseBool(std::string_view v, bool& out) {
    if (EqualsNoCase(v, "yes") || EqualsNoCase(v, "true") || v == "1") {
        out = true;
        return true;
    }
    if (EqualsNoCase(v, "no") || EqualsNoCase(v, "false") || v == "0") {
        out = false;
        return true;
    }
    return false;
}

enum class Section { None, Machine, Process, Window, Protected };

}  // namespace

bool ParseMachineIni(std::string_view text, MachineIni& ini, IniError& error) {
    MachineIni out;
    Section section = Section::None;
    int lineNo = 0;
    auto fail = [&](std::string message) {
        error.line = lineNo;
        error.message = std::move(message);
        return false;
    };
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t nl = text.find('\n', pos);
        std::string_view raw =
            text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
        pos = nl == std::string_view::npos ? text.size() + 1 : nl + 1;
        ++lineNo;
        std::string_view line = text::TrimView(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[') {
            if (line.back() != ']') return fail("section header without ']'");
            std::string_view name = text::TrimView(line.substr(1, line.size() - 2));
            if (EqualsNoCase(name, "machine")) {
                section = Section::Machine;
            } else if (EqualsNoCase(name, "protected")) {
                section = Section::Protected;
            } else if (StartsWithNoCase(name, "process ") || StartsWithNoCase(name, "window ")) {
                bool isProcess = StartsWithNoCase(name, "process ");
                std::string id = text::Trim(name.substr(isProcess ? 8 : 7));
                if (id.empty()) return fail("section without a name");
                if (isProcess) {
                    for (const auto& p : out.processes) {
                        if (EqualsNoCase(p.name, id))
                            return fail("process '" + id + "' named twice");
                    }
                    out.processes.push_back(ProcessSpec{id, {}, true, {}});
                    section = Section::Process;
                } else {
                    for (const auto& w : out.windows) {
                        if (EqualsNoCase(w.name, id))
                            return fail("window '" + id + "' named twice");
                    }
                    out.windows.push_back(WindowSpec{id, {}, {}, true});
                    section = Section::Window;
                }
            } else {
                return fail("unknown section [" + std::string(name) + "]");
            }
            continue;
        }
        std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return fail("expected key=value");
        std::string key = text::LowerAscii(text::TrimView(line.substr(0, eq)));
        std::string value = text::Trim(line.substr(eq + 1));
        switch (section) {
            case Section::None:
                return fail("key outside of a section");
            case Section::Machine:
                if (key == "os") {
                    if (EqualsNoCase(value, "nt")) {
                        out.os = OsFamily::Nt;
                    } else if (EqualsNoCase(value, "9x")) {
                        out.os = OsFamily::Win9x;
                    } else {
                        return fail("os must be nt or 9x, not '" + value + "'");
                    }
                } else if (key == "user") {
                    if (value.empty()) return fail("user must not be empty");
                    out.user = value;
                } else if (key == "windir") {
                    // Trailing separators go, and the blanks they leave at the end
                    // with them, so that the folder reads back as it is kept.
                    while (value.size() > 3 && (value.back() == '\\' || value.back() == '/'))
                        value = text::Trim(std::string_view(value).substr(0, value.size() - 1));
                    if (value.size() < 3 || value[1] != ':')
                        return fail("windir must be a full path");
                    out.windir = value;
                } else if (key == "temp") {
                    out.temp = value;
                } else if (key == "admin") {
                    if (!ParseBool(value, out.admin)) return fail("admin must be yes or no");
                } else {
                    return fail("unknown key '" + key + "' in [machine]");
                }
                break;
            case Section::Process: {
                ProcessSpec& p = out.processes.back();
                if (key == "image") {
                    p.image = value;
                } else if (key == "terminable") {
                    if (!ParseBool(value, p.terminable))
                        return fail("terminable must be yes or no");
                } else if (key == "holds") {
                    for (auto& item : text::Split(value, ';')) {
                        std::string t = text::Trim(item);
                        if (!t.empty()) p.holds.push_back(t);
                    }
                } else {
                    return fail("unknown key '" + key + "' in [process " + p.name + "]");
                }
                break;
            }
            case Section::Window: {
                WindowSpec& w = out.windows.back();
                if (key == "class") {
                    w.className = value;
                } else if (key == "process") {
                    w.process = value;
                } else if (key == "closes") {
                    if (!ParseBool(value, w.closes)) return fail("closes must be yes or no");
                } else {
                    return fail("unknown key '" + key + "' in [window " + w.name + "]");
                }
                break;
            }
            case Section::Protected:
                if (key != "key") return fail("[protected] takes key= lines only");
                if (value.empty()) return fail("empty key in [protected]");
                out.protectedKeys.push_back(value);
                break;
        }
    }
    for (const auto& p : out.processes) {
        if (p.image.empty()) {
            error.line = 0;
            error.message = "process '" + p.name + "' has no image";
            return false;
        }
    }
    for (const auto& w : out.windows) {
        if (w.className.empty()) {
            error.line = 0;
            error.message = "window '" + w.name + "' has no class";
            return false;
        }
    }
    ini = std::move(out);
    return true;
}

std::string WriteMachineIni(const MachineIni& ini) {
    std::string out = "[machine]\n";
    out += "os=" + std::string(ini.os == OsFamily::Nt ? "nt" : "9x") + "\n";
    out += "user=" + ini.user + "\n";
    out += "windir=" + ini.windir + "\n";
    if (!ini.temp.empty()) out += "temp=" + ini.temp + "\n";
    if (!ini.admin) out += "admin=no\n";
    for (const auto& p : ini.processes) {
        out += "\n[process " + p.name + "]\n";
        out += "image=" + p.image + "\n";
        if (!p.terminable) out += "terminable=no\n";
        if (!p.holds.empty()) {
            out += "holds=";
            for (std::size_t i = 0; i < p.holds.size(); ++i) out += (i ? ";" : "") + p.holds[i];
            out += "\n";
        }
    }
    for (const auto& w : ini.windows) {
        out += "\n[window " + w.name + "]\n";
        out += "class=" + w.className + "\n";
        if (!w.process.empty()) out += "process=" + w.process + "\n";
        if (!w.closes) out += "closes=no\n";
    }
    if (!ini.protectedKeys.empty()) {
        out += "\n[protected]\n";
        for (const auto& k : ini.protectedKeys) out += "key=" + k + "\n";
    }
    return out;
}

}  // namespace veldan::machine::image
