#include "engine/immunize.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "commands/activex.h"
#include "engine/loader.h"
#include "engine/scramble.h"
#include "host/file_read.h"
#include "host/file_write.h"
#include "text/codepage.h"
#include "text/lines.h"
#include "text/strings.h"

namespace veldan::engine {
namespace {

// Reads a host file that is a file (a folder of that name does not open).
bool ReadRegularFile(const std::string& path, std::string& bytes) {
    if (path.empty() || !host::IsRegularFile(path)) return false;
    return host::ReadWholeFile(path, bytes);
}

// The lines of file data: line end LF or CR LF, a NUL ends a line's text. A
// final line without a line end counts.
std::vector<std::string> SplitDataLines(std::string_view data) {
    std::vector<std::string> lines;
    for (std::string_view line : text::SplitLines(data)) {
        lines.emplace_back(line.substr(0, line.find('\0')));
    }
    return lines;
}

// Writes the bytes through a temporary file beside the target and a rename, so
// that a failure half way leaves the old list as it was.
bool WriteHostFile(const std::string& path, std::string_view bytes) {
    return host::WriteFileAtomic(path, bytes) == 0;
}

// One line of the list file. A line break inside a name would split the entry
// in two when the file is read again; it is written as a blank.
std::string EntryLine(const KillBitEntry& e) {
    std::string line = e.clsid + " " + e.name;
    for (char& c : line) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return line;
}

}  // namespace

// ---- the immunization list

ImmunizationList FillImmunizationList(Context& ctx) {
    const platform::CSignatureDb& db = ctx.db();
    ImmunizationList list;
    for (std::size_t i = 0; i < db.KillBitClsids.size(); ++i) {
        ImmunizationRow row;
        row.kind = ImmunizationKind::ActiveX;
        row.name = i < db.KillBitNames.size() ? db.KillBitNames[i] : std::string();
        row.clsid = db.KillBitClsids[i];
        row.blocked = commands::QueryKillBit(ctx, row.clsid) != 0;
        if (row.blocked) {
            ++list.blocked;
        } else {
            list.allActiveXBlocked = false;
        }
        list.rows.push_back(std::move(row));
    }
    for (const std::string& domain : db.CookieList) {
        ImmunizationRow row;
        row.kind = ImmunizationKind::Cookie;
        row.name = domain;
        row.blocked = commands::QueryCookieBlock(ctx, domain) != 0;
        if (row.blocked) {
            ++list.blocked;
        } else {
            list.allCookiesBlocked = false;
        }
        list.rows.push_back(std::move(row));
    }
    list.total = static_cast<int>(db.KillBitClsids.size() + db.CookieList.size());
    return list;
}

void TickAll(ImmunizationList& list, ImmunizationKind kind, bool blocked) {
    for (ImmunizationRow& row : list.rows) {
        if (row.kind == kind) row.blocked = blocked;
    }
}

ImmunizationList RunImmunization(Context& ctx, const ImmunizationList& ticks,
                                 const ImmunizationProgress& progress) {
    const int total = static_cast<int>(ticks.rows.size());
    int done = 0;
    for (const ImmunizationRow& row : ticks.rows) {
        if (row.kind == ImmunizationKind::ActiveX) {
            if (row.blocked) {
                commands::SetKillBit(ctx, row.clsid, true);
            } else {
                commands::DeleteKillBit(ctx, row.clsid);
            }
        } else {
            commands::SetCookieBlock(ctx, row.name, row.blocked);
        }
        ++done;
        if (progress) progress(done, total);
    }
    return FillImmunizationList(ctx);
}

ImmunizationList SetAllImmunization(Context& ctx, bool blocked) {
    ImmunizationList list = FillImmunizationList(ctx);
    TickAll(list, ImmunizationKind::ActiveX, blocked);
    TickAll(list, ImmunizationKind::Cookie, blocked);
    return RunImmunization(ctx, list);
}

std::string ImmunizationCountText(int total, int blocked) {
    return text::Format("전체 %d 개 중 %d 개가 면역, 예방 상태입니다.", total, blocked);
}

// ---- the KillBit list

std::string PlainKillBitPath(const Context& ctx) {
    return PlainDatabasePath(ctx, "killbit");
}

std::string ScrambledKillBitPath(const Context& ctx) {
    return ScrambledDatabasePath(ctx, "killbit");
}

int KillBitList::Load() {
    std::string bytes;
    plainFile_ = ReadRegularFile(PlainKillBitPath(ctx_), bytes);
    if (!plainFile_ && !ReadRegularFile(ScrambledKillBitPath(ctx_), bytes)) return 0;

    std::vector<std::string> lines;
    if (plainFile_) {
        lines = SplitDataLines(text::DecodeText(bytes));
    } else {
        std::string plain;
        for (std::string& raw : SplitDataLines(bytes)) {
            Unscramble(raw, plain);
            plain.resize(std::min(plain.size(), plain.find('\0')));
            lines.push_back(text::DecodeText(plain));
        }
    }
    entries_.clear();
    for (const std::string& line : lines) {
        const std::size_t space = line.find(' ');
        if (space == std::string::npos) continue;
        KillBitEntry e;
        e.clsid = text::Trim(std::string_view(line).substr(0, space));
        e.name = text::Trim(std::string_view(line).substr(space + 1));
        e.blocked = commands::QueryKillBit(ctx_, e.clsid) != 0;
        entries_.push_back(std::move(e));
    }
    return 1;
}

int KillBitList::Save() const {
    std::string out;
    std::string scrambled;
    for (const KillBitEntry& e : entries_) {
        const std::string line = EntryLine(e);
        if (plainFile_) {
            out += line;
        } else {
            Scramble(text::Utf8ToCp949(line), scrambled);
            out += scrambled;
        }
        out += "\r\n";
    }
    return WriteHostFile(plainFile_ ? PlainKillBitPath(ctx_) : ScrambledKillBitPath(ctx_), out) ? 1
                                                                                                : 0;
}

int KillBitList::BlockedCount() const {
    int n = 0;
    for (const KillBitEntry& e : entries_) n += e.blocked ? 1 : 0;
    return n;
}

int KillBitList::SetTick(int index, bool blocked) {
    if (index < 0 || index >= total()) return 0;
    KillBitEntry& e = entries_[static_cast<std::size_t>(index)];
    e.blocked = blocked;
    if (blocked) {
        commands::SetKillBit(ctx_, e.clsid, true);
        ctx_.Debug("AxDlg::CHECK\n");
    } else {
        commands::DeleteKillBit(ctx_, e.clsid);
        ctx_.Debug("AxDlg::UNCHECK\n");
    }
    return 1;
}

int KillBitList::RefreshTicks() {
    for (KillBitEntry& e : entries_) e.blocked = commands::QueryKillBit(ctx_, e.clsid) != 0;
    return BlockedCount();
}

void KillBitList::BlockAll() {
    for (KillBitEntry& e : entries_) e.blocked = true;
    Apply();
}

void KillBitList::UnblockAll() {
    for (KillBitEntry& e : entries_) e.blocked = false;
    Apply();
}

void KillBitList::Apply() {
    for (const KillBitEntry& e : entries_) {
        if (e.blocked) {
            commands::SetKillBit(ctx_, e.clsid, true);
        } else {
            commands::DeleteKillBit(ctx_, e.clsid);
        }
    }
}

int KillBitList::Add(std::string_view name, std::string_view clsid) {
    entries_.push_back(KillBitEntry{std::string(clsid), std::string(name), false});
    return total() - 1;
}

int KillBitList::Edit(int index, std::string_view name, std::string_view clsid) {
    if (index < 0 || index >= total()) return 0;
    KillBitEntry& e = entries_[static_cast<std::size_t>(index)];
    e.name = name;
    e.clsid = clsid;
    return 1;
}

int KillBitList::Remove(int index) {
    if (index < 0 || index >= total()) return 0;
    commands::DeleteKillBit(ctx_, entries_[static_cast<std::size_t>(index)].clsid);
    entries_.erase(entries_.begin() + index);
    return 1;
}

int KillBitList::Find(std::string_view clsid) const {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (text::EqualsNoCase(entries_[i].clsid, clsid)) return static_cast<int>(i);
    }
    return -1;
}

