#include "platform/win32/win32ConfigAccess.h"

#include <windows.h>

#include <aclapi.h>

#include <string>

#include "config/cfgRecords.h"

namespace ups {

namespace {

// Frees what the security API hands out with LocalAlloc.
template <typename T>
class LocalMemory {
public:
    LocalMemory() = default;
    ~LocalMemory() {
        if (memory_ != nullptr) LocalFree(memory_);
    }
    LocalMemory(const LocalMemory&) = delete;
    LocalMemory& operator=(const LocalMemory&) = delete;
    T*& get() { return memory_; }

private:
    T* memory_ = nullptr;
};

class UsersSid {
public:
    UsersSid() {
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS,
                                      0, 0, 0, 0, 0, 0, &sid_)) {
            sid_ = nullptr;
        }
    }
    ~UsersSid() {
        if (sid_ != nullptr) FreeSid(sid_);
    }
    UsersSid(const UsersSid&) = delete;
    UsersSid& operator=(const UsersSid&) = delete;
    PSID get() const { return sid_; }

private:
    PSID sid_ = nullptr;
};

}  // namespace

bool grantUsersConfigAccess() {
    UsersSid users;
    if (users.get() == nullptr) return false;

    // The installer is a 64-bit program, but the view is named anyway: the monitor reads this
    // view whatever its own width, and the grant must land on the key it reads.
    std::string path(kKeyConfig);
    while (!path.empty() && path.front() == '\\') path.erase(0, 1);
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        READ_CONTROL | WRITE_DAC | KEY_WOW64_64KEY, nullptr, &key,
                        &disposition) != ERROR_SUCCESS) {
        return false;
    }

    bool granted = false;
    PACL current = nullptr;
    LocalMemory<void> descriptor;
    if (GetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        &current, nullptr, &descriptor.get()) == ERROR_SUCCESS) {
        // KEY_WRITE, not KEY_ALL_ACCESS: values and subkeys, but neither the access list, the
        // owner nor the key's deletion.
        EXPLICIT_ACCESS_A entry{};
        entry.grfAccessPermissions = KEY_READ | KEY_WRITE;
        entry.grfAccessMode = GRANT_ACCESS;
        entry.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
        entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        entry.Trustee.ptstrName = static_cast<LPSTR>(users.get());
        LocalMemory<ACL> updated;
        granted = SetEntriesInAclA(1, &entry, current, &updated.get()) == ERROR_SUCCESS &&
                  SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, updated.get(), nullptr) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return granted;
}

}  // namespace ups
