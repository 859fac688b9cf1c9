#include "host/crypto_hash_win32.h"
#include "quarantine/sha256.h"

namespace veldan::quarantine {

Sha256::Sha256() : state_(new host::CryptoHash(host::HashKind::Sha256)) {}

Sha256::~Sha256() {
    delete static_cast<host::CryptoHash*>(state_);
}

void Sha256::Add(const void* data, std::size_t size) {
    static_cast<host::CryptoHash*>(state_)->Update(data, size);
}

std::string Sha256::Hex() {
    return static_cast<host::CryptoHash*>(state_)->HexDigest();
}

}  // namespace veldan::quarantine
