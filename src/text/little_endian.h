#pragma once
// Little-endian integers in byte buffers (the Windows file formats: hives,
// shell links, registry data). The caller makes sure the bytes are there.

#include <cstdint>

namespace veldan::text {

inline std::uint16_t LoadLe16(const char* p) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(p[0]) |
                                      static_cast<unsigned char>(p[1]) << 8);
}

inline std::uint32_t LoadLe32(const char* p) {
    return LoadLe16(p) | static_cast<std::uint32_t>(LoadLe16(p + 2)) << 16;
}

inline std::uint64_t LoadLe64(const char* p) {
    return LoadLe32(p) | static_cast<std::uint64_t>(LoadLe32(p + 4)) << 32;
}

}  // namespace veldan::text
