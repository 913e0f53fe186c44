#pragma once
// The real registry. Keys are named by their path below the root ("\Software\Korvan\Ups\...") and
// always opened in the 64-bit view, so that a 32-bit build and regedit see the same values. Names
// compare without regard to case, because the registry does.
#include <windows.h>

#include "config/registryStore.h"

namespace ups {

class Win32Registry : public RegistryStore {
public:
    explicit Win32Registry(HKEY root = HKEY_LOCAL_MACHINE) : root_(root) {}

    bool openKeyFullAccess(std::string_view keyPath) override;
    bool openKeyRead(std::string_view keyPath) override;
    bool createKey(std::string_view keyPath) override;
    RegValue readValue(std::string_view keyPath, std::string_view name) override;
    bool writeBinary(std::string_view keyPath, std::string_view name,
                     const std::vector<std::uint8_t>& data) override;
    // One opening of the key for all of them. The registry replaces each value whole, but has no
    // way to replace several at once short of a transaction manager that is not always there.
    bool writeBinaryValues(std::string_view keyPath, const std::vector<NamedData>& values) override;

private:
    // ERROR_SUCCESS or the registry's error; the key is closed by the caller.
    LONG open(std::string_view keyPath, REGSAM access, HKEY& key) const;

    HKEY root_;
};

}  // namespace ups
