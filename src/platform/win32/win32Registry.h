#pragma once
// The real registry. Keys are named by their path below the root ("\Software\Korvan\Ups\...") and
// opened in one view of it, the 32-bit one unless told otherwise: earlier installations of the
// monitor were 32-bit programs, so on 64-bit Windows their configuration lives in that view
// (WOW6432Node), and this build reads and writes the same values. Names compare without regard
// to case, because the registry does.
#include <windows.h>

#include "config/registryStore.h"

namespace ups {

class Win32Registry : public RegistryStore {
public:
    explicit Win32Registry(HKEY root = HKEY_LOCAL_MACHINE, REGSAM view = KEY_WOW64_32KEY)
        : root_(root), view_(view) {}

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
    REGSAM view_;
};

}  // namespace ups
