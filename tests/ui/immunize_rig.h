#pragma once
// What the immunization page tests share: a machine whose registry has the
// ActiveX Compatibility key, the program folder's list files, and short looks
// at kill bits and cookie blocks in the machine's own registry.

#include <QList>
#include <QStringList>
#include <QTreeWidget>
#include <string>

#include "machine/registry.h"
#include "ui_fixture.h"

namespace veldan::test {

inline const std::string kCompatKey =
    "Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility";
inline const std::string kP3PHistoryKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\P3P\\History";

// The texts of one column of a list, top to bottom.
inline QStringList ListColumn(QTreeWidget* list, int column) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i) texts << list->topLevelItem(i)->text(column);
    return texts;
}

// The ticks of a list's rows, top to bottom.
inline QList<bool> ListTicks(QTreeWidget* list) {
    QList<bool> ticks;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        ticks << (list->topLevelItem(i)->checkState(0) == Qt::Checked);
    return ticks;
}

struct ImmunizeRig {
    UiRig ui;

    // Loads a machine with the ActiveX Compatibility key; `extraReg` adds .reg lines.
    ui::AppState& Load(const std::string& extraReg = {}) {
        ui.rig.image.Reg("base.reg", "[HKEY_LOCAL_MACHINE\\" + kCompatKey + "]\n" + extraReg);
        return ui.Load();
    }
    // Writes a file below the program folder ("core/killbit.txt", "data/killbit").
    void WriteProgramFile(const std::string& relative, const std::string& bytes) {
        ui.rig.dir.Write("program/" + relative, bytes);
    }
    // A file below the program folder; "" when missing.
    std::string ReadProgramFile(const std::string& relative) {
        return ui.rig.dir.Read("program/" + relative);
    }
    bool ProgramFileExists(const std::string& relative) {
        return std::filesystem::exists(ui.rig.dir.path() / "program" / relative);
    }

    machine::Registry& reg() { return ui.rig.raw(); }
    bool HasKey(machine::HKEY root, const std::string& key) {
        return reg().OpenKey(root, key) == machine::ERROR_SUCCESS;
    }
    bool HasCompatKey(const std::string& clsid) {
        return HasKey(machine::HKEY_LOCAL_MACHINE, kCompatKey + "\\" + clsid);
    }
    // The "Compatibility Flags" of the identifier; -1 when it has none.
    long long Flags(const std::string& clsid) {
        machine::RegValue v;
        if (reg().QueryValue(machine::HKEY_LOCAL_MACHINE, kCompatKey + "\\" + clsid,
                             "Compatibility Flags", v) != machine::ERROR_SUCCESS) {
            return -1;
        }
        return v.AsDword();
    }
    void SetFlags(const std::string& clsid, std::uint32_t flags) {
        const std::string key = kCompatKey + "\\" + clsid;
        reg().CreateKey(machine::HKEY_LOCAL_MACHINE, key);
        reg().SetValue(machine::HKEY_LOCAL_MACHINE, key, "Compatibility Flags",
                       machine::RegValue::Dword(flags));
    }
    // The cookie block of a domain: the default value of its P3P history key, or -1.
    long long CookieBlock(const std::string& domain) {
        machine::RegValue v;
        if (reg().QueryValue(machine::HKEY_CURRENT_USER, kP3PHistoryKey + "\\" + domain, "", v) !=
            machine::ERROR_SUCCESS) {
            return -1;
        }
        return v.AsDword();
    }
};

}  // namespace veldan::test
