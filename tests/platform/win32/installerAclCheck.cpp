// Reads back the access list of the configuration key (in the registry's 32-bit view), which
// reg.exe cannot show, and tries it as an ordinary user would. Prints the list as SDDL and ends
// with 0 when the local Users group is allowed read and write on the key and its subkeys, has no
// such grant on the maker's key above (which other programs of the maker share), and a token
// without the Administrators group may open the key for reading and writing and set a value in
// it; 1 when not; 2 when the key, its access list or such a token cannot be had.
#include <aclapi.h>
#include <sddl.h>
#include <windows.h>

#include <cstdio>

namespace {

constexpr char kConfigKey[] = "SOFTWARE\\Korvan\\Ups\\SysCfg_V1.2";
constexpr char kMakerKey[] = "SOFTWARE\\Korvan";

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

// Wine runs everything as an administrator. This thread goes on as the same user with the
// Administrators group kept for denials only, which is what an ordinary user's token amounts to
// for this key.
bool becomeOrdinaryUser() {
    HANDLE process = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &process)) return false;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    HANDLE restricted = nullptr;
    HANDLE impersonation = nullptr;
    bool done = false;
    if (AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                 0, 0, 0, 0, &admins)) {
        SID_AND_ATTRIBUTES denyOnly{admins, 0};
        done =
            CreateRestrictedToken(process, 0, 1, &denyOnly, 0, nullptr, 0, nullptr, &restricted) &&
            DuplicateToken(restricted, SecurityImpersonation, &impersonation) &&
            SetThreadToken(nullptr, impersonation);
        FreeSid(admins);
    }
    if (impersonation != nullptr) CloseHandle(impersonation);
    if (restricted != nullptr) CloseHandle(restricted);
    CloseHandle(process);
    return done;
}

LONG openAs(REGSAM access) {
    HKEY key = nullptr;
    const LONG opened =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, kConfigKey, 0, access | KEY_WOW64_32KEY, &key);
    if (key != nullptr) RegCloseKey(key);
    return opened;
}

// Opens the key for reading and writing and sets and removes a value, as the monitor's save does.
LONG writeAsUser() {
    HKEY key = nullptr;
    LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kConfigKey, 0,
                                KEY_READ | KEY_WRITE | KEY_WOW64_32KEY, &key);
    if (result != ERROR_SUCCESS) return result;
    const BYTE probe[] = {1, 2, 3};
    result = RegSetValueExA(key, "installerProbe", 0, REG_BINARY, probe, sizeof probe);
    if (result == ERROR_SUCCESS) result = RegDeleteValueA(key, "installerProbe");
    RegCloseKey(key);
    return result;
}

// 1 when Users may read and write the key and its subkeys, 0 when not, -1 when the key or its
// list cannot be read.
int usersGranted(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, READ_CONTROL | KEY_WOW64_32KEY, &key) !=
        ERROR_SUCCESS) {
        std::printf("%s: no key\n", path);
        return -1;
    }
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD read = GetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                                       nullptr, &dacl, nullptr, &descriptor);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS) {
        std::printf("access list unreadable: %lu\n", read);
        return -1;
    }
    LPSTR sddl = nullptr;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(
            descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &sddl, nullptr)) {
        std::printf("%s: %s\n", path, sddl);
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
    return granted ? 1 : 0;
}

}  // namespace

int main() {
    const int granted = usersGranted(kConfigKey);
    const int makerGranted = usersGranted(kMakerKey);
    if (granted < 0 || makerGranted < 0) return 2;
    if (!becomeOrdinaryUser()) {
        std::puts("no token without the Administrators group");
        return 2;
    }
    // Full access must be refused, or the token still acts as an administrator and the write
    // below proves nothing.
    const LONG full = openAs(KEY_ALL_ACCESS);
    const LONG written = writeAsUser();
    std::printf("as an ordinary user: full access %ld, read, write and set a value %ld\n", full,
                written);
    return granted == 1 && makerGranted == 0 && full == ERROR_ACCESS_DENIED &&
                   written == ERROR_SUCCESS
               ? 0
               : 1;
}
