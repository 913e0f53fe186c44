// Stands in for what the installer test cannot have under Wine.
//   netsh.exe ...            (this program copied over Wine's netsh) appends its command line to
//                            C:\netsh.log and succeeds: the firewall's rules are what the
//                            installer asked for, and Wine has no firewall to ask.
//   installerPeer hold FILE  keeps FILE open without sharing writes, as a monitor too old to
//                            hear the installer's request to end keeps its program file, until
//                            C:\hold.stop exists.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const char* name = std::strrchr(self, '\\');
    if (name != nullptr && _stricmp(name + 1, "netsh.exe") == 0) {
        FILE* log = std::fopen("C:\\netsh.log", "ab");
        if (log == nullptr) return 1;
        std::fprintf(log, "%s\n", GetCommandLineA());
        std::fclose(log);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "hold") == 0) {
        HANDLE file =
            CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 1;
        std::puts("holding");
        std::fflush(stdout);
        while (GetFileAttributesA("C:\\hold.stop") == INVALID_FILE_ATTRIBUTES) Sleep(100);
        CloseHandle(file);
        return 0;
    }
    return 2;
}
