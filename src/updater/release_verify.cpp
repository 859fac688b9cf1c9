// The verifying half of release_signature.h, shared by the Linux and the
// Windows build: the key is read from its PEM file and the signature checked
// by the portable Ed25519 code, without OpenSSL.
#include <filesystem>
#include <system_error>

#include "host/file_read.h"
#include "updater/ed25519_verify.h"
#include "updater/release_key.h"
#include "updater/release_signature.h"

namespace veldan::updater {

const char* SignatureResultText(int code) {
    switch (code) {
        case kSignatureOk:
            return "good signature";
        case kSignatureNoKey:
            return "no Ed25519 key in the key file";
        case kSignatureNoFile:
            return "the file cannot be read";
        case kSignatureMalformed:
            return "the signature is not 64 bytes long";
        case kSignatureMismatch:
            return "the signature does not match the file and the key";
        case kSignatureWriteFailed:
            return "the file cannot be written";
        case kSignatureExists:
            return "the file exists already";
        case kSignatureCrypto:
            return "OpenSSL failed";
        default:
            return "unknown signature result";
    }
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    // Regular files only: a device or a pipe would never end.
    std::error_code ec;
    const std::filesystem::path host(std::u8string(path.begin(), path.end()));
    if (!std::filesystem::is_regular_file(host, ec)) return false;
    return host::ReadWholeFile(path, bytes);
}

int VerifyReleaseBytes(const std::string& publicKeyPath, std::string_view bytes,
                       std::string_view signature) {
    std::string pem;
    Ed25519PublicKey key{};
    if (!ReadWholeFile(publicKeyPath, pem) || !ParsePublicKeyPem(pem, key)) return kSignatureNoKey;
    if (signature.size() != kSignatureSize) return kSignatureMalformed;
    return Ed25519Verify(key, bytes, signature) ? kSignatureOk : kSignatureMismatch;
}

int VerifyReleaseFile(const std::string& publicKeyPath, const std::string& filePath,
                      std::string_view signature) {
    std::string bytes;
    if (!ReadWholeFile(filePath, bytes)) return kSignatureNoFile;
    return VerifyReleaseBytes(publicKeyPath, bytes, signature);
}

}  // namespace veldan::updater
