#pragma once
// The body of GetPage as a text. The body is read in blocks of at most 1023
// bytes, each terminated with a zero and appended as a C string, so a zero
// byte cuts the rest of its block off. Blocks are counted from the first byte
// of the body, whatever pieces the network delivers it in, so the text does
// not depend on how the transfer was split.

#include <cstddef>
#include <string>
#include <string_view>

namespace veldan::net {

class BlockText {
  public:
    // The bytes of one read block.
    static constexpr std::size_t kBlockSize = 1023;

    // Takes the next body bytes.
    void Append(std::string_view bytes);

    // The text made so far.
    const std::string& text() const { return text_; }

  private:
    std::string text_;
    std::size_t inBlock_ = 0;  // bytes of the current block already taken
    bool blockCut_ = false;    // a zero was seen in the current block
};

}  // namespace veldan::net
