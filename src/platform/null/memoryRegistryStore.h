#pragma once
// An in-memory registry, for headless runs and tests, with the refusals a real registry can give:
// keys that exist but cannot be opened with full access, creations that are refused, writes that
// fail, values that cannot be read, and values of any type and size. Every call is logged in order
// so tests can check what was touched. Key and value names compare without regard to case, as on
// Windows.
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "config/registryStore.h"

namespace ups {

class MemoryRegistryStore : public RegistryStore {
public:
    // Starts like a machine's HKEY_LOCAL_MACHINE: "\Software" is there, nothing of ours below it.
    MemoryRegistryStore() { addKey("\\Software"); }

    // ---- contents ----
    // Adds the key (and nothing else: parents are not implied, as createKey requires them).
    void addKey(std::string_view keyPath);
    // Adds the key path and all its parents, like a machine where the keys were created before.
    void addKeyChain(std::string_view keyPath);
    bool hasKey(std::string_view keyPath) const;
    // Stores a value of any type and size; the key is added if missing.
    void setValue(std::string_view keyPath, std::string_view name, RegValueType type,
                  std::vector<std::uint8_t> data);
    void setBinary(std::string_view keyPath, std::string_view name,
                   std::vector<std::uint8_t> data) {
        setValue(keyPath, name, RegValueType::Binary, std::move(data));
    }
    void removeValue(std::string_view keyPath, std::string_view name);
    // The stored value, or nothing when it is absent.
    std::optional<RegValue> value(std::string_view keyPath, std::string_view name) const;

    // ---- faults ----
    // The key exists but openKeyFullAccess fails, and so does createKey on it (no rights).
    void refuseFullAccess(std::string_view keyPath);
    // createKey of this key fails.
    void refuseCreate(std::string_view keyPath);
    // writeBinary of this value fails and leaves the stored value as it was.
    void failWrite(std::string_view keyPath, std::string_view name);
    // readValue of this value reports RegReadStatus::Error.
    void failRead(std::string_view keyPath, std::string_view name);
    // No full access, no creation and no write anywhere; reading still works.
    bool readOnly = false;
    // The next call whose log entry equals this text throws std::bad_alloc instead.
    std::optional<std::string> throwOnCall;

    // ---- call log ----
    // Entries: "full <key>", "open <key>", "create <key>", "read <key>/<name>", "write
    // <key>/<name>" (names as passed by the caller).
    std::vector<std::string> calls;
    int writes() const;

    // ---- RegistryStore ----
    bool openKeyFullAccess(std::string_view keyPath) override;
    bool openKeyRead(std::string_view keyPath) override;
    bool createKey(std::string_view keyPath) override;
    RegValue readValue(std::string_view keyPath, std::string_view name) override;
    bool writeBinary(std::string_view keyPath, std::string_view name,
                     const std::vector<std::uint8_t>& data) override;

private:
    static std::string fold(std::string_view text);
    static std::string valueId(std::string_view keyPath, std::string_view name);
    void log(std::string entry);

    std::set<std::string> keys_;
    std::map<std::string, RegValue> values_;
    std::set<std::string> noFullAccess_;
    std::set<std::string> noCreate_;
    std::set<std::string> failingWrites_;
    std::set<std::string> failingReads_;
};

}  // namespace ups
