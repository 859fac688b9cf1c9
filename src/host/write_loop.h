#pragma once

#include <cerrno>
#include <cstddef>
#include <string_view>

namespace veldan::host {

// Writes all of `bytes` through `write(data, size)`, which returns how many
// bytes it wrote or a negative number with errno set. At most 1 GiB goes to
// one call. 0 when all is written, else errno (EIO when a call writes nothing).
template <typename Write>
int WriteAllThrough(std::string_view bytes, Write write) {
    constexpr std::size_t kMaxChunk = std::size_t{1} << 30;
    while (!bytes.empty()) {
        const std::size_t chunk = bytes.size() > kMaxChunk ? kMaxChunk : bytes.size();
        const auto n = write(bytes.data(), chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

}  // namespace veldan::host
