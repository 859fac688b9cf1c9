#include "session.h"

#include "args.h"
#include "engine/loader.h"
#include "machine/image/host_paths.h"
#include "platform/folders.h"
#include "text/codepage.h"
#include "text/strings.h"

namespace veldan::cli {

bool Session::Save() {
    machine::image::ImageError error;
    if (machine->Save(error)) return true;
    Fail(kExitFailure, "cannot save machine: " + error.ToString());
    return false;
}

bool OpenSession(const Globals& g, const std::string& machineFolder, bool loadDatabases, Session& s,
                 int& exitCode) {
    machine::image::ImageError error;
    s.machine = machine::image::ImageMachine::Load(machineFolder, error);
    if (!s.machine) {
        exitCode = Fail(kExitFailure, "cannot load machine: " + error.ToString());
        return false;
    }
    s.debug = text::MakeDefaultDebugSink();
    s.ctx = std::make_unique<platform::Context>(*s.machine, *s.debug);
    s.ctx->setProgramFolder(g.programFolder);
    platform::InitFolderTable(*s.ctx);
    if (loadDatabases) engine::LoadDatabases(*s.ctx);
    return true;
}

std::string HomePageSetting(const Globals& g) {
    std::string textUtf8;
    if (!text::ReadTextFile(g.programFolder + "/Veldan.ini", textUtf8)) return {};
    bool inSection = false;
    for (const auto& raw : text::Split(textUtf8, '\n')) {
        std::string_view line = text::TrimView(raw);
        if (line.empty() || line[0] == ';') continue;
        if (line.front() == '[') {
            std::size_t close = line.find(']');
            inSection = close != std::string_view::npos &&
                        text::EqualsNoCase(text::TrimView(line.substr(1, close - 1)), "VELDAN");
            continue;
        }
        std::size_t eq = line.find('=');
        if (inSection && eq != std::string_view::npos &&
            text::EqualsNoCase(text::TrimView(line.substr(0, eq)), "homepage")) {
            return text::Trim(line.substr(eq + 1));
        }
    }
    return {};
}

bool WriteFileAtomic(const std::string& path, std::string_view bytes) {
    return machine::image::WriteHostFileAtomic(path, bytes) == machine::ERROR_SUCCESS;
}

}  // namespace veldan::cli
