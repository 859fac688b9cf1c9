// CP949 through the Windows code page calls (code page 949). The results match
// the Linux converter: a byte sequence CP949 does not define becomes U+FFFD
// (its lead byte is skipped alone), a character CP949 cannot hold becomes '?',
// and no "best fit" look-alikes are made.

#include <windows.h>

#include <string>

#include "text/codepage.h"
#include "text/cp949_convert.h"
#include "text/utf8_sequence.h"

namespace veldan::text {
namespace {

constexpr UINT kCp949 = 949;

// UTF-16 to UTF-8; the UTF-16 comes from the system and is well formed.
void AppendWideAsUtf8(const wchar_t* wide, int count, std::string& out) {
    if (count <= 0) return;
    const int need = WideCharToMultiByte(CP_UTF8, 0, wide, count, nullptr, 0, nullptr, nullptr);
    if (need <= 0) return;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(need));
    WideCharToMultiByte(CP_UTF8, 0, wide, count, out.data() + at, need, nullptr, nullptr);
}

// Converts CP949 bytes that are all defined; false when one is not.
bool StrictCp949(std::string_view in, std::string& out) {
    const int count = static_cast<int>(in.size());
    const int need =
        MultiByteToWideChar(kCp949, MB_ERR_INVALID_CHARS, in.data(), count, nullptr, 0);
    if (need <= 0) return false;
    std::wstring wide(static_cast<std::size_t>(need), L'\0');
    MultiByteToWideChar(kCp949, MB_ERR_INVALID_CHARS, in.data(), count, wide.data(), need);
    AppendWideAsUtf8(wide.data(), need, out);
    return true;
}

bool IsLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

}  // namespace

namespace detail {

std::string Cp949NonAsciiToUtf8(std::string_view cp949) {
    std::string out;
    out.reserve(cp949.size() * 3 / 2);
    if (StrictCp949(cp949, out)) return out;
    // Some sequence is not CP949: convert character by character.
    out.clear();
    for (std::size_t i = 0; i < cp949.size();) {
        const unsigned char c = static_cast<unsigned char>(cp949[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        if (IsLeadByte(c) && i + 1 < cp949.size() && StrictCp949(cp949.substr(i, 2), out)) {
            i += 2;
            continue;
        }
        out.append(kReplacementUtf8);
        ++i;
    }
    return out;
}

void AppendUtf8RunAsCp949(std::string_view utf8, std::string& out) {
    const int runSize = static_cast<int>(utf8.size());
    const int wideSize = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), runSize, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideSize > 0 ? wideSize : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), runSize, wide.data(), wideSize);
    // One '?' per character that CP949 lacks, a surrogate pair included.
    std::size_t w = 0;
    while (w < wide.size()) {
        if (wide[w] < 0x80) {
            out.push_back(static_cast<char>(wide[w++]));
            continue;
        }
        std::size_t len = 1;
        if (wide[w] >= 0xD800 && wide[w] <= 0xDBFF && w + 1 < wide.size()) len = 2;
        char buf[8];
        BOOL usedDefault = FALSE;
        const int n =
            WideCharToMultiByte(kCp949, WC_NO_BEST_FIT_CHARS, wide.data() + w,
                                static_cast<int>(len), buf, sizeof buf, "?", &usedDefault);
        if (n <= 0 || usedDefault) {
            out.push_back('?');
        } else {
            out.append(buf, static_cast<std::size_t>(n));
        }
        w += len;
    }
}

}  // namespace detail
}  // namespace veldan::text
