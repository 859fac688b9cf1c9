#pragma once
// Found and failed traces. Every trace a command finds during a scan, and every
// trace a cure fails to remove, is a CScanItem in one of two lists. The text is
// the item's identity: two items whose texts are equal ignoring ASCII case are
// one item, whatever their types.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "machine/win32.h"
#include "text/debug.h"

namespace veldan::platform {

enum ScanStatus : std::int32_t { SCAN = 1, FAIL = 2 };
enum ScanType : std::int32_t {
    REGKEY = 1,
    REGVAL = 2,
    REGDAT = 3,
    PROSTR = 4,
    FILE = 5,
    DIR = 6,
    LSP = 7
};

struct CScanItem {
    std::int32_t status = 0;
    std::int32_t type = 0;
    std::string text;
    machine::HKEY hive = 0;
    std::string keyPath;
    std::string valueName;
    std::string data;
    std::string extra;
};

// The Korean label of a type as the result list shows it ("키", "값", ...); "" for others.
std::string_view TypeLabel(std::int32_t type);
// The type's name in the command line's JSON ("REGKEY", ...); "" for others.
std::string_view TypeName(std::int32_t type);
// The debug trace of an item: status tag, type tag, a blank, the text and "\n".
std::string TraceLine(const CScanItem& item);

// A list of items in insertion order with a case-insensitive index on the text,
// so the duplicate test is a lookup, not a walk.
class ScanItemList {
  public:
    // Adds the item; false when an item with an equal text is already listed.
    bool Add(CScanItem item);
    int Count() const { return static_cast<int>(items_.size()); }
    const CScanItem& At(int index) const { return items_[static_cast<std::size_t>(index)]; }
    const std::vector<CScanItem>& items() const { return items_; }
    bool ContainsText(std::string_view text) const;
    // Removes the last n items (n <= 0 does nothing).
    void Truncate(int n);
    void Clear();
    // Removes every item of `type` whose text equals `text`, last to first; calls
    // `removed` for each. Returns the number removed.
    template <typename F>
    int RemoveIf(std::int32_t type, std::string_view text, F removed);

  private:
    void Reindex();
    std::vector<CScanItem> items_;
    std::unordered_map<std::string, int> index_;  // lower-cased text -> number of items with it
};

// The found list and the failure list of one context, with their report operations.
class ScanReport {
  public:
    explicit ScanReport(text::DebugSink& debug) : debug_(debug) {}

    ScanItemList& found() { return found_; }
    ScanItemList& failed() { return failed_; }
    const ScanItemList& found() const { return found_; }
    const ScanItemList& failed() const { return failed_; }

    // 1 when added to the found list, 0 for a duplicate.
    int AddFoundItem(CScanItem item);
    // 1 when added to the failure list (and traced), 0 for a duplicate.
    int AddFailedItem(CScanItem item);
    void ClearAll();

    // Removes every failure of `type` with an equal text, tracing "RollBack... "
    // for each; 1 when anything was removed.
    int RollBack(std::int32_t type, std::string_view text);
    int RollBackFile(std::string_view longPath) { return RollBack(FILE, longPath); }
    int RollBackDir(std::string_view longPath) { return RollBack(DIR, longPath); }

    text::DebugSink& debug() { return debug_; }

  private:
    text::DebugSink& debug_;
    ScanItemList found_;
    ScanItemList failed_;
};

template <typename F>
int ScanItemList::RemoveIf(std::int32_t type, std::string_view text, F removed) {
    int n = 0;
    for (std::size_t i = items_.size(); i-- > 0;) {
        if (items_[i].type != type || items_[i].text.size() != text.size()) continue;
        bool equal = true;
        for (std::size_t k = 0; k < text.size() && equal; ++k) {
            char a = items_[i].text[k], b = text[k];
            if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
            if (b >= 'A' && b <= 'Z') b = static_cast<char>(b + 32);
            equal = a == b;
        }
        if (!equal) continue;
        removed(items_[i]);
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
        ++n;
    }
    if (n > 0) Reindex();
    return n;
}

}  // namespace veldan::platform
