#include "config/networkUps.h"

#include <algorithm>

#include "config/cfgRecords.h"

namespace ups {

namespace {

constexpr std::uint8_t kMagic0 = 'R';
constexpr std::uint8_t kMagic1 = 'U';
constexpr std::uint8_t kVersion = 1;
constexpr std::size_t kMaxText = 255;
constexpr std::size_t kMaxUsers = 64;
constexpr int kMaxSeconds = 3600;

enum Tag : std::uint8_t {
    tServe = 1,
    tListen = 2,
    tServerPort = 3,
    tServedName = 4,
    tFollowerWait = 5,
    tUser = 6,
    tFollow = 16,
    tHost = 17,
    tClientPort = 18,
    tUpsName = 19,
    tClientUser = 20,
    tClientPassword = 21,
    tLostGrace = 22,
};

enum UserTag : std::uint8_t { uName = 1, uRole = 2, uSalt = 3, uHash = 4 };

class Writer {
public:
    void field(std::uint8_t tag, std::string_view data) {
        out_.push_back(tag);
        out_.push_back(static_cast<std::uint8_t>(data.size() & 0xFF));
        out_.push_back(static_cast<std::uint8_t>(data.size() >> 8));
        out_.insert(out_.end(), data.begin(), data.end());
    }
    void text(std::uint8_t tag, std::string_view value) { field(tag, value.substr(0, kMaxText)); }
    void number(std::uint8_t tag, int value) {
        const auto v = static_cast<std::uint16_t>(value);
        const char octets[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
        field(tag, std::string_view(octets, 2));
    }
    void flag(std::uint8_t tag, bool value) {
        field(tag, value ? "\x01" : std::string_view("\0", 1));
    }
    std::string_view bytes() const {
        return {reinterpret_cast<const char*>(out_.data()), out_.size()};
    }
    std::vector<std::uint8_t>& data() { return out_; }

private:
    std::vector<std::uint8_t> out_;
};

// The fields of a tagged sequence, read through a bounded cursor.
class Reader {
public:
    explicit Reader(std::string_view data) : data_(data) {}
    // False at the end; sets `failed` when what is left is not a whole field.
    bool next(std::uint8_t& tag, std::string_view& value) {
        if (pos_ == data_.size()) return false;
        if (data_.size() - pos_ < 3) return fail();
        tag = static_cast<std::uint8_t>(data_[pos_]);
        const std::size_t length =
            static_cast<std::uint8_t>(data_[pos_ + 1]) |
            static_cast<std::size_t>(static_cast<std::uint8_t>(data_[pos_ + 2])) << 8;
        pos_ += 3;
        if (data_.size() - pos_ < length) return fail();
        value = data_.substr(pos_, length);
        pos_ += length;
        return true;
    }
    bool failed() const { return failed_; }

private:
    bool fail() {
        failed_ = true;
        return false;
    }
    std::string_view data_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

bool readNumber(std::string_view value, int& number) {
    if (value.size() != 2) return false;
    number = static_cast<std::uint8_t>(value[0]) | static_cast<std::uint8_t>(value[1]) << 8;
    return true;
}

bool readFlag(std::string_view value, bool& flag) {
    if (value.size() != 1) return false;
    flag = value[0] != 0;
    return true;
}

bool readText(std::string_view value, std::string& text) {
    if (value.size() > kMaxText) return false;
    text = value;
    return true;
}

bool readPort(std::string_view value, int& port) {
    int number = 0;
    if (!readNumber(value, number)) return false;
    port = number == 0 ? kNetworkUpsPort : number;
    return true;
}

bool readSeconds(std::string_view value, int& seconds) {
    int number = 0;
    if (!readNumber(value, number)) return false;
    seconds = std::min(number, kMaxSeconds);
    return true;
}

// A user the decoder cannot read whole is left out: nobody gains a role from a damaged entry.
std::optional<NetworkUser> readUser(std::string_view data) {
    NetworkUser user;
    bool named = false;
    bool roled = false;
    Reader reader(data);
    std::uint8_t tag = 0;
    std::string_view value;
    while (reader.next(tag, value)) {
        switch (tag) {
            case uName:
                if (!readText(value, user.name)) return std::nullopt;
                named = !user.name.empty();
                break;
            case uRole:
                if (value.size() != 1 || static_cast<std::uint8_t>(value[0]) > 2)
                    return std::nullopt;
                user.role = static_cast<NetworkRole>(value[0]);
                roled = true;
                break;
            case uSalt:
                if (!readText(value, user.salt)) return std::nullopt;
                break;
            case uHash:
                if (!readText(value, user.hash)) return std::nullopt;
                break;
            default:
                break;
        }
    }
    if (reader.failed() || !named || !roled || user.hash.empty()) return std::nullopt;
    return user;
}

int clampPort(int port) {
    return port >= 1 && port <= 65535 ? port : kNetworkUpsPort;
}

int clampSeconds(int seconds) {
    return std::clamp(seconds, 0, kMaxSeconds);
}

}  // namespace

std::vector<std::uint8_t> encodeNetworkUps(const NetworkUpsSettings& settings) {
    const NetworkServerSettings& server = settings.server;
    const NetworkClientSettings& client = settings.client;
    Writer out;
    out.data() = {kMagic0, kMagic1, kVersion};
    out.flag(tServe, server.serve);
    out.text(tListen, server.listenAddresses);
    out.number(tServerPort, clampPort(server.port));
    out.text(tServedName, server.servedName);
    out.number(tFollowerWait, clampSeconds(server.followerWaitSeconds));
    const std::size_t users = std::min(server.users.size(), kMaxUsers);
    for (std::size_t i = 0; i < users; ++i) {
        const NetworkUser& user = server.users[i];
        Writer entry;
        entry.text(uName, user.name);
        const char role = static_cast<char>(user.role);
        entry.field(uRole, std::string_view(&role, 1));
        entry.text(uSalt, user.salt);
        entry.text(uHash, user.hash);
        out.field(tUser, entry.bytes());
    }
    out.flag(tFollow, client.follow);
    out.text(tHost, client.host);
    out.number(tClientPort, clampPort(client.port));
    out.text(tUpsName, client.upsName);
    out.text(tClientUser, client.user);
    out.text(tClientPassword, client.password);
    out.number(tLostGrace, clampSeconds(client.lostGraceSeconds));
    return std::move(out.data());
}

std::optional<NetworkUpsSettings> decodeNetworkUps(const std::vector<std::uint8_t>& data) {
    if (data.size() < 3 || data[0] != kMagic0 || data[1] != kMagic1 || data[2] < kVersion)
        return std::nullopt;
    NetworkUpsSettings settings;
    NetworkServerSettings& server = settings.server;
    NetworkClientSettings& client = settings.client;
    Reader reader(
        std::string_view(reinterpret_cast<const char*>(data.data()), data.size()).substr(3));
    std::uint8_t tag = 0;
    std::string_view value;
    while (reader.next(tag, value)) {
        bool ok = true;
        switch (tag) {
            case tServe:
                ok = readFlag(value, server.serve);
                break;
            case tListen:
                ok = readText(value, server.listenAddresses);
                break;
            case tServerPort:
                ok = readPort(value, server.port);
                break;
            case tServedName:
                ok = readText(value, server.servedName);
                break;
            case tFollowerWait:
                ok = readSeconds(value, server.followerWaitSeconds);
                break;
            case tUser:
                if (auto user = readUser(value); user && server.users.size() < kMaxUsers)
                    server.users.push_back(std::move(*user));
                break;
            case tFollow:
                ok = readFlag(value, client.follow);
                break;
            case tHost:
                ok = readText(value, client.host);
                break;
            case tClientPort:
                ok = readPort(value, client.port);
                break;
            case tUpsName:
                ok = readText(value, client.upsName);
                break;
            case tClientUser:
                ok = readText(value, client.user);
                break;
            case tClientPassword:
                ok = readText(value, client.password);
                break;
            case tLostGrace:
                ok = readSeconds(value, client.lostGraceSeconds);
                break;
            default:
                break;
        }
        if (!ok) return std::nullopt;
    }
    if (reader.failed()) return std::nullopt;
    return settings;
}

NetworkUpsSettings loadNetworkUps(RegistryStore& store) {
    const RegValue value = store.readValue(kKeyConfig, kValueNetworkUps);
    if (value.status != RegReadStatus::Ok || value.type != RegValueType::Binary) return {};
    return decodeNetworkUps(value.data).value_or(NetworkUpsSettings{});
}

bool saveNetworkUps(const NetworkUpsSettings& settings, RegistryStore& store) {
    if (!store.openKeyFullAccess(kKeyConfig)) return false;
    return store.writeBinary(kKeyConfig, kValueNetworkUps, encodeNetworkUps(settings));
}

}  // namespace ups
