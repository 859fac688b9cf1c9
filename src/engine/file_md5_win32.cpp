// MD5 of a machine's file through CryptoAPI (Windows).

#include <memory>
#include <string>
#include <vector>

#include "engine/scan.h"
#include "host/crypto_hash_win32.h"
#include "machine/file_system.h"

namespace veldan::engine {

std::string FileMd5(Context& ctx, std::string_view path) {
    std::unique_ptr<machine::FileReader> reader;
    if (ctx.files().OpenRead(path, reader) != machine::ERROR_SUCCESS) return {};
    host::CryptoHash md5(host::HashKind::Md5);
    if (!md5.valid()) return {};
    thread_local std::vector<unsigned char> buffer(1 << 18);
    for (;;) {
        const long long n = reader->Read(buffer.data(), buffer.size());
        if (n < 0) return {};
        if (n == 0) break;
        if (!md5.Update(buffer.data(), static_cast<std::size_t>(n))) return {};
    }
    return md5.HexDigest();
}

}  // namespace veldan::engine
