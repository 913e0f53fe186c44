#pragma once
// The serial port of the configuration, for ports beyond COM1..COM4. CfgUps.comPort may name such
// a port in memory (a USB adapter: its number, 4 and up, as the serial driver gives it), but the
// stored record keeps a number that earlier versions know: -1, no port chosen, which they answer
// with their "choose a valid port" warning. The port's name ("COM7", "/dev/ttyUSB0") goes in a
// value of its own beside the records, "ComPortName", empty when the record's number says it all.
// Reading puts the number back. Every other key and value passes through unchanged.
#include "config/registryStore.h"
#include "links/serialDriver.h"

namespace ups {

inline constexpr std::string_view kValuePortName = "ComPortName";

class PortNameStore : public RegistryStore {
public:
    PortNameStore(RegistryStore& store, const SerialDriver& ports) : store_(store), ports_(ports) {}

    bool openKeyFullAccess(std::string_view keyPath) override {
        return store_.openKeyFullAccess(keyPath);
    }
    bool openKeyRead(std::string_view keyPath) override { return store_.openKeyRead(keyPath); }
    bool createKey(std::string_view keyPath) override { return store_.createKey(keyPath); }
    RegValue readValue(std::string_view keyPath, std::string_view name) override;
    bool writeBinary(std::string_view keyPath, std::string_view name,
                     const std::vector<std::uint8_t>& data) override {
        return writeBinaryValues(keyPath, {NamedData{std::string(name), data}});
    }
    // The record and the name are written in the same step.
    bool writeBinaryValues(std::string_view keyPath, const std::vector<NamedData>& values) override;

private:
    RegistryStore& store_;
    const SerialDriver& ports_;
};

}  // namespace ups
