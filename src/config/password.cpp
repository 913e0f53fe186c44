#include "config/password.h"

namespace ups {

namespace {

std::uint8_t maskAt(std::size_t i) {
    return static_cast<std::uint8_t>(scrambleBase + i);
}

}  // namespace

std::array<std::uint8_t, kPasswordMaxLength> scramblePassword(std::string_view password) {
    std::array<std::uint8_t, kPasswordMaxLength> code{};
    for (std::size_t i = 0; i < code.size(); ++i) {
        const auto plain = i < password.size() ? static_cast<std::uint8_t>(password[i]) : 0;
        code[i] = static_cast<std::uint8_t>(plain ^ maskAt(i));
    }
    return code;
}

std::string unscramblePassword(const std::uint8_t (&code)[kPasswordMaxLength]) {
    std::string password;
    for (std::size_t i = 0; i < kPasswordMaxLength; ++i) {
        const auto plain = static_cast<std::uint8_t>(code[i] ^ maskAt(i));
        if (plain == 0) break;
        password.push_back(static_cast<char>(plain));
    }
    return password;
}

void storePassword(CfgUps& ups, std::string_view password) {
    const auto code = scramblePassword(password);
    std::memcpy(ups.pswCode, code.data(), code.size());
}

std::string storedPassword(const CfgUps& ups) {
    return unscramblePassword(ups.pswCode);
}

}  // namespace ups
