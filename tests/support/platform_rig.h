#pragma once
// A platform context over a test machine image, with a capturing debug sink:
// write the image through `image`, then Load() and use the context.

#include <memory>
#include <stdexcept>

#include "platform/context.h"
#include "support/image_builder.h"
#include "support/platform_machine.h"
#include "support/temp_dir.h"
#include "text/debug.h"

namespace veldan::test {

struct PlatformRig {
    TempDir dir;
    ImageBuilder image{dir};
    std::unique_ptr<TestMachine> machine;
    text::CaptureDebugSink debug;
    std::unique_ptr<platform::Context> ctx;

    // Loads the image written so far; the test fails when it does not load.
    platform::Context& Load() {
        auto loaded = image.Load();
        if (!loaded) throw std::runtime_error("image does not load");
        machine = std::make_unique<TestMachine>(std::move(loaded));
        ctx = std::make_unique<platform::Context>(*machine, debug);
        return *ctx;
    }
    FaultRegistry& faults() { return machine->faults(); }
    // The image's own registry, unaffected by faults.
    machine::Registry& raw() { return machine->image().registry(); }
};

}  // namespace veldan::test
