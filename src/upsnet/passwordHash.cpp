#include "upsnet/passwordHash.h"

#include <random>

namespace ups {

namespace {

constexpr std::array<std::uint32_t, 64> kRound = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::array<std::uint32_t, 8> kInitial = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                   0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

std::uint32_t rotr(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

class Sha256 {
public:
    void add(std::string_view data) {
        for (const char c : data) {
            block_[used_++] = static_cast<std::uint8_t>(c);
            if (used_ == 64) compress();
        }
        length_ += data.size();
    }

    Sha256Digest finish() {
        const std::uint64_t bits = length_ * 8;
        block_[used_++] = 0x80;
        if (used_ > 56) {
            while (used_ < 64) block_[used_++] = 0;
            compress();
        }
        while (used_ < 56) block_[used_++] = 0;
        for (int i = 7; i >= 0; --i) block_[used_++] = static_cast<std::uint8_t>(bits >> (i * 8));
        compress();
        Sha256Digest digest{};
        for (std::size_t i = 0; i < 8; ++i) {
            for (std::size_t j = 0; j < 4; ++j)
                digest[i * 4 + j] = static_cast<std::uint8_t>(state_[i] >> (24 - 8 * j));
        }
        return digest;
    }

private:
    void compress() {
        std::array<std::uint32_t, 64> w{};
        for (std::size_t i = 0; i < 16; ++i) {
            w[i] = static_cast<std::uint32_t>(block_[i * 4]) << 24 |
                   static_cast<std::uint32_t>(block_[i * 4 + 1]) << 16 |
                   static_cast<std::uint32_t>(block_[i * 4 + 2]) << 8 | block_[i * 4 + 3];
        }
        for (std::size_t i = 16; i < 64; ++i) {
            const std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        auto [a, b, c, d, e, f, g, h] = state_;
        for (std::size_t i = 0; i < 64; ++i) {
            const std::uint32_t s1 = rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25);
            const std::uint32_t choice = (e & f) ^ (~e & g);
            const std::uint32_t t1 = h + s1 + choice + kRound[i] + w[i];
            const std::uint32_t s0 = rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22);
            const std::uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
            const std::uint32_t t2 = s0 + majority;
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        const std::array<std::uint32_t, 8> add = {a, b, c, d, e, f, g, h};
        for (std::size_t i = 0; i < 8; ++i) state_[i] += add[i];
        used_ = 0;
    }

    std::array<std::uint32_t, 8> state_ = kInitial;
    std::array<std::uint8_t, 64> block_{};
    std::size_t used_ = 0;
    std::uint64_t length_ = 0;
};

std::string_view asText(const Sha256Digest& digest) {
    return {reinterpret_cast<const char*>(digest.data()), digest.size()};
}

// HMAC with the key's two pads hashed once, then reused for every round of PBKDF2.
class Hmac {
public:
    explicit Hmac(std::string_view key) {
        std::array<std::uint8_t, 64> padded{};
        if (key.size() > 64) {
            const Sha256Digest digest = sha256(key);
            std::copy(digest.begin(), digest.end(), padded.begin());
        } else {
            std::copy(key.begin(), key.end(), padded.begin());
        }
        std::string inner(64, '\0');
        std::string outer(64, '\0');
        for (std::size_t i = 0; i < 64; ++i) {
            inner[i] = static_cast<char>(padded[i] ^ 0x36);
            outer[i] = static_cast<char>(padded[i] ^ 0x5c);
        }
        inner_.add(inner);
        outer_.add(outer);
    }

    Sha256Digest sign(std::string_view message) const {
        Sha256 inner = inner_;
        inner.add(message);
        Sha256 outer = outer_;
        outer.add(asText(inner.finish()));
        return outer.finish();
    }

private:
    Sha256 inner_;
    Sha256 outer_;
};

}  // namespace

Sha256Digest sha256(std::string_view data) {
    Sha256 hash;
    hash.add(data);
    return hash.finish();
}

Sha256Digest hmacSha256(std::string_view key, std::string_view message) {
    return Hmac(key).sign(message);
}

std::string pbkdf2Sha256(std::string_view password, std::string_view salt, std::uint32_t rounds,
                         std::size_t length) {
    const Hmac mac(password);
    std::string out;
    for (std::uint32_t block = 1; out.size() < length; ++block) {
        std::string first(salt);
        for (int shift = 24; shift >= 0; shift -= 8) first += static_cast<char>(block >> shift);
        Sha256Digest u = mac.sign(first);
        Sha256Digest sum = u;
        for (std::uint32_t i = 1; i < rounds; ++i) {
            u = mac.sign(asText(u));
            for (std::size_t j = 0; j < sum.size(); ++j) sum[j] ^= u[j];
        }
        out.append(asText(sum).substr(0, length - out.size()));
    }
    return out;
}

NetworkUser makeNetworkUser(std::string_view name, NetworkRole role, std::string_view password,
                            std::optional<std::uint64_t> seed) {
    std::mt19937_64 random(seed ? *seed
                                : (static_cast<std::uint64_t>(std::random_device{}()) << 32) ^
                                      std::random_device{}());
    NetworkUser user;
    user.name = name;
    user.role = role;
    while (user.salt.size() < kSaltOctets) user.salt += static_cast<char>(random() & 0xFF);
    user.hash = pbkdf2Sha256(password, user.salt, kPasswordRounds, kHashOctets);
    return user;
}

bool passwordMatches(const NetworkUser& user, std::string_view password) {
    if (user.hash.size() != kHashOctets) return false;
    const std::string hash = pbkdf2Sha256(password, user.salt, kPasswordRounds, kHashOctets);
    unsigned char differ = 0;
    for (std::size_t i = 0; i < kHashOctets; ++i)
        differ |= static_cast<unsigned char>(hash[i] ^ user.hash[i]);
    return differ == 0;
}

}  // namespace ups
