// SHA-256, HMAC-SHA-256 and PBKDF2-HMAC-SHA256 against published test vectors (FIPS 180-2,
// RFC 4231, RFC 7914), and the users made from them.
#include <gtest/gtest.h>

#include "upsnet/passwordHash.h"

namespace ups {
namespace {

std::string hex(std::string_view octets) {
    std::string text;
    for (const unsigned char c : octets) {
        text += "0123456789abcdef"[c >> 4];
        text += "0123456789abcdef"[c & 15];
    }
    return text;
}

std::string hex(const Sha256Digest& digest) {
    return hex(std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()));
}

TEST(PasswordHash, MatchesPublishedVectors) {
    EXPECT_EQ(hex(sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hex(sha256("abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex(sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(hex(sha256(std::string(1000000, 'a'))),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_EQ(hex(hmacSha256(std::string(20, '\x0b'), "Hi There")),
              "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7");
    EXPECT_EQ(hex(hmacSha256("Jefe", "what do ya want for nothing?")),
              "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
    // A key longer than the block is hashed first.
    EXPECT_EQ(hex(hmacSha256(std::string(131, '\xaa'),
                             "Test Using Larger Than Block-Size Key - Hash Key First")),
              "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54");
    EXPECT_EQ(hex(pbkdf2Sha256("passwd", "salt", 1, 64)),
              "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
              "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783");
    EXPECT_EQ(hex(pbkdf2Sha256("Password", "NaCl", 80000, 64)),
              "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
              "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d");
}

TEST(PasswordHash, UsersKeepASaltedHashThatOnlyTheirPasswordMatches) {
    const NetworkUser a = makeNetworkUser("ana", NetworkRole::Primary, "clave", 1);
    const NetworkUser b = makeNetworkUser("ana", NetworkRole::Primary, "clave", 2);
    EXPECT_EQ(a.salt.size(), kSaltOctets);
    EXPECT_NE(a.salt, b.salt);
    EXPECT_NE(a.hash, b.hash);
    EXPECT_EQ(a.hash.find("clave"), std::string::npos);
    EXPECT_TRUE(passwordMatches(a, "clave"));
    EXPECT_TRUE(passwordMatches(b, "clave"));
    EXPECT_FALSE(passwordMatches(a, "Clave"));
    EXPECT_FALSE(passwordMatches(a, ""));
    NetworkUser damaged = a;
    damaged.hash.pop_back();
    EXPECT_FALSE(passwordMatches(damaged, "clave"));
}

}  // namespace
}  // namespace ups