int KillBitList::Reorder(const std::vector<int>& order) {
    if (order.size() != entries_.size()) return 0;
    std::vector<bool> seen(order.size(), false);
    for (int k : order) {
        if (k < 0 || k >= total() || seen[static_cast<std::size_t>(k)]) return 0;
        seen[static_cast<std::size_t>(k)] = true;
    }
    std::vector<KillBitEntry> sorted;
    sorted.reserve(entries_.size());
    for (int k : order) sorted.push_back(std::move(entries_[static_cast<std::size_t>(k)]));
    entries_ = std::move(sorted);
    return 1;
}

std::string KillBitList::CountText() const {
    return text::Format("전체 %d 개 중 %d 개가 차단 상태입니다.", total(), BlockedCount());
}

// ---- the KillBit entry dialog

KillBitEntryCheck CheckKillBitEntry(Context& ctx, std::string_view name, std::string_view clsid,
                                    const std::vector<KillBitEntry>* list, int editIndex) {
    KillBitEntryCheck r;
    r.name = text::Trim(name);
    r.clsid = text::Trim(clsid);
    auto refuse = [&r](const char* message, int focus) {
        r.message = message;
        r.focus = focus;
        return r;
    };
    if (r.name.empty()) return refuse("이름을 입력해야 합니다.", kKillBitNameEdit);
    if (r.clsid.empty()) return refuse("CLSID를 입력해야 합니다.", kKillBitClsidEdit);
    if (!commands::IsWellFormedClsid(r.clsid)) {
        return refuse("CLSID가 유효하지 않습니다. 다시 입력하세요.", kKillBitClsidEdit);
    }
    if (IsKillBitClsid(ctx, r.clsid)) {
        return refuse("면역, 예방으로 차단 가능한 CLSID입니다. 다시 입력하세요.",
                      kKillBitClsidEdit);
    }
    if (list != nullptr) {
        for (std::size_t i = 0; i < list->size(); ++i) {
            if (static_cast<int>(i) == editIndex) continue;
            if (text::EqualsNoCase((*list)[i].clsid, r.clsid)) {
                return refuse("CLSID가 이미 입력되어 있습니다. 다시 입력하세요.",
                              kKillBitClsidEdit);
            }
        }
    }
    r.ok = true;
    return r;
}

std::string KillBitDeleteQuestion(std::string_view name, std::string_view clsid) {
    return "\"" + std::string(name) + " " + std::string(clsid) + "\" 항목을 삭제할까요?";
}

}  // namespace veldan::engine
