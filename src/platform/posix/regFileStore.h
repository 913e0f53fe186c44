#pragma once
// The registry on Linux: one file in the regedit export format (config/regCodec.h), so that the
// same file can be imported on Windows. Everything the file holds besides the values written here
// is kept as it was. A file that is not a regedit export is never replaced. Every write replaces
// the file atomically and leaves it readable by its owner only, since it carries the scrambled
// password and the SNMP community.
#include <functional>
#include <string>

#include "config/registryStore.h"

namespace ups {

class RegFileStore : public RegistryStore {
public:
    // The file and its missing parent directories are created by the first write.
    explicit RegFileStore(std::string path);

    bool openKeyFullAccess(std::string_view keyPath) override;
    bool openKeyRead(std::string_view keyPath) override;
    bool createKey(std::string_view keyPath) override;
    RegValue readValue(std::string_view keyPath, std::string_view name) override;
    bool writeBinary(std::string_view keyPath, std::string_view name,
                     const std::vector<std::uint8_t>& data) override;
    // All values in one replacement of the file.
    bool writeBinaryValues(std::string_view keyPath, const std::vector<NamedData>& values) override;

    const std::string& path() const { return path_; }

    // Called once the new content sits synced in its temporary file, just before the rename.
    // Returning false stops the write there, as a crash at that moment would.
    std::function<bool(const std::string& tempPath)> beforeRename;

private:
    std::string path_;
};

}  // namespace ups
