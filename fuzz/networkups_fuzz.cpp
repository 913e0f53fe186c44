// Any bytes as the stored value "RedUps": the decoder must finish without reading outside them,
// give bounded settings, and what it decoded must encode and decode to the same settings again.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "config/networkUps.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> value(data, data + size);
    const auto settings = ups::decodeNetworkUps(value);
    if (!settings) return 0;
    const auto& server = settings->server;
    const auto& client = settings->client;
    if (server.port < 1 || server.port > 65535 || client.port < 1 || client.port > 65535 ||
        server.followerWaitSeconds < 0 || server.followerWaitSeconds > 3600 ||
        client.lostGraceSeconds < 0 || client.lostGraceSeconds > 3600 || server.users.size() > 64)
        __builtin_trap();
    if (ups::decodeNetworkUps(ups::encodeNetworkUps(*settings)) != settings) __builtin_trap();
    return 0;
}
