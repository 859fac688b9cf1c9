#include "engine/killbit_runs.h"

#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "commands/activex.h"
#include "engine/loader.h"
#include "host/file_read.h"
#include "host/file_write.h"
#include "host/unique_fd.h"
#include "text/codepage.h"
#include "text/lines.h"
#include "text/strings.h"

namespace veldan::engine {
namespace {

// How a line of a source list becomes its key and what is logged for it.
enum class LineRule {
    Upper,        // key: the line upper-cased; logged: the key
    UpperBraced,  // key: "{" + the line upper-cased + "}"; logged: the key
    UpToBrace,    // key: the line up to its first '}', upper-cased; logged: the line
    AsRead,       // key and logged text: the line as read
};

struct ComparisonSource {
    std::string_view name;    // core\<name>.txt, logged to core\log_<name>.txt
    std::string_view header;  // the debug line that opens its run
    LineRule rule;
};

// The sources in processing order.
constexpr ComparisonSource kSources[] = {
    {"noad", "NOAD... begin... ", LineRule::Upper},
    {"adspider", "ADSPIDER... begin... ", LineRule::Upper},
    {"spywareguide", "SPYWAREGUIDE... begin...", LineRule::UpperBraced},
    {"sysinfo_bho", "SYSINFO_BHO... begin... ", LineRule::UpToBrace},
    {"spywareblaster", "SPYWAREBLASTER... begin... ", LineRule::AsRead},
    {"spybot", "SPYBOT... begin... ", LineRule::AsRead},
    {"veldan", "VELDAN... begin... ", LineRule::AsRead},
};

// The logs end their lines as the program's other text files do.
constexpr std::string_view kLogLineEnd = "\r\n";

// Thirty heavy horizontal box-drawing characters (U+2501) and a line feed.
std::string SeparatorLine() {
    std::string line;
    for (int i = 0; i < 30; ++i) line += "\u2501";
    line += '\n';
    return line;
}

std::string CorePath(const Context& ctx, std::string_view fileName) {
    return host::JoinHostPath(ctx.programFolder(), "core/" + std::string(fileName));
}

// True when the host file opens for reading as a file (a folder of that name
// does not open).
bool IsReadableFile(const std::string& path) {
    host::UniqueFd fd(host::OpenReadDescriptor(path));
    return fd && host::IsRegularFile(path);
}

// The trimmed, non-empty lines of a text file, or false when it does not open.
// A NUL ends a line's text, as for a line read into a C buffer.
bool ReadTrimmedLines(const std::string& path, std::vector<std::string>& lines) {
    std::string utf8;
    if (!IsReadableFile(path) || !host::ReadTextFile(path, utf8)) return false;
    for (std::string_view line : text::SplitLines(utf8)) {
        line = text::TrimView(line.substr(0, line.find('\0')));
        if (!line.empty()) lines.emplace_back(line);
    }
    return true;
}

// Forms the key of a line and the text to log for it; false when the line has
// no key (a sysinfo_bho line without a closing brace).
bool KeyOfLine(LineRule rule, const std::string& line, std::string& key, std::string& logged) {
    switch (rule) {
        case LineRule::Upper:
            key = text::UpperAscii(line);
            logged = key;
            return true;
        case LineRule::UpperBraced:
            key = "{" + text::UpperAscii(line) + "}";
            logged = key;
            return true;
        case LineRule::UpToBrace: {
            const std::size_t brace = line.find('}');
            if (brace == std::string::npos) return false;
            key = text::UpperAscii(std::string_view(line).substr(0, brace + 1));
            logged = line;
            return true;
        }
        case LineRule::AsRead:
            key = line;
            logged = line;
            return true;
    }
    return false;
}

// Compares one source with the kill-bit list and writes its log.
void CompareSource(Context& ctx, const ComparisonSource& source) {
    std::vector<std::string> lines;
    if (!ReadTrimmedLines(CorePath(ctx, std::string(source.name) + ".txt"), lines)) return;
    ctx.Debug(source.header);

    std::string out;
    std::string key;
    std::string logged;
    for (const std::string& line : lines) {
        if (!KeyOfLine(source.rule, line, key, logged)) continue;
        if (IsKillBitClsid(ctx, key)) continue;
        out += logged;
        out += kLogLineEnd;
    }
    // A log that cannot be written is skipped; the run goes on.
    (void)host::WriteFileAtomic(
        CorePath(ctx, "log_" + std::string(source.name) + ".txt"), out);
    ctx.Debug("end\n");
}

}  // namespace

void RunKillBitDisarm(Context& ctx) {
    ctx.Debug(SeparatorLine());

    std::vector<std::string> noad;
    if (ReadTrimmedLines(CorePath(ctx, "noad.txt"), noad)) {
        ctx.Debug("disarm noad... begin... ");
        // DeleteKillBit refuses an ill-formed identifier with its "CLSID... " line.
        for (const std::string& clsid : noad) commands::DeleteKillBit(ctx, clsid);
        ctx.Debug("end\n");
    }

    ctx.Debug("disarm white... begin... ");
    for (const std::string& clsid : ctx.db().ExclusionList) commands::DeleteKillBit(ctx, clsid);
    ctx.Debug("end\n");
}

void RunListComparison(Context& ctx) {
    if (!IsReadableFile(PlainDatabasePath(ctx, "addb"))) return;
    ctx.Debug(SeparatorLine());
    for (const ComparisonSource& source : kSources) CompareSource(ctx, source);
}

void RunKillBitRuns(Context& ctx) {
    RunKillBitDisarm(ctx);
    RunListComparison(ctx);
}

}  // namespace veldan::engine
