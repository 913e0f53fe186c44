#include "config/networkUps.h"

#include <gtest/gtest.h>

#include <random>

#include "config/cfgRecords.h"
#include "support/memoryRegistryStore.h"

namespace ups {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string randomText(std::mt19937& random, std::size_t most) {
    std::string text(random() % (most + 1), ' ');
    for (char& c : text) c = static_cast<char>(random() & 0xFF);
    return text;
}

NetworkUpsSettings randomSettings(std::mt19937& random) {
    NetworkUpsSettings s;
    s.server.serve = random() & 1;
    s.server.listenAddresses = randomText(random, 255);
    s.server.port = 1 + static_cast<int>(random() % 65535);
    s.server.servedName = randomText(random, 20);
    s.server.followerWaitSeconds = static_cast<int>(random() % 3601);
    for (std::size_t i = random() % 5; i > 0; --i) {
        s.server.users.push_back({randomText(random, 30) + "u",
                                  static_cast<NetworkRole>(random() % 3), randomText(random, 16),
                                  randomText(random, 31) + "h"});
    }
    s.client = {static_cast<bool>(random() & 1),
                randomText(random, 255),
                1 + static_cast<int>(random() % 65535),
                randomText(random, 64),
                randomText(random, 64),
                randomText(random, 128),
                static_cast<int>(random() % 3601)};
    return s;
}

TEST(NetworkUps, DecodesWhatItEncodes) {
    std::mt19937 random(11);
    for (int i = 0; i < 500; ++i) {
        const NetworkUpsSettings settings = randomSettings(random);
        EXPECT_EQ(decodeNetworkUps(encodeNetworkUps(settings)), settings);
    }
    EXPECT_EQ(decodeNetworkUps(encodeNetworkUps({})), NetworkUpsSettings{});
}

TEST(NetworkUps, BoundsWhatItReadsAndRefusesWhatIsNotWhole) {
    NetworkUpsSettings wide;
    wide.server.port = 0;
    wide.server.followerWaitSeconds = 99999;
    wide.client.port = 70000;
    wide.client.lostGraceSeconds = -5;
    wide.client.host = std::string(400, 'h');
    const auto bounded = decodeNetworkUps(encodeNetworkUps(wide));
    ASSERT_TRUE(bounded);
    EXPECT_EQ(bounded->server.port, kNetworkUpsPort);
    EXPECT_EQ(bounded->server.followerWaitSeconds, 3600);
    EXPECT_EQ(bounded->client.port, kNetworkUpsPort);
    EXPECT_EQ(bounded->client.lostGraceSeconds, 0);
    EXPECT_EQ(bounded->client.host, std::string(255, 'h'));

    // A later version's field is skipped; a user with a role this version does not know is left
    // out rather than given one.
    Bytes data = encodeNetworkUps({});
    data.insert(data.end(), {200, 2, 0, 'x', 'y'});
    data.insert(data.end(), {6, 12, 0, 1, 1, 0, 'a', 2, 1, 0, 9, 4, 1, 0, 'h'});
    const auto later = decodeNetworkUps(data);
    ASSERT_TRUE(later);
    EXPECT_TRUE(later->server.users.empty());

    // Every cut of a value ends either at a field's end or inside one, which is refused.
    NetworkUpsSettings full;
    full.server.users.push_back({"ana", NetworkRole::Administrator, "salt", "hash"});
    const Bytes whole = encodeNetworkUps(full);
    int refused = 0;
    for (std::size_t n = 0; n < whole.size(); ++n) {
        refused += !decodeNetworkUps(Bytes(whole.begin(), whole.begin() + n)).has_value();
    }
    EXPECT_GT(refused, static_cast<int>(whole.size()) * 3 / 4);
    EXPECT_FALSE(decodeNetworkUps({'R', 'U', 0}));
    EXPECT_FALSE(decodeNetworkUps({'R', 'U', 1, 1, 2, 0, 1}));
}

TEST(NetworkUps, LivesInAValueOfItsOwnBesideTheRecords) {
    test::MemoryRegistryStore store;
    store.addKeyChain(kKeyConfig);
    store.setBinary(kKeyConfig, kValueCfgUps, Bytes(356, 0x5A));
    EXPECT_EQ(loadNetworkUps(store), NetworkUpsSettings{});

    NetworkUpsSettings settings;
    settings.server.serve = true;
    settings.client.host = "nas.local";
    ASSERT_TRUE(saveNetworkUps(settings, store));
    EXPECT_EQ(loadNetworkUps(store), settings);
    EXPECT_EQ(store.value(kKeyConfig, kValueCfgUps)->data, Bytes(356, 0x5A));
    EXPECT_FALSE(store.value(kKeyConfig, kValueCfgSnmp));

    store.setValue(kKeyConfig, kValueNetworkUps, RegValueType::String, {'R', 'U', 1});
    EXPECT_EQ(loadNetworkUps(store), NetworkUpsSettings{});
    store.readOnly = true;
    EXPECT_FALSE(saveNetworkUps(settings, store));
}

}  // namespace
}  // namespace ups
