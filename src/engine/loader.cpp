#include "engine/loader.h"

#include <limits>
#include <unordered_set>

#include "engine/script.h"
#include "host/file_read.h"
#include "text/strings.h"

namespace veldan::engine {
namespace {

using platform::CSignatureDb;

// Longest digest text a fingerprint record holds.
constexpr std::size_t kMaxDigestLength = 35;

// The parameter that names a class identifier for the kill-bit list, or null.
const std::string* KillBitParam(const ScriptEvent& e) {
    const std::string& c = e.command;
    if (c == "CLSID" || c == "CLSIDOnly") return e.params.empty() ? nullptr : &e.params[0];
    if (c == "AllAx" || c == "Ax" || c == "DType" || c == "MType" || c == "WType" || c == "SType") {
        return e.params.size() < 2 ? nullptr : &e.params[1];
    }
    return nullptr;
}

// AddExclusion with a set of the lower-cased identifiers already listed, so that
// a long list costs a lookup per line instead of a walk.
int AddExclusionIndexed(Context& ctx, CSignatureDb& db, std::string_view text,
                        std::unordered_set<std::string>& listed) {
    if (!CheckClsid(ctx, text)) return 0;
    if (!listed.insert(text::LowerAscii(text)).second) return 0;
    db.ExclusionList.emplace_back(text);
    return 1;
}

DatabaseFile::DebugFn DebugTo(Context& ctx) {
    return [&ctx](const std::string& message) { ctx.Debug(message); };
}

// Leading decimal digits of `field` (no digits: 0). False when the number does
// not fit 32 bits: no file of such a size can be fingerprinted.
bool ParseSize(std::string_view field, std::uint32_t& out) {
    std::uint64_t v = 0;
    for (char c : field) {
        if (c < '0' || c > '9') break;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
        if (v > std::numeric_limits<std::uint32_t>::max()) return false;
    }
    out = static_cast<std::uint32_t>(v);
    return true;
}

// Reads the detection database into `db`.
void LoadDetectionDb(Context& ctx, CSignatureDb& db) {
    ScriptReader reader(ctx);
    if (!reader.Open(PlainDatabasePath(ctx, "addb"), ScrambledDatabasePath(ctx, "addb"))) return;

    std::unordered_set<std::string> killBits;
    std::unordered_set<std::string> exclusions;
    std::string current;  // name of the entry the lines belong to
    ScriptEvent e;
    while (reader.Next(e)) {
        switch (e.kind) {
            case ScriptEvent::Version:
                db.DatabaseVersion = e.text;
                break;
            case ScriptEvent::Exclusion:
                AddExclusionIndexed(ctx, db, e.text, exclusions);
                break;
            case ScriptEvent::EntryStart:
                current = e.name;
                ++db.EntryCount;
                ++db.PatternCount;
                break;
            case ScriptEvent::EmptyName:
                current.clear();
                ctx.Debug("NAME is empty... " + e.text + "\n");
                // A "#NAME" line counts even without a name; a type line counts
                // only once, as the command that follows.
                if (!e.typeLine) ++db.PatternCount;
                break;
            case ScriptEvent::Command: {
                const std::string* param = KillBitParam(e);
                if (param != nullptr && !param->empty()) {
                    std::string clsid = text::UpperAscii(*param);
                    if (CheckClsid(ctx, clsid) && killBits.insert(clsid).second) {
                        db.KillBitNames.push_back(current);
                        db.KillBitClsids.push_back(std::move(clsid));
                    }
                }
                ++db.PatternCount;
                break;
            }
        }
    }
}

}  // namespace

std::string PlainDatabasePath(const Context& ctx, std::string_view name) {
    return host::JoinHostPath(ctx.programFolder(), "core/" + std::string(name) + ".txt");
}

std::string ScrambledDatabasePath(const Context& ctx, std::string_view name) {
    return host::JoinHostPath(ctx.programFolder(), "data/" + std::string(name));
}

void LoadDatabases(Context& ctx) {
    // A fresh state replaces the old one whole: nothing of an earlier load survives.
    CSignatureDb db;
    LoadDetectionDb(ctx, db);

    std::vector<std::string> cookies;
    if (ReadListFile(PlainDatabasePath(ctx, "ckdb"), ScrambledDatabasePath(ctx, "ckdb"), cookies,
                     DebugTo(ctx))) {
        db.CookieList = std::move(cookies);
    }
    ctx.Debug(text::Format("CLSID: %d, COOKIE: %d\n", static_cast<int>(db.KillBitClsids.size()),
                           static_cast<int>(db.CookieList.size())));
    ctx.db() = std::move(db);
}

std::string SignatureProblem(Context& ctx) {
    if (ctx.db().EntryCount > 0) return {};
    const std::string plain = PlainDatabasePath(ctx, "addb");
    const std::string scrambled = ScrambledDatabasePath(ctx, "addb");
    const bool plainThere = host::PathExists(plain);
    const bool scrambledThere = host::PathExists(scrambled);
    if (!plainThere && !scrambledThere) {
        return "no detection database: neither " + plain + " nor " + scrambled + " exists";
    }
    const std::string& used = plainThere ? plain : scrambled;
    DatabaseFile probe;
    if (!probe.Open(plainThere ? plain : "", plainThere ? "" : scrambled)) {
        return "the detection database " + used + " cannot be read";
    }
    return "the detection database " + used + " holds no detection entries";
}

int LoadDeepScanDb(Context& ctx) {
    FreeDeepScanDb(ctx);
    std::vector<std::string> lines;
    if (!ReadListFile(PlainDatabasePath(ctx, "dsdb"), ScrambledDatabasePath(ctx, "dsdb"), lines,
                      DebugTo(ctx)))
        return 0;

    CSignatureDb& db = ctx.db();
    std::int32_t entry = -1;
    for (const std::string& line : lines) {
        unsigned char first = static_cast<unsigned char>(line.front());
        if (first == '#') {
            db.DeepScanNames.push_back(
                line.size() > 6 ? text::Trim(std::string_view(line).substr(6)) : "");
            ++entry;
            continue;
        }
        bool alnum = (first >= '0' && first <= '9') || (first >= 'A' && first <= 'Z') ||
                     (first >= 'a' && first <= 'z');
        if (!alnum || entry < 0) continue;  // comment, or no entry yet
        std::size_t bar1 = line.find('|');
        if (bar1 == std::string::npos) continue;
        std::size_t bar2 = line.find('|', bar1 + 1);
        if (bar2 == std::string::npos) continue;

        platform::DeepScanRecord r;
        r.entry = entry;
        std::string_view sizeField = std::string_view(line).substr(bar1 + 1, bar2 - bar1 - 1);
        if (!ParseSize(text::TrimView(sizeField), r.size)) continue;
        r.digest = text::Trim(std::string_view(line).substr(bar2 + 1));
        if (r.digest.size() > kMaxDigestLength) continue;

        if (db.DeepScanRecords.empty()) {
            db.DeepScanMinSize = db.DeepScanMaxSize = r.size;
        } else {
            if (r.size < db.DeepScanMinSize) db.DeepScanMinSize = r.size;
            if (r.size > db.DeepScanMaxSize) db.DeepScanMaxSize = r.size;
        }
        db.DeepScanRecords.push_back(std::move(r));
    }
    return static_cast<int>(db.DeepScanRecords.size());
}

void FreeDeepScanDb(Context& ctx) {
    CSignatureDb& db = ctx.db();
    db.DeepScanNames.clear();
    db.DeepScanRecords.clear();
    db.DeepScanMinSize = 0xFFFFFFFFu;
    db.DeepScanMaxSize = 0xFFFFFFFFu;
}

int IsKillBitClsid(Context& ctx, std::string_view text) {
    for (const std::string& c : ctx.db().KillBitClsids) {
        if (c == text) return 1;
    }
    return 0;
}

int AddExclusion(Context& ctx, std::string_view text) {
    if (!CheckClsid(ctx, text)) return 0;
    for (const std::string& e : ctx.db().ExclusionList) {
        if (text::EqualsNoCase(e, text)) return 0;
    }
    ctx.db().ExclusionList.emplace_back(text);
    return 1;
}

}  // namespace veldan::engine
