#pragma once
// Detached Ed25519 signatures of release archives. Keys are made and files
// signed through OpenSSL (Linux only: release_signature.cpp); signatures are
// checked by the portable code of ed25519_verify.h in both builds
// (release_verify.cpp).
// A signature is the 64 raw bytes Ed25519 makes over the whole file, stored
// beside it as FILE.sig. Keys are PEM files: the private key as PKCS#8, the
// public key as SubjectPublicKeyInfo.

#include <cstddef>
#include <string>
#include <string_view>

namespace veldan::updater {

// The length of an Ed25519 signature in bytes.
inline constexpr std::size_t kSignatureSize = 64;
// What a signature file is named after the file it signs.
inline constexpr std::string_view kSignatureSuffix = ".sig";
// The trusted public key, relative to the program folder.
inline constexpr std::string_view kReleaseKeyPath = "data/release.pub";

enum SignatureResult : int {
    kSignatureOk = 0,
    kSignatureNoKey = 1,        // the key file cannot be read or holds no Ed25519 key
    kSignatureNoFile = 2,       // the signed file cannot be read
    kSignatureMalformed = 3,    // the signature is not kSignatureSize bytes long
    kSignatureMismatch = 4,     // the signature does not belong to this file and key
    kSignatureWriteFailed = 5,  // a key or signature file cannot be written
    kSignatureExists = 6,       // a key file to write exists already
    kSignatureCrypto = 7,       // OpenSSL failed to make a key or a signature
};

// A short English text for a SignatureResult.
const char* SignatureResultText(int code);

// Makes a new key pair and writes the private key to `privatePath` (mode
// 0600) and the public key to `publicPath` (mode 0644). Existing files are
// never overwritten. Returns a SignatureResult; on failure neither file stays.
int GenerateReleaseKeys(const std::string& privatePath, const std::string& publicPath);

// Signs the bytes of `filePath` with the private key in `privateKeyPath` into
// `signature`. Returns a SignatureResult; `signature` is left as passed on failure.
int SignReleaseFile(const std::string& privateKeyPath, const std::string& filePath,
                    std::string& signature);

// Checks `signature` over the bytes of `filePath` with the public key in
// `publicKeyPath`. Returns kSignatureOk only for a signature made over exactly
// these bytes by the private key of that public key.
int VerifyReleaseFile(const std::string& publicKeyPath, const std::string& filePath,
                      std::string_view signature);

// The same check over `bytes` in memory.
int VerifyReleaseBytes(const std::string& publicKeyPath, std::string_view bytes,
                       std::string_view signature);

// Reads the whole file at `path` into `bytes`; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes);

// Writes `bytes` into a new file at `path` with `mode` (refusing an existing
// one); a partly written file is removed. Returns a SignatureResult.
int WriteNewFile(const std::string& path, std::string_view bytes, unsigned mode);

}  // namespace veldan::updater
