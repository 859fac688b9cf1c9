// The script line grammar: each line of the input goes through the database
// reader's line handling (normalisation, line kinds, ParseLine with macro
// expansion), and through ParseLine directly as a normalised command line.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/fuzz_machine.h"
#include "engine/script.h"
#include "text/strings.h"

using namespace veldan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    platform::Context& ctx = *fuzz::TheMachine().ctx;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    int lines = 0;
    for (const std::string& raw : text::Split(input, '\n')) {
        if (++lines > 64) break;
        std::vector<engine::ScriptEvent> events;
        engine::ScriptLineEvents(ctx, raw, events);

        std::string normalized;
        if (!engine::NormalizeLine(raw, normalized)) continue;
        (void)engine::ClassifyLine(normalized);
        std::string command;
        std::vector<std::string> params;
        (void)engine::ParseLine(ctx, normalized, command, params);
        (void)engine::SplitQuotedPieces(normalized);
    }
    return 0;
}
