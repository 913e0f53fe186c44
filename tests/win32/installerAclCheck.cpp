// Reads back the access list of the configuration key, which reg.exe cannot show. Prints it as
// SDDL and ends with 0 when the local Users group is allowed read and write on the key and its
// subkeys, 1 when it is not, 2 when the key or its access list cannot be read.
#include <aclapi.h>
#include <sddl.h>
#include <windows.h>

#include <cstdio>

namespace {

constexpr char kConfigKey[] = "SOFTWARE\\Korvan\\Ups\\SysCfg_V1.2";

bool isUsers(PSID sid) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID users = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS, 0, 0,
                                  0, 0, 0, 0, &users)) {
        return false;
    }
    const bool same = EqualSid(sid, users) != FALSE;
    FreeSid(users);
    return same;
}

}  // namespace

int main() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kConfigKey, 0, READ_CONTROL | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS) {
        std::puts("no key");
        return 2;
    }
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD read = GetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                                       nullptr, &dacl, nullptr, &descriptor);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS) {
        std::printf("access list unreadable: %lu\n", read);
        return 2;
    }
    LPSTR sddl = nullptr;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(
            descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &sddl, nullptr)) {
        std::printf("%s\n", sddl);
        LocalFree(sddl);
    }
    const ACCESS_MASK wanted = KEY_READ | KEY_WRITE;
    bool granted = false;
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) continue;
        const auto* header = static_cast<ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if (!isUsers(&allowed->SidStart)) continue;
        std::printf("Users: mask 0x%lx flags 0x%x\n", allowed->Mask, header->AceFlags);
        if ((allowed->Mask & wanted) == wanted && (header->AceFlags & CONTAINER_INHERIT_ACE) &&
            !(header->AceFlags & INHERIT_ONLY_ACE)) {
            granted = true;
        }
    }
    LocalFree(descriptor);
    return granted ? 0 : 1;
}
