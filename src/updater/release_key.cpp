#include "updater/release_key.h"

#include <cstring>
#include <string>

namespace veldan::updater {
namespace {

constexpr std::string_view kBegin = "-----BEGIN PUBLIC KEY-----";
constexpr std::string_view kEnd = "-----END PUBLIC KEY-----";

// The DER of SubjectPublicKeyInfo up to the key bytes: SEQUENCE { SEQUENCE {
// OID 1.3.101.112 (Ed25519) }, BIT STRING of 33 bytes with no unused bits }.
constexpr unsigned char kEd25519Prefix[] = {0x30, 0x2a, 0x30, 0x05, 0x06, 0x03,
                                            0x2b, 0x65, 0x70, 0x03, 0x21, 0x00};

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// Decodes Base64 with line breaks and other white space between the symbols.
// False on any other character, on data after the padding, or on a length
// that is not whole.
bool DecodeBase64(std::string_view text, std::string& out) {
    out.clear();
    unsigned buffer = 0;
    int bits = 0;
    int symbols = 0;
    int padding = 0;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        if (c == '=') {
            ++padding;
            ++symbols;
            continue;
        }
        const int v = Base64Value(c);
        if (v < 0 || padding > 0) return false;
        ++symbols;
        buffer = (buffer << 6) | static_cast<unsigned>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((buffer >> bits) & 0xff);
        }
    }
    return symbols % 4 == 0 && padding <= 2;
}

}  // namespace

bool ParsePublicKeyPem(std::string_view pem, Ed25519PublicKey& key) {
    const std::size_t begin = pem.find(kBegin);
    if (begin == std::string_view::npos) return false;
    const std::size_t bodyStart = begin + kBegin.size();
    const std::size_t end = pem.find(kEnd, bodyStart);
    if (end == std::string_view::npos) return false;
    std::string der;
    if (!DecodeBase64(pem.substr(bodyStart, end - bodyStart), der)) return false;
    if (der.size() != sizeof(kEd25519Prefix) + key.size() ||
        std::memcmp(der.data(), kEd25519Prefix, sizeof(kEd25519Prefix)) != 0) {
        return false;
    }
    std::memcpy(key.data(), der.data() + sizeof(kEd25519Prefix), key.size());
    return true;
}

}  // namespace veldan::updater
