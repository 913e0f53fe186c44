#pragma once
// The users' passwords as the settings keep them: PBKDF2 with HMAC-SHA-256 over a random salt, so
// that the stored value tells nothing of the password and a guess costs many hashes. SHA-256 is
// written here to keep the core free of other libraries.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/networkUps.h"

namespace ups {

using Sha256Digest = std::array<std::uint8_t, 32>;

Sha256Digest sha256(std::string_view data);
Sha256Digest hmacSha256(std::string_view key, std::string_view message);
// `length` octets of PBKDF2-HMAC-SHA256.
std::string pbkdf2Sha256(std::string_view password, std::string_view salt, std::uint32_t rounds,
                         std::size_t length);

inline constexpr std::uint32_t kPasswordRounds = 20000;
inline constexpr std::size_t kSaltOctets = 16;
inline constexpr std::size_t kHashOctets = 32;

// A user with a fresh salt: from `seed` when given (tests), otherwise from std::random_device.
NetworkUser makeNetworkUser(std::string_view name, NetworkRole role, std::string_view password,
                            std::optional<std::uint64_t> seed = std::nullopt);

// Whether the password is the user's, compared in a time that does not depend on where the
// hashes differ.
bool passwordMatches(const NetworkUser& user, std::string_view password);

}  // namespace ups
