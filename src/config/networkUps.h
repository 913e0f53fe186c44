#pragma once
// The settings of the UPS network protocol: serving the watched UPS to other computers, and
// following a UPS that another computer serves. They live in a registry value of their own,
// "RedUps", beside the two records in the configuration key, so that the records stay byte for
// byte what earlier versions read. Users' passwords are kept as salted hashes only; the password
// the follower sends is kept as typed, since the server must receive it as it is.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/registryStore.h"

namespace ups {

inline constexpr std::string_view kValueNetworkUps = "RedUps";
inline constexpr int kNetworkUpsPort = 3493;

// What a user may do once logged in: a follower (upsmon secondary) may LOGIN; a primary may also
// declare itself the primary; an administrator may also set FSD and run the instant command.
enum class NetworkRole : std::uint8_t { Follower = 0, Primary = 1, Administrator = 2 };

struct NetworkUser {
    std::string name;
    NetworkRole role = NetworkRole::Follower;
    std::string salt;  // octets
    std::string hash;  // octets: PBKDF2-HMAC-SHA256 of the password with the salt
    bool operator==(const NetworkUser&) const = default;
};

// Serving the watched UPS: off unless chosen.
struct NetworkServerSettings {
    bool serve = false;
    // Empty means loopback (127.0.0.1); several IPv4 addresses are separated by spaces or commas.
    std::string listenAddresses;
    int port = kNetworkUpsPort;
    std::string servedName = "ups";
    // How long a power-off waits for the logged-in followers to log out after FSD.
    int followerWaitSeconds = 15;
    std::vector<NetworkUser> users;
    bool operator==(const NetworkServerSettings&) const = default;
};

// Following a UPS another computer serves.
struct NetworkClientSettings {
    bool follow = false;
    std::string host;
    int port = kNetworkUpsPort;
    std::string upsName = "ups";
    std::string user;
    std::string password;
    // A server lost while the UPS was on battery counts as critical after this long.
    int lostGraceSeconds = 15;
    bool operator==(const NetworkClientSettings&) const = default;
};

struct NetworkUpsSettings {
    NetworkServerSettings server;
    NetworkClientSettings client;
    bool operator==(const NetworkUpsSettings&) const = default;
};

// The stored form: a version octet, then tagged fields, each with its length, so that a later
// version's fields are skipped by this one. Numbers are bounded where they enter (ports 1..65535,
// seconds 0..3600, at most 64 users, texts at most 255 octets).
std::vector<std::uint8_t> encodeNetworkUps(const NetworkUpsSettings& settings);
// Nothing when the bytes are not such a value; any bytes at all are safe to give.
std::optional<NetworkUpsSettings> decodeNetworkUps(const std::vector<std::uint8_t>& data);

// The stored settings, or the defaults when there are none or they cannot be read.
NetworkUpsSettings loadNetworkUps(RegistryStore& store);
// False when the store refuses the write.
bool saveNetworkUps(const NetworkUpsSettings& settings, RegistryStore& store);

}  // namespace ups
