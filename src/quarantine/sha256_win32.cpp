#include <windows.h>
// (wincrypt.h needs windows.h first)
#include <wincrypt.h>

#include "quarantine/sha256.h"
#include "quarantine/state.h"

namespace veldan::quarantine {

// SHA-256 comes from the enhanced AES provider, which Windows XP has from SP3 on.
Sha256::Sha256() {
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES,
                              CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
        return;
    }
    HCRYPTHASH hash = 0;
    if (!CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash)) {
        CryptReleaseContext(provider, 0);
        return;
    }
    provider_ = provider;
    state_ = reinterpret_cast<void*>(hash);
}

Sha256::~Sha256() {
    if (state_ != nullptr) CryptDestroyHash(reinterpret_cast<HCRYPTHASH>(state_));
    if (provider_ != 0) CryptReleaseContext(static_cast<HCRYPTPROV>(provider_), 0);
}

void Sha256::Add(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const BYTE*>(data);
    while (state_ != nullptr && size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        if (!CryptHashData(reinterpret_cast<HCRYPTHASH>(state_), bytes, chunk, 0)) {
            CryptDestroyHash(reinterpret_cast<HCRYPTHASH>(state_));
            state_ = nullptr;
            return;
        }
        bytes += chunk;
        size -= chunk;
    }
}

std::string Sha256::Hex() {
    if (state_ == nullptr) return {};
    BYTE digest[32];
    DWORD len = sizeof digest;
    if (!CryptGetHashParam(reinterpret_cast<HCRYPTHASH>(state_), HP_HASHVAL, digest, &len, 0))
        return {};
    return ToHex(std::string_view(reinterpret_cast<const char*>(digest), len));
}

}  // namespace veldan::quarantine
