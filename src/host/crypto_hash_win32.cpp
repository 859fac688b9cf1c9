#include "host/crypto_hash_win32.h"

#include <windows.h>
// (wincrypt.h needs windows.h first)
#include <wincrypt.h>

// The headers name SHA-256 only for targets newer than Windows XP, whose SP3 has it.
#ifndef CALG_SHA_256
#define CALG_SHA_256 (ALG_CLASS_HASH | ALG_TYPE_ANY | 12)
#endif

namespace veldan::host {

struct CryptoHash::State {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;

    ~State() {
        if (hash != 0) CryptDestroyHash(hash);
        if (provider != 0) CryptReleaseContext(provider, 0);
    }
};

CryptoHash::CryptoHash(HashKind kind) {
    // SHA-256 comes from the enhanced AES provider, which Windows XP has from SP3 on.
    const bool sha256 = kind == HashKind::Sha256;
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, sha256 ? PROV_RSA_AES : PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
        return;
    }
    HCRYPTHASH hash = 0;
    if (!CryptCreateHash(provider, sha256 ? CALG_SHA_256 : CALG_MD5, 0, 0, &hash)) {
        CryptReleaseContext(provider, 0);
        return;
    }
    state_ = std::make_unique<State>();
    state_->provider = provider;
    state_->hash = hash;
}

CryptoHash::~CryptoHash() = default;

bool CryptoHash::Update(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const BYTE*>(data);
    while (valid() && size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        if (!CryptHashData(state_->hash, bytes, chunk, 0)) return false;
        bytes += chunk;
        size -= chunk;
    }
    return valid();
}

std::string CryptoHash::HexDigest() {
    if (!valid()) return {};
    BYTE digest[32];
    DWORD len = sizeof digest;
    if (!CryptGetHashParam(state_->hash, HP_HASHVAL, digest, &len, 0)) return {};
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (DWORD i = 0; i < len; ++i) {
        out.push_back(kHex[digest[i] >> 4]);
        out.push_back(kHex[digest[i] & 15]);
    }
    return out;
}

}  // namespace veldan::host
