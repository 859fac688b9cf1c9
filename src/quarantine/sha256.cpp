#include "quarantine/sha256.h"

#include <openssl/evp.h>

#include "quarantine/state.h"

namespace veldan::quarantine {

Sha256::Sha256() {
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    if (md != nullptr && EVP_DigestInit_ex(md, EVP_sha256(), nullptr) != 1) {
        EVP_MD_CTX_free(md);
        md = nullptr;
    }
    state_ = md;
}

Sha256::~Sha256() {
    EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(state_));
}

void Sha256::Add(const void* data, std::size_t size) {
    if (state_ != nullptr) EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(state_), data, size);
}

std::string Sha256::Hex() {
    if (state_ == nullptr) return {};
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(state_), out, &size) != 1) return {};
    return ToHex(std::string_view(reinterpret_cast<const char*>(out), size));
}

}  // namespace veldan::quarantine
