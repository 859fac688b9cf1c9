#pragma once
// Bounds-checked little-endian reads over the bytes of a shell link. Every read
// says whether it fitted; nothing is read past the end of the view.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace veldan::machine::image::lnk {

class Bytes {
  public:
    explicit Bytes(std::string_view bytes) : bytes_(bytes) {}

    std::size_t size() const { return bytes_.size(); }
    std::string_view view() const { return bytes_; }

    // True when `length` bytes start at `at`, without overflow.
    bool Fits(std::size_t at, std::size_t length) const {
        return at <= bytes_.size() && length <= bytes_.size() - at;
    }

    bool U16(std::size_t at, std::uint16_t& v) const {
        if (!Fits(at, 2)) return false;
        v = static_cast<std::uint16_t>(Byte(at) | Byte(at + 1) << 8);
        return true;
    }

    bool U32(std::size_t at, std::uint32_t& v) const {
        std::uint16_t lo = 0;
        std::uint16_t hi = 0;
        if (!U16(at, lo) || !U16(at + 2, hi)) return false;
        v = lo | static_cast<std::uint32_t>(hi) << 16;
        return true;
    }

    bool U64(std::size_t at, std::uint64_t& v) const {
        std::uint32_t lo = 0;
        std::uint32_t hi = 0;
        if (!U32(at, lo) || !U32(at + 4, hi)) return false;
        v = lo | static_cast<std::uint64_t>(hi) << 32;
        return true;
    }

    // `length` bytes from `at`, or an empty view when they do not fit.
    std::string_view Sub(std::size_t at, std::size_t length) const {
        return Fits(at, length) ? bytes_.substr(at, length) : std::string_view();
    }

    // The bytes from `at` up to the first NUL (a single byte when `unit` is 1, an
    // aligned pair when it is 2). False when no terminator lies inside the view.
    bool CString(std::size_t at, std::size_t unit, std::string_view& out) const {
        for (std::size_t i = at; Fits(i, unit); i += unit) {
            if (Byte(i) == 0 && (unit == 1 || Byte(i + 1) == 0)) {
                out = bytes_.substr(at, i - at);
                return true;
            }
        }
        return false;
    }

  private:
    unsigned Byte(std::size_t at) const { return static_cast<unsigned char>(bytes_[at]); }

    std::string_view bytes_;
};

// A string as a C string holds it: everything before the first NUL character.
inline std::string UpToNul(std::string s) {
    std::size_t nul = s.find('\0');
    if (nul != std::string::npos) s.resize(nul);
    return s;
}

}  // namespace veldan::machine::image::lnk
