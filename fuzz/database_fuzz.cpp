// The database loader on the detection, cookie and deep-scan databases, plain
// (core/NAME.txt) and scrambled (data/NAME), read from the program folder as
// the scanner reads them. The first byte chooses the database and its form:
//   bits 0-1  0, 3: addb   1: ckdb   2: dsdb
//   bits 2-3  0: plain   1: scrambled bytes as given   2, 3: the input's lines scrambled
// The rest is the file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/fuzz_folder.h"
#include "common/fuzz_machine.h"
#include "engine/loader.h"
#include "engine/scramble.h"
#include "text/strings.h"

using namespace veldan;

namespace {

std::string ScrambleLines(std::string_view plain) {
    std::string out;
    std::string line;
    for (const std::string& piece : text::Split(plain, '\n')) {
        engine::Scramble(piece, line);
        out += line;
        out += "\r\n";
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    fuzz::FuzzMachine& m = fuzz::TheMachine();
    platform::Context& ctx = *m.ctx;
    const unsigned mode = data[0];
    const std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);
    const char* names[] = {"addb", "ckdb", "dsdb", "addb"};
    const std::string name = names[mode & 3];
    const unsigned form = (mode >> 2) & 3;

    fuzz::EmptyFolder(m.programFolder / "core");
    fuzz::EmptyFolder(m.programFolder / "data");
    if (form == 0) {
        fuzz::WriteBytes(engine::PlainDatabasePath(ctx, name), body);
    } else if (form == 1) {
        fuzz::WriteBytes(engine::ScrambledDatabasePath(ctx, name), body);
    } else {
        fuzz::WriteBytes(engine::ScrambledDatabasePath(ctx, name), ScrambleLines(body));
    }

    ctx.db() = {};
    engine::LoadDatabases(ctx);
    for (const std::string& clsid : ctx.db().KillBitClsids)
        (void)engine::IsKillBitClsid(ctx, clsid);
    (void)engine::LoadDeepScanDb(ctx);
    engine::FreeDeepScanDb(ctx);
    return 0;
}
