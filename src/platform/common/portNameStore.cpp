#include "platform/common/portNameStore.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "config/cfgRecords.h"

namespace ups {

namespace {

constexpr std::size_t kComPortAt = offsetof(CfgUps, comPort);

bool isConfigRecord(std::string_view keyPath, std::string_view name) {
    return keyPath == kKeyConfig && name.size() == kValueCfgUps.size() &&
           std::equal(name.begin(), name.end(), kValueCfgUps.begin(),
                      [](char a, char b) { return (a | 0x20) == (b | 0x20); });
}

bool holdsComPort(const std::vector<std::uint8_t>& data) {
    return data.size() >= kComPortAt + sizeof(std::int32_t);
}

std::int32_t comPortOf(const std::vector<std::uint8_t>& data) {
    std::int32_t port = 0;
    std::memcpy(&port, data.data() + kComPortAt, sizeof port);
    return port;
}

void setComPort(std::vector<std::uint8_t>& data, std::int32_t port) {
    std::memcpy(data.data() + kComPortAt, &port, sizeof port);
}

}  // namespace

RegValue PortNameStore::readValue(std::string_view keyPath, std::string_view name) {
    RegValue value = store_.readValue(keyPath, name);
    if (!isConfigRecord(keyPath, name) || value.status != RegReadStatus::Ok ||
        value.type != RegValueType::Binary || !holdsComPort(value.data) ||
        comPortOf(value.data) != -1) {
        return value;
    }
    const RegValue portName = store_.readValue(keyPath, kValuePortName);
    if (portName.status != RegReadStatus::Ok || portName.type == RegValueType::Dword) return value;
    const int port = ports_.portNumber(std::string_view(
        reinterpret_cast<const char*>(portName.data.data()), portName.data.size()));
    if (port >= 4 && port < kSerialPortNumbers) setComPort(value.data, port);
    return value;
}

bool PortNameStore::writeBinaryValues(std::string_view keyPath,
                                      const std::vector<NamedData>& values) {
    std::vector<NamedData> stored = values;
    for (const auto& [name, data] : values) {
        if (!isConfigRecord(keyPath, name) || !holdsComPort(data)) continue;
        const std::int32_t port = comPortOf(data);
        const std::string portName = port >= 4 ? ports_.portName(port) : std::string();
        for (auto& [storedName, storedData] : stored) {
            if (storedName == name && port >= 4) setComPort(storedData, -1);
        }
        stored.emplace_back(std::string(kValuePortName),
                            std::vector<std::uint8_t>(portName.begin(), portName.end()));
    }
    return store_.writeBinaryValues(keyPath, stored);
}

}  // namespace ups
