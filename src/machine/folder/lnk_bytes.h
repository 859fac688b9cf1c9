#pragma once
// Bounds-checked little-endian reads over the bytes of a shell link. Every read
// says whether it fitted; nothing is read past the end of the view.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/little_endian.h"

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

    bool U16(std::size_t at, std::uint16_t& v) const { return Load(at, v, text::LoadLe16); }
    bool U32(std::size_t at, std::uint32_t& v) const { return Load(at, v, text::LoadLe32); }
    bool U64(std::size_t at, std::uint64_t& v) const { return Load(at, v, text::LoadLe64); }

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

    template <typename T>
    bool Load(std::size_t at, T& v, T (*load)(const char*)) const {
        if (!Fits(at, sizeof(T))) return false;
        v = load(bytes_.data() + at);
        return true;
    }

    std::string_view bytes_;
};

// A string as a C string holds it: everything before the first NUL character.
inline std::string UpToNul(std::string s) {
    std::size_t nul = s.find('\0');
    if (nul != std::string::npos) s.resize(nul);
    return s;
}

}  // namespace veldan::machine::image::lnk
