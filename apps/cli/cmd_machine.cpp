// reg export and machine restart: the machine image commands.

#include <cstdio>

#include "args.h"
#include "commands.h"
#include "machine/image/image_machine.h"
#include "machine/image/reg_file.h"

namespace veldan::cli {
namespace {

using machine::image::ImageError;
using machine::image::ImageMachine;

std::unique_ptr<ImageMachine> LoadOrReport(const std::string& folder, int& exitCode) {
    ImageError error;
    auto m = ImageMachine::Load(folder, error);
    if (!m) exitCode = Fail(kExitFailure, "cannot load machine: " + error.ToString());
    return m;
}

}  // namespace

int RunReg(const Globals&, const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.Parse(argv, {}, {"machine"}, error)) return Fail(kExitUsage, error);
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
    auto m = LoadOrReport(*folder, code);
    if (!m) return code;

    machine::image::RegWriteOptions options;
    options.sortValues = true;
    options.readableStrings = true;
    std::string text;
    if (pos.size() == 2) {
        if (!machine::image::WriteRegKeyText(m->imageRegistry(), root, subKey, options, text)) {
            return Fail(kExitFailure, "key not found: " + pos[1]);
        }
    } else {
        text = machine::image::WriteRegText(m->imageRegistry(), options);
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kExitOk;
}

int RunMachine(const Globals&, const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.Parse(argv, {}, {"machine"}, error)) return Fail(kExitUsage, error);
    const auto& pos = args.positional();
    if (pos.size() != 1 || pos[0] != "restart")
        return Fail(kExitUsage, "usage: machine restart --machine M");
    auto folder = args.Value("machine");
    if (!folder) return Fail(kExitUsage, "machine restart needs --machine M");
    int code = kExitOk;
    auto m = LoadOrReport(*folder, code);
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
