#pragma once
// Signed releases for the update tests. The keys are made here with OpenSSL
// directly, and signatures too, so the updater's own signing code is not what
// the tests trust.
//
//   const ReleaseKeys& keys = SharedReleaseKeys();
//   TrustReleaseKey(program, keys);                 // program/data/release.pub
//   ServeSignedRelease(server, zip, keys);          // /veldan/bin.zip and .sig

#include <string>
#include <string_view>

#include "support/http_server.h"

namespace veldan::test {

struct ReleaseKeys {
    std::string privatePem;  // PKCS#8
    std::string publicPem;   // SubjectPublicKeyInfo
};

// A new Ed25519 key pair; throws std::runtime_error when OpenSSL fails.
ReleaseKeys MakeReleaseKeys();

// One key pair for the whole test program, made on first use.
const ReleaseKeys& SharedReleaseKeys();

// The 64-byte Ed25519 signature of `bytes` by `keys`.
std::string SignRelease(const ReleaseKeys& keys, std::string_view bytes);

// Writes the public key of `keys` as <programFolder>/data/release.pub.
void TrustReleaseKey(const std::string& programFolder, const ReleaseKeys& keys);

// Serves `zip` as /veldan/bin.zip and its signature by `keys` as /veldan/bin.zip.sig.
void ServeSignedRelease(HttpServer& server, const std::string& zip, const ReleaseKeys& keys);

}  // namespace veldan::test
