#include "support/release_keys.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace veldan::test {

namespace {

struct Free {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
    void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
    void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
    void operator()(BIO* p) const { BIO_free(p); }
};
template <typename T>
using Owned = std::unique_ptr<T, Free>;

std::string MemoryText(BIO* bio) {
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    return std::string(data, static_cast<std::size_t>(n));
}

}  // namespace

ReleaseKeys MakeReleaseKeys() {
    Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr));
    EVP_PKEY* raw = nullptr;
    if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 || EVP_PKEY_keygen(ctx.get(), &raw) != 1) {
        throw std::runtime_error("Ed25519 key generation failed");
    }
    Owned<EVP_PKEY> key(raw);
    Owned<BIO> priv(BIO_new(BIO_s_mem()));
    Owned<BIO> pub(BIO_new(BIO_s_mem()));
    if (PEM_write_bio_PrivateKey(priv.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) !=
            1 ||
        PEM_write_bio_PUBKEY(pub.get(), key.get()) != 1) {
        throw std::runtime_error("PEM writing failed");
    }
    return {MemoryText(priv.get()), MemoryText(pub.get())};
}

const ReleaseKeys& SharedReleaseKeys() {
    static const ReleaseKeys keys = MakeReleaseKeys();
    return keys;
}

std::string SignRelease(const ReleaseKeys& keys, std::string_view bytes) {
    Owned<BIO> bio(
        BIO_new_mem_buf(keys.privatePem.data(), static_cast<int>(keys.privatePem.size())));
    Owned<EVP_PKEY> key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
    Owned<EVP_MD_CTX> md(EVP_MD_CTX_new());
    std::string sig(64, '\0');
    std::size_t size = sig.size();
    if (!key || !md || EVP_DigestSignInit(md.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
        EVP_DigestSign(md.get(), reinterpret_cast<unsigned char*>(sig.data()), &size,
                       reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) != 1 ||
        size != 64) {
        throw std::runtime_error("Ed25519 signing failed");
    }
    return sig;
}

void TrustReleaseKey(const std::string& programFolder, const ReleaseKeys& keys) {
    std::filesystem::create_directories(programFolder + "/data");
    std::ofstream(programFolder + "/data/release.pub", std::ios::binary) << keys.publicPem;
}

void ServeSignedRelease(HttpServer& server, const std::string& zip, const ReleaseKeys& keys) {
    HttpAnswer archive;
    archive.body = zip;
    server.Answer("/veldan/bin.zip", archive);
    HttpAnswer signature;
    signature.body = SignRelease(keys, zip);
    server.Answer("/veldan/bin.zip.sig", signature);
}

}  // namespace veldan::test
