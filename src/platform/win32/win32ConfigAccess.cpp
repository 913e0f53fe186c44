#include "platform/win32/win32ConfigAccess.h"

#include <aclapi.h>
#include <windows.h>

#include <string>
#include <string_view>

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

// Read and write for the Users group in an entry of the key's own, handed down to subkeys. Windows
// folds a repeated grant into the entry already there, Wine appends another: both are spared.
constexpr ACCESS_MASK kUsersAccess = KEY_READ | KEY_WRITE;

bool alreadyGranted(PACL acl, PSID users) {
    for (DWORD i = 0; acl != nullptr && i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(acl, i, &ace)) continue;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        if ((header->AceFlags & (INHERITED_ACE | INHERIT_ONLY_ACE)) != 0) continue;
        if ((header->AceFlags & CONTAINER_INHERIT_ACE) == 0) continue;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if ((allowed->Mask & kUsersAccess) == kUsersAccess && EqualSid(&allowed->SidStart, users)) {
            return true;
        }
    }
    return false;
}

bool addUsersEntry(HKEY key, PACL current, PSID users) {
    // KEY_WRITE, not KEY_ALL_ACCESS: values and subkeys, but neither the access list, the owner
    // nor the key's deletion.
    EXPLICIT_ACCESS_A entry{};
    entry.grfAccessPermissions = kUsersAccess;
    entry.grfAccessMode = GRANT_ACCESS;
    // Keys hold no objects, only subkeys.
    entry.grfInheritance = SUB_CONTAINERS_ONLY_INHERIT;
    entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    entry.Trustee.ptstrName = static_cast<LPSTR>(users);
    LocalMemory<ACL> updated;
    return SetEntriesInAclA(1, &entry, current, &updated.get()) == ERROR_SUCCESS &&
           SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                           updated.get(), nullptr) == ERROR_SUCCESS;
}

// Opens (creating it when missing) one of our keys with the rights to change its access list.
HKEY openForGrant(std::string_view keyPath) {
    // The 32-bit view, where the monitor keeps its configuration (see win32Registry.h): the
    // grant must land on the key it reads, whatever the width of the program that grants.
    std::string path(keyPath);
    while (!path.empty() && path.front() == '\\') path.erase(0, 1);
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        READ_CONTROL | WRITE_DAC | KEY_WOW64_32KEY, nullptr, &key,
                        &disposition) != ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

bool grantOn(std::string_view keyPath, PSID users) {
    HKEY key = openForGrant(keyPath);
    if (key == nullptr) return false;
    PACL current = nullptr;
    LocalMemory<void> descriptor;
    const bool granted =
        GetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, &current,
                        nullptr, &descriptor.get()) == ERROR_SUCCESS &&
        (alreadyGranted(current, users) || addUsersEntry(key, current, users));
    RegCloseKey(key);
    return granted;
}

}  // namespace

// The product's key and the configuration's, not the maker's key above them, which other programs
// of the maker share: the monitor only reads that one. The configuration key is granted in its
// own right too, since a key made before the grant may not take the inherited entry.
bool grantUsersConfigAccess() {
    UsersSid users;
    if (users.get() == nullptr) return false;
    for (std::string_view key : {kKeyUps, kKeyConfig}) {
        if (!grantOn(key, users.get())) return false;
    }
    return true;
}

}  // namespace ups
