#include <iconv.h>

#include <cerrno>
#include <string>

#include "text/codepage.h"
#include "text/cp949_convert.h"
#include "text/utf8_sequence.h"

// CP949 through iconv (Linux).

namespace veldan::text {
namespace {

// One iconv descriptor per direction and thread; iconv_t is not thread-safe.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much as possible; on an invalid sequence calls `onBad`
    // with the remaining input, which returns how many bytes to skip.
    template <typename OnBad>
    void Run(std::string_view in, std::string& out, OnBad onBad) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            out.append(in);
            return;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        char buf[4096];
        while (srcLeft > 0) {
            char* dst = buf;
            std::size_t dstLeft = sizeof buf;
            std::size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buf, static_cast<std::size_t>(dst - buf));
            if (r == static_cast<std::size_t>(-1)) {
                if (errno == E2BIG) continue;
                std::size_t skip = onBad(std::string_view(src, srcLeft), out);
                src += skip;
                srcLeft -= skip;
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            }
        }
    }

  private:
    iconv_t cd_;
};

}  // namespace

namespace detail {

std::string Cp949NonAsciiToUtf8(std::string_view cp949) {
    thread_local Converter conv("UTF-8", "CP949");
    std::string out;
    out.reserve(cp949.size() * 3 / 2);
    // A lead byte followed by a byte that is not a trail byte: replace and skip the lead only.
    conv.Run(cp949, out, [](std::string_view, std::string& o) {
        o.append(kReplacementUtf8);
        return std::size_t{1};
    });
    return out;
}

void AppendUtf8RunAsCp949(std::string_view utf8, std::string& out) {
    thread_local Converter conv("CP949", "UTF-8");
    conv.Run(utf8, out, [](std::string_view rest, std::string& o) {
        o.push_back('?');
        std::size_t n = Utf8SequenceLength(rest, 0);
        return n == 0 ? std::size_t{1} : n;
    });
}

}  // namespace detail
}  // namespace veldan::text
