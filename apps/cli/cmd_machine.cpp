// reg export, machine restart and machine convert: the machine image commands.

#include <cstdio>

#include "args.h"
#include "commands.h"
#include "machine/hive/hive_convert.h"
#include "machine/hive/hive_registry.h"
#include "machine/image/image_machine.h"
#include "machine/image/reg_file.h"
#include "session.h"
#include "text/strings.h"

namespace veldan::cli {
namespace {

using machine::image::ImageError;
using machine::image::ImageMachine;

// The registry of an installation (or one key of it) as an image registry,
// which the .reg writer takes. False when the key does not exist.
bool CopyForExport(ImageMachine& m, machine::HKEY root, const std::string& subKey, bool whole,
                   machine::image::ImageRegistry& copy) {
    const machine::Registry& reg = m.registry();
    if (whole) {
        for (machine::HKEY r :
             {machine::HKEY_CURRENT_USER, machine::HKEY_LOCAL_MACHINE, machine::HKEY_USERS}) {
            (void)machine::hive::CopyRegistryTree(reg, r, "", copy, r, "");
        }
        // The current control set once, under its own name, as an image shows it.
        copy.LinkCurrentControlSet();
        return true;
    }
    if (reg.OpenKey(root, subKey) != machine::ERROR_SUCCESS) return false;
    // Name the keys as they are stored, whatever case the caller used.
    std::string stored;
    for (const auto& part : text::Split(subKey, '\\')) {
        if (part.empty()) continue;
        std::string name, found = part;
        for (std::uint32_t i = 0; reg.EnumKey(root, stored, i, name) == machine::ERROR_SUCCESS;
             ++i) {
            if (text::EqualsNoCase(name, part)) {
                found = name;
                break;
            }
        }
        stored += (stored.empty() ? "" : "\\") + found;
    }
    return machine::hive::CopyRegistryTree(reg, root, stored, copy, root, stored) ==
           machine::ERROR_SUCCESS;
}

}  // namespace

int RunReg(const Globals&, const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.Parse(argv, MachineFlags({}), MachineValued({"machine"}), error))
        return Fail(kExitUsage, error);
    const auto& pos = args.positional();
    if (pos.empty() || pos[0] != "export")
        return Fail(kExitUsage, "usage: reg export --machine M [KEY]");
    if (pos.size() > 2) return Fail(kExitUsage, "reg export takes at most one key");
    auto folder = args.Value("machine");
    if (!folder) return Fail(kExitUsage, "reg export needs --machine M");

    machine::HKEY root = 0;
    std::string subKey;
    if (pos.size() == 2 && !machine::image::SplitKeyPath(pos[1], root, subKey)) {
        return Fail(kExitUsage, "unknown registry root in '" + pos[1] + "'");
    }
    int code = kExitOk;
    auto m = LoadMachine(*folder, MachineLoadOptions(args), code);
    if (!m) return code;

    machine::image::RegWriteOptions options;
    options.sortValues = true;
    options.readableStrings = true;
    machine::image::ImageRegistry installationCopy(true);
    if (m->isInstallation() &&
        !CopyForExport(*m, root, subKey, pos.size() != 2, installationCopy)) {
        return Fail(kExitFailure, "key not found: " + pos[1]);
    }
    const machine::image::ImageRegistry& reg =
        m->isInstallation() ? installationCopy : m->imageRegistry();
    std::string text;
    if (pos.size() == 2) {
        if (!machine::image::WriteRegKeyText(reg, root, subKey, options, text)) {
            return Fail(kExitFailure, "key not found: " + pos[1]);
        }
    } else {
        text = machine::image::WriteRegText(reg, options);
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kExitOk;
}

int RunMachine(const Globals& g, const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.Parse(argv, MachineFlags({}), MachineValued({"machine", "from", "to", "format"}),
                    error)) {
        return Fail(kExitUsage, error);
    }
    const auto& pos = args.positional();
    if (pos.size() == 1 && pos[0] == "convert" && !args.Has("machine")) {
        return RunMachineConvert(g, args);
    }
    if (pos.size() != 1 || pos[0] != "restart" || args.Has("from") || args.Has("to") ||
        args.Has("format")) {
        return Fail(kExitUsage,
                    "usage: machine restart --machine M | machine convert --from DIR --to DIR "
                    "--format reg|hive");
    }
    auto folder = args.Value("machine");
    if (!folder) return Fail(kExitUsage, "machine restart needs --machine M");
    int code = kExitOk;
    auto m = LoadMachine(*folder, MachineLoadOptions(args), code);
    if (!m) return code;

    auto actions = m->Restart();
    int done = 0;
    for (const auto& a : actions) {
        if (a.target.empty()) {
            std::printf("%s: %s\n", a.path.c_str(), a.note.c_str());
        } else {
            std::printf("%s -> %s: %s\n", a.path.c_str(), a.target.c_str(), a.note.c_str());
        }
        if (a.done) ++done;
    }
    ImageError saveError;
    if (!m->Save(saveError))
        return Fail(kExitFailure, "cannot save machine: " + saveError.ToString());
    std::printf("restarted: %d of %zu pending operations carried out\n", done, actions.size());
    return kExitOk;
}

}  // namespace veldan::cli
