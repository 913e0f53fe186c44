#include "base/ipv4Text.h"

#include <gtest/gtest.h>

namespace ups {
namespace {

struct AddressCase {
    const char* typed;
    const char* canonical;  // nullptr: refused
};
// Shown by GoogleTest (and in the test list) by what it is rather than as bytes.
void PrintTo(const AddressCase& c, std::ostream* os) {
    *os << '"' << c.typed << '"';
}

class AddressNormalisation : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressNormalisation, LeavingTheFieldGivesTheCanonicalTextOrARefusal) {
    const AddressCase& c = GetParam();
    const auto result = canonicalAddressText(c.typed);
    if (c.canonical) {
        ASSERT_TRUE(result.has_value()) << c.typed;
        EXPECT_EQ(*result, c.canonical) << c.typed;
    } else {
        EXPECT_FALSE(result.has_value()) << c.typed << " gave " << result.value_or("");
    }
}

INSTANTIATE_TEST_SUITE_P(
    ClassicRules, AddressNormalisation,
    ::testing::Values(
        // Plain dotted decimal stays as it is.
        AddressCase{"192.168.1.10", "192.168.1.10"}, AddressCase{"0.0.0.0", "0.0.0.0"},
        AddressCase{"255.255.255.254", "255.255.255.254"},
        // A leading zero makes a part octal.
        AddressCase{"192.168.001.010", "192.168.1.8"}, AddressCase{"010.0.0.1", "8.0.0.1"},
        AddressCase{"0377.0.0.1", "255.0.0.1"}, AddressCase{"000.000.000.000", "0.0.0.0"},
        // 0x makes it hexadecimal, in either case.
        AddressCase{"0xC0.0XA8.0x1.0xa", "192.168.1.10"},
        // Fewer parts: the last one fills the bytes that remain.
        AddressCase{"10.1", "10.0.0.1"}, AddressCase{"10.1.258", "10.1.1.2"},
        AddressCase{"167772161", "10.0.0.1"}, AddressCase{"10.65535", "10.0.255.255"},
        AddressCase{"1.16777215", "1.255.255.255"},
        // The error value is refused in every spelling.
        AddressCase{"255.255.255.255", nullptr}, AddressCase{"4294967295", nullptr},
        AddressCase{"0xffffffff", nullptr}, AddressCase{"255.16777215", nullptr},
        AddressCase{"0377.0377.0377.0377", nullptr},
        // Malformed texts.
        AddressCase{"", nullptr}, AddressCase{".", nullptr}, AddressCase{"1.2.3.", nullptr},
        AddressCase{".1.2.3", nullptr}, AddressCase{"1..2.3", nullptr},
        AddressCase{"1.2.3.4.5", nullptr}, AddressCase{"256.1.1.1", nullptr},
        AddressCase{"1.2.3.256", nullptr}, AddressCase{"1.2.65536", nullptr},
        AddressCase{"1.16777216", nullptr}, AddressCase{"4294967296", nullptr},
        AddressCase{"99999999999999999999", nullptr}, AddressCase{"08.1.1.1", nullptr},
        AddressCase{"1.2.3.09", nullptr}, AddressCase{"0x", nullptr},
        AddressCase{"0x.1.2.3", nullptr}, AddressCase{"1.2.3.4a", nullptr},
        AddressCase{"1.2.3.4 ", nullptr}, AddressCase{"-1.2.3.4", nullptr},
        AddressCase{"a.b.c.d", nullptr}));

TEST(AddressValue, FirstPartIsTheHighestByte) {
    EXPECT_EQ(inetAddr("192.168.1.8"), 0xC0A80108u);
    EXPECT_EQ(inetAddr("1"), 1u);
    EXPECT_EQ(inetNtoa(0xC0A80108u), "192.168.1.8");
    EXPECT_EQ(inetNtoa(0xFFFFFFFFu), "255.255.255.255");
}

}  // namespace
}  // namespace ups
