#include "config/password.h"

#include <gtest/gtest.h>

namespace ups {
namespace {

TEST(PasswordScrambling, EachByteIsXoredWithTheBasePlusItsPosition) {
    const auto code = scramblePassword("Ab");
    EXPECT_EQ(code[0], static_cast<std::uint8_t>('A' ^ scrambleBase));
    EXPECT_EQ(code[1],
              static_cast<std::uint8_t>('b' ^ static_cast<std::uint8_t>(scrambleBase + 1)));
    // The NUL fill is scrambled too, so a short password still fills all eight bytes.
    for (std::size_t i = 2; i < code.size(); ++i) {
        EXPECT_EQ(code[i], static_cast<std::uint8_t>(scrambleBase + i)) << "byte " << i;
    }
}

TEST(PasswordScrambling, EmptyPasswordIsEightScrambledNulBytes) {
    const auto code = scramblePassword("");
    for (std::size_t i = 0; i < code.size(); ++i) {
        EXPECT_EQ(code[i], static_cast<std::uint8_t>(scrambleBase + i));
    }
}

TEST(PasswordScrambling, MaskWrapsModulo256) {
    // With a base near 255 the mask of the last bytes wraps; compute it independently.
    const auto code = scramblePassword("12345678");
    for (std::size_t i = 0; i < 8; ++i) {
        const unsigned mask = (static_cast<unsigned>(scrambleBase) + i) % 256u;
        EXPECT_EQ(code[i], static_cast<std::uint8_t>(static_cast<unsigned>('1' + i) ^ mask));
    }
}

struct RoundTripCase {
    std::string typed;
    std::string stored;
};
// Shown by GoogleTest (and in the test list) by what it is rather than as bytes.
void PrintTo(const RoundTripCase& c, std::ostream* os) {
    *os << '"' << c.typed << '"';
}

class PasswordRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(PasswordRoundTrip, UnscramblingGivesThePasswordBack) {
    CfgUps ups{};
    storePassword(ups, GetParam().typed);
    EXPECT_EQ(storedPassword(ups), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(Lengths, PasswordRoundTrip,
                         ::testing::Values(RoundTripCase{"", ""}, RoundTripCase{"a", "a"},
                                           RoundTripCase{"Clave", "Clave"},
                                           RoundTripCase{"12345678", "12345678"},
                                           RoundTripCase{"123456789", "12345678"},
                                           RoundTripCase{"\xE1\xF1", "\xE1\xF1"}));

TEST(PasswordScrambling, CaseIsKept) {
    CfgUps ups{};
    storePassword(ups, "Secreto");
    EXPECT_NE(storedPassword(ups), "secreto");
    EXPECT_EQ(storedPassword(ups), "Secreto");
}

TEST(PasswordScrambling, ZeroFilledCodeIsNotAnEmptyPassword) {
    // A zero-filled record unscrambles to the masks themselves: eight characters, no NUL. Only
    // pswUnset keeps that from being compared.
    const std::uint8_t zeros[8] = {};
    const std::string password = unscramblePassword(zeros);
    ASSERT_EQ(password.size(), 8u);
    EXPECT_EQ(static_cast<std::uint8_t>(password[3]), static_cast<std::uint8_t>(scrambleBase + 3));
}

TEST(PasswordScrambling, StoringWritesOnlyPswCode) {
    CfgUps ups{};
    std::memset(&ups, 0x5C, sizeof ups);
    storePassword(ups, "x");
    const auto bytes = recordBytes(ups);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i >= offsetof(CfgUps, pswCode) && i < offsetof(CfgUps, pswCode) + 8) continue;
        ASSERT_EQ(bytes[i], 0x5C) << "offset " << i;
    }
}

}  // namespace
}  // namespace ups
