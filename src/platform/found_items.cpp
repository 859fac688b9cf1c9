#include "platform/found_items.h"

#include "text/strings.h"

namespace veldan::platform {

namespace {

// Per type: the result list's Korean label and the name the JSON output and
// the debug trace use.
struct TypeNames {
    std::string_view label;
    std::string_view name;
};

constexpr TypeNames kTypeNames[] = {
    {"키", "REGKEY"}, {"값", "REGVAL"}, {"데이터", "REGDAT"}, {"프로필", "PROSTR"},
    {"파일", "FILE"}, {"폴더", "DIR"},  {"LSP", "LSP"},
};

const TypeNames* Names(std::int32_t type) {
    if (type < REGKEY || type > LSP) return nullptr;
    return &kTypeNames[type - REGKEY];
}

}  // namespace

std::string_view TypeLabel(std::int32_t type) {
    const TypeNames* n = Names(type);
    return n ? n->label : std::string_view();
}

std::string_view TypeName(std::int32_t type) {
    const TypeNames* n = Names(type);
    return n ? n->name : std::string_view();
}

std::string TraceLine(const CScanItem& item) {
    std::string_view status = item.status == SCAN   ? "SCAN."
                              : item.status == FAIL ? "FAIL."
                                                    : "????.";
    // The type is padded to six characters so the texts line up.
    const std::string_view type = TypeName(item.type);
    std::string line;
    line.reserve(status.size() + 6 + item.text.size() + 2);
    line.append(status).append(type.empty() ? "??????" : type);
    if (!type.empty()) line.append(6 - type.size(), ' ');
    line.append(" ").append(item.text).append("\n");
    return line;
}

// ---- ScanItemList

bool ScanItemList::Add(CScanItem item) {
    std::string key = text::LowerAscii(item.text);
    auto [it, inserted] = index_.try_emplace(std::move(key), 0);
    if (!inserted && it->second > 0) return false;
    it->second = 1;
    items_.push_back(std::move(item));
    return true;
}

bool ScanItemList::ContainsText(std::string_view text) const {
    auto it = index_.find(text::LowerAscii(text));
    return it != index_.end() && it->second > 0;
}

void ScanItemList::Truncate(int n) {
    if (n <= 0) return;
    std::size_t remove = static_cast<std::size_t>(n);
    if (remove > items_.size()) remove = items_.size();
    for (std::size_t k = 0; k < remove; ++k) {
        auto it = index_.find(text::LowerAscii(items_.back().text));
        if (it != index_.end() && --it->second <= 0) index_.erase(it);
        items_.pop_back();
    }
}

void ScanItemList::Clear() {
    items_.clear();
    index_.clear();
}

void ScanItemList::Reindex() {
    index_.clear();
    for (const CScanItem& item : items_) ++index_[text::LowerAscii(item.text)];
}

// ---- ScanReport

int ScanReport::AddFoundItem(CScanItem item) {
    return found_.Add(std::move(item)) ? 1 : 0;
}

int ScanReport::AddFailedItem(CScanItem item) {
    std::string trace = TraceLine(item);
    if (!failed_.Add(std::move(item))) return 0;
    debug_.Write(trace);
    return 1;
}

void ScanReport::ClearAll() {
    found_.Clear();
    failed_.Clear();
}

int ScanReport::RollBack(std::int32_t type, std::string_view text) {
    int removed = failed_.RemoveIf(type, text, [this](const CScanItem& item) {
        std::string line = "RollBack... ";
        line += TraceLine(item);
        debug_.Write(line);
    });
    return removed > 0 ? 1 : 0;
}

}  // namespace veldan::platform
