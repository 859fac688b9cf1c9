#pragma once
// Where things are: the layout file that fixes the main window's client size
// and the rectangle of its pages, the main window's resize rules, and the
// anchoring layout that moves and stretches a page's controls when the page is
// resized. Plain arithmetic, no widgets.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/debug.h"

namespace veldan::ui {

// The six values of data\layout; 0 until read.
struct WindowLayout {
    int main_cx = 0;
    int main_cy = 0;
    int sub_x = 0;
    int sub_y = 0;
    int sub_cx = 0;
    int sub_cy = 0;

    // The four sizes are all non-zero (the positions may be 0).
    bool IsComplete() const { return main_cx && main_cy && sub_cx && sub_cy; }
};

// Reads "key=value" lines: keys trimmed and compared after lower-casing, values
// trimmed and converted by their leading decimal digits (with an optional sign;
// 0 if none); blank lines, lines without "=", empty keys or values and unknown
// keys are ignored; a later line for a key wins.
WindowLayout ParseLayout(std::string_view text);
// The layout of the host file `path`; all 0 when it cannot be read.
WindowLayout ReadLayoutFile(const std::string& path);

// The leading decimal number of `text` (optional sign), 0 when there is none,
// as the C library's atoi reads it.
int LeadingInt(std::string_view text);

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

struct Size {
    int cx = 0;
    int cy = 0;
    bool operator==(const Size&) const = default;
};

// The page size after the main window's client area became `client`: the page
// keeps the margins it had around it (`htmlNow` and `pageNow` are the current
// sizes of the HTML control and of a page). False when either side would be
// negative: then nothing is resized.
bool PageSizeForClient(Size client, Size htmlNow, Size pageNow, Size& page);

// Anchor flags of a page's controls.
enum AnchorFlag : std::uint32_t {
    kAnchorStretchX = 0x01,  // the right edge follows the page's right edge
    kAnchorStretchY = 0x02,  // the bottom edge follows the page's bottom edge
    kAnchorMoveX = 0x04,     // the left edge follows too
    kAnchorMoveY = 0x08,     // the top edge follows too
    kAnchorRepaint = 0x10,   // repaint the control after placing it
    kAnchorGroupFirst = 0x1000,
};

// One pair of an anchor table; (-1, 0) ends it, (-1, 0x1000) opens a group and
// (-1, 0x2000) closes it.
struct AnchorPair {
    int id;
    std::uint32_t flags;
};
inline constexpr AnchorPair kAnchorEnd{-1, 0};
inline constexpr AnchorPair kAnchorGroupOpen{-1, 0x1000};
inline constexpr AnchorPair kAnchorGroupClose{-1, 0x2000};

// Where a control goes after a relayout.
struct Placement {
    int id = 0;
    Rect rect;
    bool repaint = false;
};

class AnchorLayout {
  public:
    // Looks a control up: its rectangle in page client coordinates; false when
    // the page has no such control (it is skipped).
    using ControlLookup = bool (*)(void* context, int id, Rect& rect);

    // Records the page's client size and, walking `table` up to its end pair,
    // every present control with its flags and initial rectangle.
    void Init(Size client, const AnchorPair* table, ControlLookup lookup, void* context);

    // The new rectangles for a client size: edges the flags do not move keep the
    // position in `current` (the controls' rectangles now, by item order).
    std::vector<Placement> Relayout(Size client, const std::vector<Rect>& current) const;

    // The recorded items: control id, flags (with group bits) and initial rectangle.
    struct Item {
        int id = 0;
        std::uint32_t flags = 0;
        Rect initial;
    };
    const std::vector<Item>& items() const { return items_; }
    Size initialClient() const { return initial_; }

  private:
    std::vector<Item> items_;
    Size initial_;
};

}  // namespace veldan::ui
