#include "updater/release_signature.h"

#include <fcntl.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "host/c_handle.h"
#include "host/file_read.h"
#include "host/file_write.h"

namespace veldan::updater {

namespace {

using KeyHandle = host::CHandle<EVP_PKEY, EVP_PKEY_free>;
using KeyContext = host::CHandle<EVP_PKEY_CTX, EVP_PKEY_CTX_free>;
using DigestContext = host::CHandle<EVP_MD_CTX, EVP_MD_CTX_free>;
using BioHandle = host::CHandle<BIO, BIO_free>;

// The PEM text `pem` as a key: private when `isPrivate`, else public. Null
// when it holds no Ed25519 key of that kind.
KeyHandle ParseKey(const std::string& pem, bool isPrivate) {
    BioHandle bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    if (!bio) return nullptr;
    KeyHandle key(isPrivate ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr)
                            : PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr));
    if (!key || EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519) return nullptr;
    return key;
}

KeyHandle ReadKey(const std::string& path, bool isPrivate) {
    std::string pem;
    if (!ReadWholeFile(path, pem)) return nullptr;
    return ParseKey(pem, isPrivate);
}

// The text a memory BIO collected.
std::string BioText(BIO* bio) {
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return size > 0 && data != nullptr ? std::string(data, static_cast<std::size_t>(size))
                                       : std::string();
}

// The PEM forms of a key: PKCS#8 private and SubjectPublicKeyInfo public.
bool KeyToPem(EVP_PKEY* key, std::string& privatePem, std::string& publicPem) {
    BioHandle priv(BIO_new(BIO_s_mem()));
    BioHandle pub(BIO_new(BIO_s_mem()));
    if (!priv || !pub) return false;
    if (PEM_write_bio_PrivateKey(priv.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1 ||
        PEM_write_bio_PUBKEY(pub.get(), key) != 1) {
        return false;
    }
    privatePem = BioText(priv.get());
    publicPem = BioText(pub.get());
    return !privatePem.empty() && !publicPem.empty();
}

}  // namespace

int WriteNewFile(const std::string& path, std::string_view bytes, unsigned mode) {
    host::NewFile how;
    how.mode = static_cast<mode_t>(mode);
    how.flush = false;
    host::WriteStep failed = host::WriteStep::Create;
    const int err = host::WriteNewFile(path, bytes, how, failed);
    if (err != 0 && failed == host::WriteStep::Create) {
        return err == EEXIST ? kSignatureExists : kSignatureWriteFailed;
    }
    if (err != 0) {
        ::unlink(path.c_str());
        return kSignatureWriteFailed;
    }
    return kSignatureOk;
}

int GenerateReleaseKeys(const std::string& privatePath, const std::string& publicPath) {
    if (privatePath == publicPath) return kSignatureExists;
    KeyContext ctx(EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr));
    EVP_PKEY* raw = nullptr;
    if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 || EVP_PKEY_keygen(ctx.get(), &raw) != 1) {
        return kSignatureCrypto;
    }
    KeyHandle key(raw);
    std::string privatePem;
    std::string publicPem;
    if (!KeyToPem(key.get(), privatePem, publicPem)) return kSignatureCrypto;
    int rc = WriteNewFile(privatePath, privatePem, 0600);
    if (rc != kSignatureOk) return rc;
    rc = WriteNewFile(publicPath, publicPem, 0644);
    if (rc != kSignatureOk) ::unlink(privatePath.c_str());
    return rc;
}

int SignReleaseFile(const std::string& privateKeyPath, const std::string& filePath,
                    std::string& signature) {
    KeyHandle key = ReadKey(privateKeyPath, true);
    if (!key) return kSignatureNoKey;
    std::string bytes;
    if (!ReadWholeFile(filePath, bytes)) return kSignatureNoFile;
    DigestContext md(EVP_MD_CTX_new());
    // Ed25519 hashes the message itself: no digest is named, and the whole
    // message goes in one call.
    if (!md || EVP_DigestSignInit(md.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
        return kSignatureCrypto;
    }
    std::string out(kSignatureSize, '\0');
    std::size_t size = out.size();
    if (EVP_DigestSign(md.get(), reinterpret_cast<unsigned char*>(out.data()), &size,
                       reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) != 1 ||
        size != kSignatureSize) {
        return kSignatureCrypto;
    }
    signature = std::move(out);
    return kSignatureOk;
}

}  // namespace veldan::updater
