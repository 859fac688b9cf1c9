// reg export, machine restart and machine convert: the machine image commands.

#include <cstdio>

#include <memory>

#include "commands.h"
#include "machine/backends/convert.h"
#include "machine/reg_file.h"
#include "machine/registry_paths.h"
#include "program_folder.h"
#include "session.h"

namespace veldan::cli {
namespace {


struct MachineCommandOptions {
    std::string machine;
    MachineOptions load;
    std::string key;  // reg export
    ConvertOptions convert;
};

int RunReg(const std::string& word, const MachineCommandOptions& o) {
    if (word != "export") return Fail(kExitUsage, "usage: reg export --machine M [KEY]");
    if (o.machine.empty() && !HasLiveMachine()) {
        return Fail(kExitUsage, "reg export needs --machine M");
    }
    const bool oneKey = !o.key.empty();
    machine::HKEY root = 0;
    std::string subKey;
    if (oneKey && !machine::SplitKeyPath(o.key, root, subKey)) {
        return Fail(kExitUsage, "unknown registry root in '" + o.key + "'");
    }
    int code = kExitOk;
    auto m = LoadMachine(o.machine, o.load.Load(), code);
    if (!m) return code;

    machine::RegWriteOptions options;
    options.sortValues = true;
    options.readableStrings = true;
    const machine::Registry& reg = m->registry();
    std::string text;
    if (oneKey) {
        if (!machine::WriteRegKeyText(reg, root, subKey, options, text)) {
            return Fail(kExitFailure, "key not found: " + o.key);
        }
    } else {
        text = machine::WriteRegText(reg, options);
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kExitOk;
}

int RunMachine(const std::string& word, const MachineCommandOptions& o) {
    const ConvertOptions& c = o.convert;
    const bool convertOptions = !c.from.empty() || !c.to.empty() || !c.format.empty();
    if (word == "convert" && o.machine.empty()) return RunMachineConvert(c, o.load);
    if (word != "restart" || convertOptions) {
        return Fail(kExitUsage,
                    "usage: machine restart --machine M | machine convert --from DIR --to DIR "
                    "--format reg|hive");
    }
    if (o.machine.empty() && !HasLiveMachine()) {
        return Fail(kExitUsage, "machine restart needs --machine M");
    }
    int code = kExitOk;
    auto m = LoadMachine(o.machine, o.load.Load(), code);
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
    machine::MachineError saveError;
    if (!m->Save(saveError))
        return Fail(kExitFailure, "cannot save machine: " + saveError.ToString());
    if (o.machine.empty()) {
        // The machine veldan-cli runs on: its user restarts it, never this command.
        std::printf("restart Windows to carry out %zu pending operations\n", actions.size());
        return kExitOk;
    }
    std::printf("restarted: %d of %zu pending operations carried out\n", done, actions.size());
    return kExitOk;
}

}  // namespace

void AddRegCommand(CLI::App& app, Globals& g, Action& action) {
    auto o = std::make_shared<MachineCommandOptions>();
    // The options stand before or after the word "export".
    auto options = [o](CLI::App& on) {
        on.add_option("-m,--machine", o->machine, "machine image or Windows installation");
        AddMachineOptions(on, o->load);
    };
    CLI::App* cmd = AddCommand(app, "reg", "the registry of a machine", g);
    options(*cmd);
    cmd->require_subcommand(0, 1);
    CLI::App* exp = AddCommand(
        *cmd, "export",
        "the registry (or the tree of KEY) as \"Windows Registry Editor Version 5.00\" text, "
        "keys and values sorted",
        g);
    options(*exp);
    exp->add_option("KEY", o->key, "a key with its long or short root name (HKLM\\Software\\X)");
    cmd->callback(
        [&action, cmd, o] { action = [cmd, o] { return RunReg(ChosenWord(*cmd), *o); }; });
}

void AddMachineCommand(CLI::App& app, Globals& g, Action& action) {
    auto o = std::make_shared<MachineCommandOptions>();
    auto restartOptions = [o](CLI::App& on) {
        on.add_option("-m,--machine", o->machine, "machine image or Windows installation");
    };
    auto convertOptions = [o](CLI::App& on) {
        on.add_option("--from", o->convert.from, "machine image or installation to read")
            ->type_name("DIR");
        on.add_option("--to", o->convert.to, "new or empty folder to write")->type_name("DIR");
        on.add_option("--format", o->convert.format,
                      "reg: a machine image; hive: an installation with hive files")
            ->type_name("reg|hive");
    };
    CLI::App* cmd =
        AddCommand(app, "machine", "restart a machine, or convert it to another form", g);
    restartOptions(*cmd);
    convertOptions(*cmd);
    AddMachineOptions(*cmd, o->load);
    cmd->require_subcommand(0, 1);
    CLI::App* restart =
        AddCommand(*cmd, "restart", "carry out pending delete-at-restart operations", g);
    restartOptions(*restart);
    AddMachineOptions(*restart, o->load);
    CLI::App* convert = AddCommand(*cmd, "convert",
                                   "a machine image to a Windows disk with hive files, or back", g);
    convertOptions(*convert);
    AddMachineOptions(*convert, o->load);
    cmd->callback(
        [&action, cmd, o] { action = [cmd, o] { return RunMachine(ChosenWord(*cmd), *o); }; });
}

}  // namespace veldan::cli
