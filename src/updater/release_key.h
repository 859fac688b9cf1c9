#pragma once
// The trusted release key as the updater reads it: a PEM file holding an
// Ed25519 public key as SubjectPublicKeyInfo ("-----BEGIN PUBLIC KEY-----"),
// the form `veldan-cli release` writes. Read without OpenSSL, so that both
// builds share it.

#include <string_view>

#include "updater/ed25519_verify.h"

namespace veldan::updater {

// The raw 32-byte key of the first PUBLIC KEY block of `pem`. False when there
// is none, when its Base64 is broken, or when it holds another kind of key.
bool ParsePublicKeyPem(std::string_view pem, Ed25519PublicKey& key);

}  // namespace veldan::updater
