#include "common/fuzz_machine.h"

#include <cstdlib>
#include <memory>

#include "common/fuzz_folder.h"
#include "platform/folders.h"
#include "text/debug.h"

namespace veldan::fuzz {

namespace {

struct Holder {
    FuzzMachine view;
    std::unique_ptr<machine::image::ImageMachine> machine;
    text::NullDebugSink debug;
    std::unique_ptr<platform::Context> ctx;
};

std::unique_ptr<Holder> Make() {
    auto h = std::make_unique<Holder>();
    h->view.imageFolder = FuzzFolder() / "machine";
    h->view.programFolder = FuzzFolder() / "program";
    EmptyFolder(h->view.imageFolder / "drive_c" / "WINDOWS" / "system32");
    EmptyFolder(h->view.programFolder);
    WriteBytes(h->view.imageFolder / "machine.ini", "[machine]\nos=nt\nuser=Owner\n");
    machine::MachineError error;
    h->machine = machine::image::ImageMachine::Load(h->view.imageFolder.string(), error);
    if (!h->machine) std::abort();
    h->ctx = std::make_unique<platform::Context>(*h->machine, h->debug);
    h->ctx->setProgramFolder(h->view.programFolder.string());
    platform::InitFolderTable(*h->ctx);
    h->view.machine = h->machine.get();
    h->view.ctx = h->ctx.get();
    return h;
}

}  // namespace

FuzzMachine& TheMachine() {
    static const std::unique_ptr<Holder> holder = Make();
    return holder->view;
}

std::string PutOnDriveC(std::string_view name, const std::uint8_t* data, std::size_t size) {
    WriteBytes(TheMachine().imageFolder / "drive_c" / name,
               std::string_view(reinterpret_cast<const char*>(data), size));
    return "C:\\" + std::string(name);
}

}  // namespace veldan::fuzz
