#include "platform/win32/win32Registry.h"

#include <string>

#include "config/cfgRecords.h"

namespace ups {

namespace {

// "Full access" as the configuration needs it: read and write values and subkeys. Asking for
// everything (KEY_ALL_ACCESS: the access list, the owner, deletion) is refused to an ordinary
// user even on a key granted to the Users group, and that is how the monitor runs.
constexpr REGSAM kFullAccess = KEY_READ | KEY_WRITE;

// The registry wants the path without the leading separator the store's paths carry.
std::string subKey(std::string_view keyPath) {
    while (!keyPath.empty() && keyPath.front() == '\\') keyPath.remove_prefix(1);
    return std::string(keyPath);
}

RegValueType typeOf(DWORD type) {
    switch (type) {
        case REG_BINARY:
            return RegValueType::Binary;
        case REG_DWORD:
            return RegValueType::Dword;
        case REG_SZ:
        case REG_EXPAND_SZ:
            return RegValueType::String;
        default:
            return RegValueType::Other;
    }
}

class KeyHandle {
public:
    KeyHandle() = default;
    ~KeyHandle() {
        if (key_ != nullptr) RegCloseKey(key_);
    }
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    HKEY& get() { return key_; }

private:
    HKEY key_ = nullptr;
};

bool setBinary(HKEY key, const std::string& name, const std::vector<std::uint8_t>& data) {
    return RegSetValueExA(key, name.c_str(), 0, REG_BINARY, data.empty() ? nullptr : data.data(),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

// The maker's key belongs to all of the maker's programs, and ordinary users may only read it;
// the configuration writes from its own product's key down, where the installer lets them. So
// "full access" to a key above that one is reading it.
bool aboveProductKey(std::string_view keyPath) {
    return kKeyUps.size() > keyPath.size() && kKeyUps.starts_with(keyPath) &&
           kKeyUps[keyPath.size()] == '\\';
}

}  // namespace

LONG Win32Registry::open(std::string_view keyPath, REGSAM access, HKEY& key) const {
    return RegOpenKeyExA(root_, subKey(keyPath).c_str(), 0, access | view_, &key);
}

bool Win32Registry::openKeyFullAccess(std::string_view keyPath) {
    KeyHandle key;
    return open(keyPath, aboveProductKey(keyPath) ? KEY_READ : kFullAccess, key.get()) ==
           ERROR_SUCCESS;
}

bool Win32Registry::openKeyRead(std::string_view keyPath) {
    KeyHandle key;
    return open(keyPath, KEY_READ, key.get()) == ERROR_SUCCESS;
}

bool Win32Registry::createKey(std::string_view keyPath) {
    KeyHandle key;
    DWORD disposition = 0;
    return RegCreateKeyExA(root_, subKey(keyPath).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           kFullAccess | view_, nullptr, &key.get(), &disposition) == ERROR_SUCCESS;
}

RegValue Win32Registry::readValue(std::string_view keyPath, std::string_view name) {
    RegValue value;
    KeyHandle key;
    const LONG opened = open(keyPath, KEY_QUERY_VALUE, key.get());
    if (opened != ERROR_SUCCESS) {
        value.status =
            opened == ERROR_FILE_NOT_FOUND ? RegReadStatus::Missing : RegReadStatus::Error;
        return value;
    }
    const std::string valueName(name);
    DWORD type = 0;
    DWORD size = 0;
    LONG result = RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size);
    // Another writer may grow the value between asking its size and reading it: ask again.
    bool haveData = false;
    for (int attempt = 0; result == ERROR_SUCCESS && !haveData && attempt < 4; ++attempt) {
        value.data.resize(size);
        result = RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type,
                                  value.data.empty() ? nullptr : value.data.data(), &size);
        if (result == ERROR_SUCCESS) haveData = true;
        if (result == ERROR_MORE_DATA) result = ERROR_SUCCESS;
    }
    if (!haveData) {
        value.data.clear();
        value.status =
            result == ERROR_FILE_NOT_FOUND ? RegReadStatus::Missing : RegReadStatus::Error;
        return value;
    }
    value.data.resize(size);
    value.type = typeOf(type);
    // Texts come with their terminator; the store's texts are the characters alone.
    if (value.type == RegValueType::String && !value.data.empty() && value.data.back() == 0) {
        value.data.pop_back();
    }
    value.status = RegReadStatus::Ok;
    return value;
}

bool Win32Registry::writeBinary(std::string_view keyPath, std::string_view name,
                                const std::vector<std::uint8_t>& data) {
    return writeBinaryValues(keyPath, {NamedData{std::string(name), data}});
}

bool Win32Registry::writeBinaryValues(std::string_view keyPath,
                                      const std::vector<NamedData>& values) {
    KeyHandle key;
    if (open(keyPath, KEY_SET_VALUE, key.get()) != ERROR_SUCCESS) return false;
    for (const auto& [name, data] : values) {
        if (!setBinary(key.get(), name, data)) return false;
    }
    return true;
}

}  // namespace ups
