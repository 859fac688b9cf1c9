#include "net/block_text.h"

#include <algorithm>

namespace veldan::net {

void BlockText::Append(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t take = std::min(bytes.size(), kBlockSize - inBlock_);
        std::string_view piece = bytes.substr(0, take);
        if (!blockCut_) {
            const std::size_t zero = piece.find('\0');
            if (zero != std::string_view::npos) {
                piece = piece.substr(0, zero);
                blockCut_ = true;
            }
            text_.append(piece);
        }
        inBlock_ += take;
        if (inBlock_ == kBlockSize) {
            inBlock_ = 0;
            blockCut_ = false;
        }
        bytes.remove_prefix(take);
    }
}

}  // namespace veldan::net
