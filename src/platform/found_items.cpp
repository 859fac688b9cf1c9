#include "platform/found_items.h"

#include "text/strings.h"

namespace veldan::platform {

std::string_view TypeLabel(std::int32_t type) {
    switch (type) {
        case REGKEY:
            return "키";
        case REGVAL:
            return "값";
        case REGDAT:
            return "데이터";
        case PROSTR:
            return "프로필";
        case FILE:
            return "파일";
        case DIR:
            return "폴더";
        case LSP:
            return "LSP";
        default:
            return "";
    }
}

std::string_view TypeName(std::int32_t type) {
    switch (type) {
        case REGKEY:
            return "REGKEY";
        case REGVAL:
            return "REGVAL";
        case REGDAT:
            return "REGDAT";
        case PROSTR:
            return "PROSTR";
        case FILE:
            return "FILE";
        case DIR:
            return "DIR";
        case LSP:
            return "LSP";
        default:
            return "";
    }
}

std::string TraceLine(const CScanItem& item) {
    std::string_view status = item.status == SCAN   ? "SCAN."
                              : item.status == FAIL ? "FAIL."
                                                    : "????.";
    std::string_view type;
    switch (item.type) {
        case REGKEY:
            type = "REGKEY";
            break;
        case REGVAL:
            type = "REGVAL";
            break;
        case REGDAT:
            type = "REGDAT";
            break;
        case PROSTR:
            type = "PROSTR";
            break;
        case FILE:
            type = "FILE  ";
            break;
        case DIR:
            type = "DIR   ";
            break;
        case LSP:
            type = "LSP   ";
            break;
        default:
            type = "??????";
            break;
    }
    std::string line;
    line.reserve(status.size() + type.size() + item.text.size() + 2);
    line.append(status).append(type).append(" ").append(item.text).append("\n");
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
