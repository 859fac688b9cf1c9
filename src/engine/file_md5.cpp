// MD5 of a machine's file through OpenSSL (Linux).

#include <openssl/evp.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/scan.h"
#include "machine/file_system.h"

namespace veldan::engine {

std::string FileMd5(Context& ctx, std::string_view path) {
    std::unique_ptr<machine::FileReader> reader;
    if (ctx.files().OpenRead(path, reader) != machine::ERROR_SUCCESS) return {};
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> md(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!md || EVP_DigestInit_ex(md.get(), EVP_md5(), nullptr) != 1) return {};
    // One buffer per thread: the walk hashes many files one after another.
    thread_local std::vector<unsigned char> buffer(1 << 18);
    for (;;) {
        long long n = reader->Read(buffer.data(), buffer.size());
        if (n < 0) return {};
        if (n == 0) break;
        EVP_DigestUpdate(md.get(), buffer.data(), static_cast<std::size_t>(n));
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (EVP_DigestFinal_ex(md.get(), digest, &len) != 1) return {};
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(len * 2);
    for (unsigned int i = 0; i < len; ++i) {
        out.push_back(kHex[digest[i] >> 4]);
        out.push_back(kHex[digest[i] & 15]);
    }
    return out;
}

}  // namespace veldan::engine
