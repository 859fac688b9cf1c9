#pragma once
// Immunization: protecting the machine in advance instead of cleaning it.
//
// The immunization list holds the ActiveX controls of the signature database
// (KillBitNames / KillBitClsids) and its tracking-cookie domains (CookieList),
// each with its blocked state read from the registry: a control is blocked by
// its kill bit, a domain by a P3P history entry that refuses its cookies.
//
// The KillBit list is the user's own list of class identifiers to block, kept in
// core\killbit.txt (plain lines) or, when that file cannot be opened,
// data\killbit (each line scrambled). One entry per line: the identifier, one
// space, the name. The blocked state is not stored; it is read back from the
// registry. Registry failures of kill bits and cookie blocks are not reported:
// the next fill or load shows the real state.
//
// Both are plain logic for the command line and the immunization pages.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/context.h"

namespace veldan::engine {

using platform::Context;

// ---- the immunization list

enum class ImmunizationKind { ActiveX, Cookie };

struct ImmunizationRow {
    ImmunizationKind kind = ImmunizationKind::ActiveX;
    std::string name;   // detection-entry name (ActiveX) or the domain (cookie)
    std::string clsid;  // ActiveX only
    bool blocked = false;
};

struct ImmunizationList {
    // The ActiveX rows in database order, then the cookie rows in database order.
    std::vector<ImmunizationRow> rows;
    int total = 0;
    int blocked = 0;
    // Every ActiveX row / cookie row is blocked (also when there is none).
    bool allActiveXBlocked = true;
    bool allCookiesBlocked = true;
};

// Progress of a run: rows done so far and the number of rows.
using ImmunizationProgress = std::function<void(int done, int total)>;

// The list of ctx.db() with each row's blocked state from the registry.
ImmunizationList FillImmunizationList(Context& ctx);
// Sets the blocked state (the tick) of every row of one kind; nothing is written.
void TickAll(ImmunizationList& list, ImmunizationKind kind, bool blocked);
// Writes every row's state: a blocked ActiveX row gets its kill bit, an
// unblocked one loses its whole ActiveX Compatibility key; a cookie row's block
// is set or removed. Returns the list filled again from the registry.
ImmunizationList RunImmunization(Context& ctx, const ImmunizationList& ticks,
                                 const ImmunizationProgress& progress = {});
// Ticks every row (blocked) or none and runs; returns the list filled again.
ImmunizationList SetAllImmunization(Context& ctx, bool blocked);

// "전체 %d 개 중 %d 개가 면역, 예방 상태입니다."
std::string ImmunizationCountText(int total, int blocked);

// ---- the KillBit list

struct KillBitEntry {
    std::string clsid;
    std::string name;
    bool blocked = false;  // the tick: the kill bit was set when last looked at
};

// Host paths of the list file below the program folder.
std::string PlainKillBitPath(const Context& ctx);      // core\killbit.txt
std::string ScrambledKillBitPath(const Context& ctx);  // data\killbit

class KillBitList {
  public:
    explicit KillBitList(Context& ctx) : ctx_(ctx) {}

    // Reads the plain file, else the scrambled one. A line without a space is
    // skipped; identifier and name are trimmed; each entry's tick is its kill
    // bit. Returns 1 when a file was read; 0 when neither opens (the entries
    // are kept).
    int Load();
    // Writes every entry, in order, to the file of the rule: the plain file when
    // the last load read it, else the scrambled file (created when missing).
    // Returns 1 when written; 0 (nothing written) when the file cannot be created.
    int Save() const;

    // The last load read the plain file.
    bool plainFile() const { return plainFile_; }
    const std::vector<KillBitEntry>& entries() const { return entries_; }
    int total() const { return static_cast<int>(entries_.size()); }
    int BlockedCount() const;

    // The user ticks (SetKillBit on, "AxDlg::CHECK\n") or unticks
    // (DeleteKillBit, "AxDlg::UNCHECK\n") one entry. 0 for a bad index.
    int SetTick(int index, bool blocked);
    // Reads every entry's tick back from its kill bit; returns the ticked count.
    int RefreshTicks();
    // Ticks every entry / none, then writes every entry's state.
    void BlockAll();
    void UnblockAll();
    // Writes every entry's state: ticked -> kill bit on; unticked -> its key removed.
    void Apply();

    // Appends an entry, unticked; no kill bit is written. Returns its index.
    int Add(std::string_view name, std::string_view clsid);
    // Replaces the texts of an entry; kill bits and the tick stay. 0 for a bad index.
    int Edit(int index, std::string_view name, std::string_view clsid);
    // Removes the entry's kill bit and the entry. 0 for a bad index.
    int Remove(int index);
    // The index of the first entry with this identifier (case ignored), or -1.
    int Find(std::string_view clsid) const;
    // Puts the entries in a new order: entry k becomes the old entry order[k].
    // Returns 1; 0 (nothing changed) when `order` is not a permutation of the indexes.
    int Reorder(const std::vector<int>& order);

    // "전체 %d 개 중 %d 개가 차단 상태입니다."
    std::string CountText() const;

  private:
    Context& ctx_;
    std::vector<KillBitEntry> entries_;
    bool plainFile_ = false;
};

// ---- the KillBit entry dialog

// Control ids of the dialog's two edits, for the focus after a refusal.
inline constexpr int kKillBitNameEdit = 1028;
inline constexpr int kKillBitClsidEdit = 1029;
// Caption of the dialog and of its messages.
inline constexpr std::string_view kKillBitCaption = "KillBit";

struct KillBitEntryCheck {
    bool ok = false;
    std::string message;  // the refusal's message; "" when ok
    int focus = 0;        // the edit to focus after a refusal
    std::string name;     // the texts as taken: trimmed at both ends
    std::string clsid;
};

// The dialog's OK test: a name, then an identifier, well formed, not one of the
// immunization list's identifiers (case-sensitive), and not the identifier of
// another entry of `list` (case ignored; the entry `editIndex` is skipped, -1
// when adding). Without a list the duplicate test is left out.
KillBitEntryCheck CheckKillBitEntry(Context& ctx, std::string_view name, std::string_view clsid,
                                    const std::vector<KillBitEntry>* list, int editIndex);

// The question before an entry is deleted: "\"%s %s\" 항목을 삭제할까요?".
std::string KillBitDeleteQuestion(std::string_view name, std::string_view clsid);

}  // namespace veldan::engine
