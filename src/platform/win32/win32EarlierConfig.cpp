#include "platform/win32/win32EarlierConfig.h"

#include <vector>

#include "config/cfgRecords.h"

namespace ups {

namespace {

// The configuration key without the leading separator the store's paths carry.
const std::string& configPath() {
    static const std::string path(kKeyConfig.substr(1));
    return path;
}

class Key {
public:
    Key() = default;
    ~Key() {
        if (key_ != nullptr) RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY& get() { return key_; }

private:
    HKEY key_ = nullptr;
};

bool hasConfig(HKEY root, const std::string& path, REGSAM view) {
    Key key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE | view, &key.get()) != ERROR_SUCCESS) {
        return false;
    }
    return RegQueryValueExA(key.get(), std::string(kValueCfgUps).c_str(), nullptr, nullptr, nullptr,
                            nullptr) == ERROR_SUCCESS;
}

bool copyValues(HKEY fromRoot, const std::string& fromPath, REGSAM fromView, HKEY machine) {
    Key from;
    Key to;
    if (RegOpenKeyExA(fromRoot, fromPath.c_str(), 0, KEY_READ | fromView, &from.get()) !=
            ERROR_SUCCESS ||
        RegCreateKeyExA(machine, configPath().c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &to.get(),
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    std::vector<char> name(16384);
    std::vector<BYTE> data;
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD type = 0;
        DWORD size = 0;
        LONG result = RegEnumValueA(from.get(), index, name.data(), &nameLength, nullptr, &type,
                                    nullptr, &size);
        if (result == ERROR_NO_MORE_ITEMS) return true;
        if (result != ERROR_SUCCESS) return false;
        data.resize(size);
        result = RegQueryValueExA(from.get(), name.data(), nullptr, &type,
                                  data.empty() ? nullptr : data.data(), &size);
        if (result != ERROR_SUCCESS ||
            RegSetValueExA(to.get(), name.data(), 0, type, data.empty() ? nullptr : data.data(),
                           size) != ERROR_SUCCESS) {
            return false;
        }
    }
}

}  // namespace

EarlierConfig adoptEarlierConfig(HKEY machine, HKEY user) {
    if (hasConfig(machine, configPath(), KEY_WOW64_32KEY)) return EarlierConfig::None;
    // A 32-bit program's writes land below WOW6432Node in the VirtualStore; a copy without it
    // is what a 32-bit Windows gives.
    const std::string store = "Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\";
    const std::string tail = configPath().substr(std::string("Software\\").size());
    for (const std::string& path : {store + "WOW6432Node\\" + tail, store + tail}) {
        if (hasConfig(user, path, 0)) {
            return copyValues(user, path, 0, machine) ? EarlierConfig::VirtualStore
                                                      : EarlierConfig::None;
        }
    }
    if (hasConfig(machine, configPath(), KEY_WOW64_64KEY)) {
        return copyValues(machine, configPath(), KEY_WOW64_64KEY, machine) ? EarlierConfig::View64
                                                                           : EarlierConfig::None;
    }
    return EarlierConfig::None;
}

}  // namespace ups
