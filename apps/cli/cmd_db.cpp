// db info, db scramble and db unscramble: the signature databases.

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "args.h"
#include "commands.h"
#include "engine/loader.h"
#include "engine/scramble.h"
#include "json.h"
#include "platform/context.h"
#include "session.h"
#include "text/codepage.h"
#include "text/strings.h"

namespace veldan::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDbUsage =
    "usage: db info [--machine M] [--json] | db scramble IN OUT | db unscramble IN OUT";

// A machine image with nothing on it, in a temporary folder removed at the end
// of its scope: without --machine, registry macros have nothing to resolve against.
class EmptyImage {
  public:
    EmptyImage() {
        std::error_code ec;
        std::string tmpl = (fs::temp_directory_path(ec) / "veldan-empty-XXXXXX").string();
        if (ec || ::mkdtemp(tmpl.data()) == nullptr) return;
        folder_ = tmpl;
        fs::create_directories(fs::path(folder_) / "drive_c", ec);
    }
    ~EmptyImage() {
        if (folder_.empty()) return;
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    EmptyImage(const EmptyImage&) = delete;
    EmptyImage& operator=(const EmptyImage&) = delete;
    const std::string& folder() const { return folder_; }

  private:
    std::string folder_;
};

std::string InfoJson(const platform::CSignatureDb& db) {
    std::string out = "{\"version\": " + JsonString(db.DatabaseVersion);
    out += text::Format(", \"patterns\": %d, \"entries\": %d", static_cast<int>(db.PatternCount),
                        static_cast<int>(db.EntryCount));
    out += ", \"killbits\": [";
    for (std::size_t i = 0; i < db.KillBitClsids.size(); ++i) {
        if (i > 0) out += ", ";
        const std::string name = i < db.KillBitNames.size() ? db.KillBitNames[i] : std::string();
        out += "{\"clsid\": " + JsonString(db.KillBitClsids[i]) +
               ", \"name\": " + JsonString(name) + "}";
    }
    out += "], \"exclusions\": " + JsonStringArray(db.ExclusionList);
    out += ", \"cookies\": " + JsonStringArray(db.CookieList);
    return out + "}\n";
}

std::string InfoText(const platform::CSignatureDb& db) {
    std::string out = "version: " + text::TrimRight(db.DatabaseVersion) + "\n";
    out +=
        text::Format("patterns: %d\nentries: %d\nkill-bits: %zu\nexclusions: %zu\ncookies: %zu\n",
                     static_cast<int>(db.PatternCount), static_cast<int>(db.EntryCount),
                     db.KillBitClsids.size(), db.ExclusionList.size(), db.CookieList.size());
    return out;
}

int RunInfo(const Globals& g, const Args& args) {
    EmptyImage empty;
    std::string folder;
    if (auto m = args.Value("machine")) {
        folder = *m;
    } else {
        if (empty.folder().empty()) return Fail(kExitFailure, "cannot create a temporary folder");
        folder = empty.folder();
    }
    Session s;
    int code = kExitOk;
    if (!OpenSession(g, folder, true, s, code, MachineLoadOptions(args))) return code;
    std::string out = args.Has("json") ? InfoJson(s.ctx->db()) : InfoText(s.ctx->db());
    std::fwrite(out.data(), 1, out.size(), stdout);
    return kExitOk;
}

// Splits file text into lines at LF; a CR before the LF belongs to the line end.
// A final line without a line end counts; the empty piece after the last LF does not.
std::vector<std::string_view> SplitLines(std::string_view data) {
    std::vector<std::string_view> lines;
    std::size_t pos = 0;
    while (pos < data.size()) {
        std::size_t nl = data.find('\n', pos);
        std::size_t end = nl == std::string_view::npos ? data.size() : nl;
        std::string_view line = data.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        pos = nl == std::string_view::npos ? data.size() : nl + 1;
    }
    return lines;
}

int RunConvert(bool scramble, const std::string& in, const std::string& out) {
    std::string bytes;
    std::error_code ec;
    if (fs::is_directory(in, ec) || !text::ReadHostFile(in, bytes)) {
        return Fail(kExitFailure, "cannot read " + in);
    }
    std::string result;
    result.reserve(scramble ? bytes.size() * 2 : bytes.size() / 2);
    std::string line;
    if (scramble) {
        // Plain sources are UTF-8 when valid, else CP949; the scrambled lines
        // carry CP949 bytes and end in CR LF, as the Windows program writes them.
        std::string utf8 = text::DecodeText(bytes);
        for (std::string_view l : SplitLines(utf8)) {
            engine::Scramble(text::Utf8ToCp949(l), line);
            result += line;
            result += "\r\n";
        }
    } else {
        std::string plain;
        for (std::string_view l : SplitLines(bytes)) {
            engine::Unscramble(l, plain);
            result += text::DecodeText(plain);
            result += "\n";
        }
    }
    if (!WriteFileAtomic(out, result)) return Fail(kExitFailure, "cannot write " + out);
    return kExitOk;
}

}  // namespace

int RunDb(const Globals& g, const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.Parse(argv, MachineFlags({"json"}), MachineValued({"machine"}), error))
        return Fail(kExitUsage, error);
    const auto& pos = args.positional();
    if (pos.empty()) return Fail(kExitUsage, kDbUsage);
    if (pos[0] == "info") {
        if (pos.size() != 1) return Fail(kExitUsage, "db info takes no further words");
        return RunInfo(g, args);
    }
    if (pos[0] == "scramble" || pos[0] == "unscramble") {
        if (args.Has("json") || args.Has("machine") || args.Has("user") || args.Has("force")) {
            return Fail(kExitUsage, "db " + pos[0] + " takes no options");
        }
        if (pos.size() != 3) return Fail(kExitUsage, "usage: db " + pos[0] + " IN OUT");
        return RunConvert(pos[0] == "scramble", pos[1], pos[2]);
    }
    return Fail(kExitUsage, "unknown db command '" + pos[0] + "' (" + kDbUsage + ")");
}

}  // namespace veldan::cli
