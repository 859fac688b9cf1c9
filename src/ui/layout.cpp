#include "ui/layout.h"

#include <algorithm>
#include <cctype>

#include "host/file_read.h"
#include "text/codepage.h"
#include "text/lines.h"
#include "text/strings.h"

namespace veldan::ui {

int LeadingInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 0x7FFFFFFFLL) value = 0x80000000LL;  // saturate, as atoi's strtol does
    }
    value = negative ? -value : value;
    return static_cast<int>(std::clamp<long long>(value, -0x80000000LL, 0x7FFFFFFFLL));
}

WindowLayout ParseLayout(std::string_view text) {
    WindowLayout layout;
    int* const slots[] = {&layout.main_cx, &layout.main_cy, &layout.sub_x,
                          &layout.sub_y,   &layout.sub_cx,  &layout.sub_cy};
    constexpr std::string_view names[] = {"main_cx", "main_cy", "sub_x", "sub_y", "sub_cx", "sub_cy"};
    for (std::string_view raw : text::SplitLines(text)) {
        std::string_view line = text::TrimView(raw);
        std::size_t eq = line.find('=');
        if (line.empty() || eq == std::string_view::npos) continue;
        std::string key = text::LowerAscii(text::TrimView(line.substr(0, eq)));
        std::string_view value = text::TrimView(line.substr(eq + 1));
        if (key.empty() || value.empty()) continue;
        for (std::size_t i = 0; i < std::size(names); ++i) {
            if (key == names[i]) {
                *slots[i] = LeadingInt(value);
                break;
            }
        }
    }
    return layout;
}

WindowLayout ReadLayoutFile(const std::string& path) {
    std::string utf8;
    if (!host::ReadTextFile(path, utf8)) return {};
    return ParseLayout(utf8);
}

bool PageSizeForClient(Size client, Size htmlNow, Size pageNow, Size& page) {
    Size result{client.cx - htmlNow.cx + pageNow.cx, client.cy - htmlNow.cy + pageNow.cy};
    if (result.cx < 0 || result.cy < 0) return false;
    page = result;
    return true;
}

namespace {

// a * b / c with a 64-bit product, rounded to the nearest integer (halves away
// from zero); `a` when c is 0.
int MulDiv(int a, int b, int c) {
    if (c == 0) return a;
    long long product = static_cast<long long>(a) * b;
    long long half = (c > 0 ? c : -c) / 2;
    bool negative = (product < 0) != (c < 0);
    long long magnitude = (product < 0 ? -product : product) + half;
    long long q = magnitude / (c > 0 ? c : -c);
    return static_cast<int>(negative ? -q : q);
}

constexpr std::uint32_t kHorizontal = kAnchorStretchX | kAnchorMoveX;
constexpr std::uint32_t kVertical = kAnchorStretchY | kAnchorMoveY;

}  // namespace

void AnchorLayout::Init(Size client, const AnchorPair* table, ControlLookup lookup,
                        void* context) {
    items_.clear();
    initial_ = client;
    std::size_t groupStart = static_cast<std::size_t>(-1);
    for (const AnchorPair* p = table; p && !(p->id == -1 && p->flags == 0); ++p) {
        if (p->id == -1 && p->flags == kAnchorGroupOpen.flags) {
            groupStart = items_.size();
            continue;
        }
        if (p->id == -1 && p->flags == kAnchorGroupClose.flags) {
            if (groupStart < items_.size()) {
                auto count = static_cast<std::uint32_t>(items_.size() - groupStart) & 0xFF;
                items_[groupStart].flags |= count << 16;
            }
            groupStart = static_cast<std::size_t>(-1);
            continue;
        }
        Rect rect;
        if (!lookup(context, p->id, rect)) continue;
        std::uint32_t flags = p->flags;
        if (groupStart == items_.size()) flags |= kAnchorGroupFirst;
        items_.push_back({p->id, flags, rect});
    }
}

std::vector<Placement> AnchorLayout::Relayout(Size client, const std::vector<Rect>& current) const {
    const int dx = client.cx - initial_.cx;
    const int dy = client.cy - initial_.cy;
    std::vector<Rect> placed(items_.size());
    for (std::size_t i = 0; i < items_.size(); ++i)
        placed[i] = i < current.size() ? current[i] : items_[i].initial;

    std::size_t i = 0;
    while (i < items_.size()) {
        const Item& item = items_[i];
        std::size_t count = (item.flags & kAnchorGroupFirst) ? ((item.flags >> 16) & 0xFF) : 0;
        if (count == 0) {
            Rect& r = placed[i];
            if (item.flags & kHorizontal) {
                r.right = item.initial.right + dx;
                if (item.flags & kAnchorMoveX) r.left = item.initial.left + dx;
            }
            if (item.flags & kVertical) {
                r.bottom = item.initial.bottom + dy;
                if (item.flags & kAnchorMoveY) r.top = item.initial.top + dy;
            }
            ++i;
            continue;
        }
        // A group: its items keep their proportions inside the group's bounds.
        std::size_t end = std::min(items_.size(), i + count);
        Rect bounds = items_[i].initial;
        for (std::size_t k = i + 1; k < end; ++k) {
            bounds.left = std::min(bounds.left, items_[k].initial.left);
            bounds.top = std::min(bounds.top, items_[k].initial.top);
            bounds.right = std::max(bounds.right, items_[k].initial.right);
            bounds.bottom = std::max(bounds.bottom, items_[k].initial.bottom);
        }
        const int gw = bounds.width();
        const int gh = bounds.height();
        auto scaleX = [&](int x) { return bounds.left + MulDiv(x - bounds.left, gw + dx, gw); };
        auto scaleY = [&](int y) { return bounds.top + MulDiv(y - bounds.top, gh + dy, gh); };
        for (std::size_t k = i; k < end; ++k) {
            const Item& it = items_[k];
            Rect& r = placed[k];
            const Item* next = k + 1 < end ? &items_[k + 1] : nullptr;
            const Rect* nextNow = k + 1 < end ? &placed[k + 1] : nullptr;
            // Places one axis of the item, between the edges `first` and `last`.
            auto placeAxis = [&](int Rect::*first, int Rect::*last, std::uint32_t stretch,
                                 const auto& scale) {
                // Whether the next item starts after this one ends, judged on the
                // rectangles as they are before this relayout.
                const bool keepGap = next && (it.flags & stretch) && (next->flags & stretch) &&
                                     nextNow->*first >= r.*last;
                r.*first = scale(it.initial.*first);
                r.*last = (it.flags & stretch) ? scale(it.initial.*last)
                                               : r.*first + (it.initial.*last - it.initial.*first);
                if (keepGap) {
                    r.*last =
                        scale(next->initial.*first) - (next->initial.*first - it.initial.*last);
                }
            };
            if (it.flags & kHorizontal)
                placeAxis(&Rect::left, &Rect::right, kAnchorStretchX, scaleX);
            if (it.flags & kVertical) placeAxis(&Rect::top, &Rect::bottom, kAnchorStretchY, scaleY);
        }
        i = end;
    }

    std::vector<Placement> result;
    for (std::size_t k = 0; k < items_.size(); ++k) {
        if (!(items_[k].flags & 0x1F)) continue;
        result.push_back({items_[k].id, placed[k], (items_[k].flags & kAnchorRepaint) != 0});
    }
    return result;
}

}  // namespace veldan::ui
