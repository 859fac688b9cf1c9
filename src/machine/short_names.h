#pragma once
// 8.3 short names: which names are short names already, and the NAME~N.EXT
// candidates generated for the others. Lengths count CP949 bytes.

#include <string>
#include <string_view>
#include <vector>

namespace veldan::machine {

// True when `name` is a valid 8.3 name (its own short name): a base of 1 to 8
// and an optional extension of 1 to 3 bytes in CP949, no blanks, no second dot,
// only characters FAT short names allow. Letter case does not matter.
bool IsShortName(std::string_view name);

// One character of a generated short name and the CP949 bytes it takes.
struct ShortChar {
    std::string text;
    std::size_t width;
};

// Builds the NAME~N.EXT candidates of one long name.
class ShortNameMaker {
  public:
    explicit ShortNameMaker(std::string_view longName);

    // The candidate with number `n`: the base shrinks when the number needs
    // more digits, so that base, '~' and number fit in eight bytes.
    std::string Make(unsigned n) const;

    // Names with the same stem compete for the same numbers.
    const std::string& stem() const { return stem_; }

  private:
    std::vector<ShortChar> base_;
    std::string ext_;
    std::string stem_;
};

}  // namespace veldan::machine
