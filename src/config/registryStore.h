#pragma once
// The registry as the configuration sees it: keys below HKEY_LOCAL_MACHINE named by their path
// ("\Software\Korvan\Ups\SysCfg_V1.2"), values read with their type, binary values written.
// Implemented by the platform layer (a .reg file on Linux) and by test fakes.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ups {

enum class RegValueType { Binary, Dword, String, Other };

enum class RegReadStatus {
    Ok,       // data and type filled in
    Missing,  // the value does not exist
    Error,    // the value exists but cannot be read (unreadable store, malformed entry)
};

struct RegValue {
    RegReadStatus status = RegReadStatus::Missing;
    RegValueType type = RegValueType::Binary;
    std::vector<std::uint8_t> data;
};

class RegistryStore {
public:
    virtual ~RegistryStore() = default;
    // Opening with full access: the key exists and may be written.
    virtual bool openKeyFullAccess(std::string_view keyPath) = 0;
    // Opening for reading: the key exists.
    virtual bool openKeyRead(std::string_view keyPath) = 0;
    // Creates the key (its parent must exist or be created first). False when refused.
    virtual bool createKey(std::string_view keyPath) = 0;
    virtual RegValue readValue(std::string_view keyPath, std::string_view name) = 0;
    // Replaces the value with binary data. False when the write fails.
    virtual bool writeBinary(std::string_view keyPath, std::string_view name,
                             const std::vector<std::uint8_t>& data) = 0;

    using NamedData = std::pair<std::string, std::vector<std::uint8_t>>;
    // Writes several binary values of one key in order, stopping at the first that fails. A store
    // that can replace them in one step does, so that a crash never leaves some of them new and
    // the others old; this default writes them one by one.
    virtual bool writeBinaryValues(std::string_view keyPath, const std::vector<NamedData>& values) {
        for (const auto& [name, data] : values) {
            if (!writeBinary(keyPath, name, data)) return false;
        }
        return true;
    }
};

}  // namespace ups
