#include "app/rules/addressField.h"

#include <gtest/gtest.h>

#include <ostream>

namespace ups {
namespace {

struct KeyCase {
    char32_t typed;
    AddressKey action;
};
// Shown by GoogleTest (and in the test list) by what it is rather than as bytes.
void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << "U+" << std::hex << static_cast<unsigned>(c.typed) << std::dec;
}

class AddressKeys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(AddressKeys, OnlyDigitsDotAndBackspaceReachTheField) {
    EXPECT_EQ(addressKeyAction(GetParam().typed), GetParam().action)
        << static_cast<unsigned>(GetParam().typed);
}

INSTANTIATE_TEST_SUITE_P(
    Filter, AddressKeys,
    ::testing::Values(KeyCase{U'0', AddressKey::accept}, KeyCase{U'9', AddressKey::accept},
                      KeyCase{U'.', AddressKey::accept}, KeyCase{U'\b', AddressKey::accept},
                      KeyCase{U'\r', AddressKey::moveToCheck}, KeyCase{U'a', AddressKey::discard},
                      KeyCase{U'x', AddressKey::discard}, KeyCase{U' ', AddressKey::discard},
                      KeyCase{U',', AddressKey::discard}, KeyCase{U'-', AddressKey::discard},
                      KeyCase{U'\x16', AddressKey::discard}, KeyCase{U'\n', AddressKey::discard},
                      KeyCase{U'\t', AddressKey::discard}, KeyCase{U'\x1b', AddressKey::discard},
                      KeyCase{U'\u0661', AddressKey::discard}));

}  // namespace
}  // namespace ups
