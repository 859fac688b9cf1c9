#include "machine/folder/machine_ini.h"

#include "host/ini_text.h"
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
    const auto visit = [&](const host::IniItem& item) {
        lineNo = item.line;
        if (item.header) {
            const std::string_view name = item.name;
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
                return fail("unknown section [" + item.name + "]");
            }
            return true;
        }
        const std::string key = text::LowerAscii(item.name);
        std::string value = item.value;
        // A yes/no setting; a value that is neither is an error of its line.
        const auto yesNo = [&](bool& setting) {
            return ParseBool(value, setting) || fail(key + " must be yes or no");
        };
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
                    if (!yesNo(out.admin)) return false;
                } else {
                    return fail("unknown key '" + key + "' in [machine]");
                }
                break;
            case Section::Process: {
                ProcessSpec& p = out.processes.back();
                if (key == "image") {
                    p.image = value;
                } else if (key == "terminable") {
                    if (!yesNo(p.terminable)) return false;
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
                    if (!yesNo(w.closes)) return false;
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
        return true;
    };
    if (!host::ReadStrictIni(text, visit, error)) return false;
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
