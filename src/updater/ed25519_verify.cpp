#include "updater/ed25519_verify.h"

#include <cstdint>

#include "updater/sha512.h"

namespace veldan::updater {
namespace {

// An element of GF(2^255 - 19): sixteen limbs of 16 bits, little endian,
// with room in each limb for the carries of a sum or a product.
using Field = std::array<std::int64_t, 16>;
// A point in extended coordinates (X : Y : Z : T), x = X/Z, y = Y/Z, xy = T/Z.
using Point = std::array<Field, 4>;

constexpr Field kZero = {};
constexpr Field kOne = {1};
constexpr Field kD = {0x78a3, 0x1359, 0x4dca, 0x75eb, 0xd8ab, 0x4141, 0x0a4d, 0x0070,
                      0xe898, 0x7779, 0x4079, 0x8cc7, 0xfe73, 0x2b6f, 0x6cee, 0x5203};
constexpr Field kD2 = {0xf159, 0x26b2, 0x9b94, 0xebd6, 0xb156, 0x8283, 0x149a, 0x00e0,
                       0xd130, 0xeef3, 0x80f2, 0x198e, 0xfce7, 0x56df, 0xd9dc, 0x2406};
constexpr Field kBaseX = {0xd51a, 0x8f25, 0x2d60, 0xc956, 0xa7b2, 0x9525, 0xc760, 0x692c,
                          0xdc5c, 0xfdd6, 0xe231, 0xc0a4, 0x53fe, 0xcd6e, 0x36d3, 0x2169};
constexpr Field kBaseY = {0x6658, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666,
                          0x6666, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666};
// A square root of -1.
constexpr Field kSqrtMinusOne = {0xa0b0, 0x4a0e, 0x1b27, 0xc4ee, 0xe478, 0xad2f, 0x1806, 0x2f43,
                                 0xd7a7, 0x3dfb, 0x0099, 0x2b4d, 0xdf0b, 0x4fc1, 0x2480, 0x2b83};
// The group order L = 2^252 + 27742317777372353535851937790883648493, little endian.
constexpr std::array<std::int64_t, 32> kOrder = {
    0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7, 0xa2, 0xde, 0xf9, 0xde, 0x14,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0x10};

using Bytes32 = std::array<unsigned char, 32>;

// Brings every limb back to 16 bits, the top carry folded in as 38 = 2 * 19.
void Carry(Field& o) {
    for (int i = 0; i < 16; ++i) {
        const std::int64_t c = o[i] >> 16;
        o[i] -= c * 65536;
        if (i < 15) {
            o[i + 1] += c;
        } else {
            o[0] += 38 * c;
        }
    }
}

// Swaps p and q when `swap` is 1, without a branch.
void Select(Field& p, Field& q, std::int64_t swap) {
    const std::int64_t mask = ~(swap - 1);
    for (int i = 0; i < 16; ++i) {
        const std::int64_t t = mask & (p[i] ^ q[i]);
        p[i] ^= t;
        q[i] ^= t;
    }
}

// The canonical 32-byte encoding (fully reduced below 2^255 - 19).
Bytes32 Pack(const Field& n) {
    Field t = n;
    Carry(t);
    Carry(t);
    Carry(t);
    for (int round = 0; round < 2; ++round) {
        Field m{};
        m[0] = t[0] - 0xffed;
        for (int i = 1; i < 15; ++i) {
            m[i] = t[i] - 0xffff - ((m[i - 1] >> 16) & 1);
            m[i - 1] &= 0xffff;
        }
        m[15] = t[15] - 0x7fff - ((m[14] >> 16) & 1);
        const std::int64_t borrow = (m[15] >> 16) & 1;
        m[14] &= 0xffff;
        Select(t, m, 1 - borrow);
    }
    Bytes32 out{};
    for (int i = 0; i < 16; ++i) {
        out[2 * i] = static_cast<unsigned char>(t[i] & 0xff);
        out[2 * i + 1] = static_cast<unsigned char>(t[i] >> 8);
    }
    return out;
}

bool Differ(const Field& a, const Field& b) {
    return Pack(a) != Pack(b);
}

int Parity(const Field& a) {
    return Pack(a)[0] & 1;
}

// The low 255 bits of `s` as an element (not reduced).
Field Unpack(const unsigned char* s) {
    Field o{};
    for (int i = 0; i < 16; ++i) o[i] = s[2 * i] + (std::int64_t{s[2 * i + 1]} << 8);
    o[15] &= 0x7fff;
    return o;
}

Field Add(const Field& a, const Field& b) {
    Field o;
    for (int i = 0; i < 16; ++i) o[i] = a[i] + b[i];
    return o;
}

Field Sub(const Field& a, const Field& b) {
    Field o;
    for (int i = 0; i < 16; ++i) o[i] = a[i] - b[i];
    return o;
}

Field Mul(const Field& a, const Field& b) {
    std::int64_t t[31] = {};
    for (int i = 0; i < 16; ++i) {
        for (int j = 0; j < 16; ++j) t[i + j] += a[i] * b[j];
    }
    for (int i = 0; i < 15; ++i) t[i] += 38 * t[i + 16];
    Field o;
    for (int i = 0; i < 16; ++i) o[i] = t[i];
    Carry(o);
    Carry(o);
    return o;
}

Field Square(const Field& a) {
    return Mul(a, a);
}

// a^(p - 2) = 1/a.
Field Invert(const Field& a) {
    Field c = a;
    for (int bit = 253; bit >= 0; --bit) {
        c = Square(c);
        if (bit != 2 && bit != 4) c = Mul(c, a);
    }
    return c;
}

// a^((p - 5) / 8), the heart of the square root.
Field PowP58(const Field& a) {
    Field c = a;
    for (int bit = 250; bit >= 0; --bit) {
        c = Square(c);
        if (bit != 1) c = Mul(c, a);
    }
    return c;
}

// p += q on the twisted Edwards curve (complete addition, a = -1).
void AddPoint(Point& p, const Point& q) {
    const Field a = Mul(Sub(p[1], p[0]), Sub(q[1], q[0]));
    const Field b = Mul(Add(p[0], p[1]), Add(q[0], q[1]));
    const Field c = Mul(Mul(p[3], q[3]), kD2);
    const Field d0 = Mul(p[2], q[2]);
    const Field d = Add(d0, d0);
    const Field e = Sub(b, a);
    const Field f = Sub(d, c);
    const Field g = Add(d, c);
    const Field h = Add(b, a);
    p[0] = Mul(e, f);
    p[1] = Mul(h, g);
    p[2] = Mul(g, f);
    p[3] = Mul(e, h);
}

void SwapPoints(Point& p, Point& q, std::int64_t swap) {
    for (int i = 0; i < 4; ++i) Select(p[i], q[i], swap);
}

Bytes32 EncodePoint(const Point& p) {
    const Field zi = Invert(p[2]);
    Bytes32 out = Pack(Mul(p[1], zi));
    out[31] ^= static_cast<unsigned char>(Parity(Mul(p[0], zi)) << 7);
    return out;
}

// [s]q for a 256-bit little-endian scalar, by a ladder of fixed length.
Point ScalarMult(Point q, const unsigned char* s) {
    Point p = {kZero, kOne, kOne, kZero};
    for (int i = 255; i >= 0; --i) {
        const std::int64_t bit = (s[i / 8] >> (i & 7)) & 1;
        SwapPoints(p, q, bit);
        AddPoint(q, p);
        AddPoint(p, p);
        SwapPoints(p, q, bit);
    }
    return p;
}

Point ScalarMultBase(const unsigned char* s) {
    return ScalarMult({kBaseX, kBaseY, kOne, Mul(kBaseX, kBaseY)}, s);
}

// True when the 32 bytes, read as a little-endian number, are below `bound`.
bool Below(const unsigned char* bytes, const unsigned char* bound) {
    for (int i = 31; i >= 0; --i) {
        if (bytes[i] != bound[i]) return bytes[i] < bound[i];
    }
    return false;
}

// The point -A of the encoded public key; false when the encoding is not
// canonical or names no point of the curve.
bool DecodeNegated(const Ed25519PublicKey& key, Point& r) {
    // 2^255 - 19, little endian: y must be below it.
    static constexpr unsigned char kPrime[32] = {0xed, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
                                                 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
                                                 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
                                                 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f};
    unsigned char y[32];
    for (int i = 0; i < 32; ++i) y[i] = key[static_cast<std::size_t>(i)];
    y[31] &= 0x7f;
    if (!Below(y, kPrime)) return false;
    const int sign = key[31] >> 7;

    r[2] = kOne;
    r[1] = Unpack(key.data());
    // x^2 = (y^2 - 1) / (d y^2 + 1), its root through (u/v)^((p+3)/8).
    const Field y2 = Square(r[1]);
    const Field num = Sub(y2, r[2]);
    const Field den = Add(r[2], Mul(y2, kD));
    const Field den2 = Square(den);
    const Field den4 = Square(den2);
    const Field den6 = Mul(den4, den2);
    Field t = PowP58(Mul(Mul(den6, num), den));
    t = Mul(Mul(Mul(t, num), den), den);
    r[0] = Mul(t, den);
    if (Differ(Mul(Square(r[0]), den), num)) r[0] = Mul(r[0], kSqrtMinusOne);
    if (Differ(Mul(Square(r[0]), den), num)) return false;
    const bool xIsZero = !Differ(r[0], kZero);
    if (xIsZero && sign == 1) return false;
    // Negated: the x of the wrong parity is kept, the other one flipped.
    if (Parity(r[0]) == sign) r[0] = Sub(kZero, r[0]);
    r[3] = Mul(r[0], r[1]);
    return true;
}

// The 64-byte little-endian number `x` modulo L, as 32 bytes.
Bytes32 ReduceModOrder(std::array<std::int64_t, 64> x) {
    for (int i = 63; i >= 32; --i) {
        std::int64_t carry = 0;
        int j = i - 32;
        for (; j < i - 12; ++j) {
            x[j] += carry - 16 * x[i] * kOrder[j - (i - 32)];
            carry = (x[j] + 128) >> 8;
            x[j] -= carry * 256;
        }
        x[j] += carry;
        x[i] = 0;
    }
    std::int64_t carry = 0;
    for (int j = 0; j < 32; ++j) {
        x[j] += carry - (x[31] >> 4) * kOrder[j];
        carry = x[j] >> 8;
        x[j] &= 255;
    }
    for (int j = 0; j < 32; ++j) x[j] -= carry * kOrder[j];
    Bytes32 r{};
    for (int i = 0; i < 32; ++i) {
        x[i + 1] += x[i] >> 8;
        r[i] = static_cast<unsigned char>(x[i] & 255);
    }
    return r;
}

}  // namespace

bool Ed25519Verify(const Ed25519PublicKey& key, std::string_view message,
                   std::string_view signature) {
    if (signature.size() != kEd25519SignatureSize) return false;
    const auto* sig = reinterpret_cast<const unsigned char*>(signature.data());
    unsigned char order[32];
    for (int i = 0; i < 32; ++i) order[i] = static_cast<unsigned char>(kOrder[i]);
    if (!Below(sig + 32, order)) return false;  // S must be reduced
    Point negA;
    if (!DecodeNegated(key, negA)) return false;

    Sha512 hash;
    hash.Update(signature.substr(0, 32));
    hash.Update(std::string_view(reinterpret_cast<const char*>(key.data()), key.size()));
    hash.Update(message);
    const Sha512::Digest digest = hash.Finish();
    std::array<std::int64_t, 64> wide{};
    for (std::size_t i = 0; i < 64; ++i) wide[i] = digest[i];
    const Bytes32 k = ReduceModOrder(wide);

    // [S]B - [k]A must be R.
    Point check = ScalarMult(negA, k.data());
    AddPoint(check, ScalarMultBase(sig + 32));
    const Bytes32 encoded = EncodePoint(check);
    unsigned diff = 0;
    for (int i = 0; i < 32; ++i) diff |= encoded[i] ^ sig[i];
    return diff == 0;
}

}  // namespace veldan::updater
