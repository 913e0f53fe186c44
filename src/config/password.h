#pragma once
// The configuration password is kept in CfgUps.pswCode as 8 scrambled bytes: the text padded
// with NUL bytes to 8, each byte i XORed with (scrambleBase + i). The scrambling only keeps the
// password from being read at a glance in the stored record; it is not encryption.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/cfgRecords.h"

namespace ups {

inline constexpr std::uint8_t scrambleBase = 0xA7;
inline constexpr std::size_t kPasswordMaxLength = 8;

// Texts longer than 8 characters are cut to 8 (the edits never allow more).
std::array<std::uint8_t, kPasswordMaxLength> scramblePassword(std::string_view password);

// The password up to the first NUL of the unscrambled bytes, or all 8 without one.
std::string unscramblePassword(const std::uint8_t (&code)[kPasswordMaxLength]);

// Convenience for the dialogs, which work on the live record.
void storePassword(CfgUps& ups, std::string_view password);
std::string storedPassword(const CfgUps& ups);

}  // namespace ups
