// Reads the program file's resources back as Windows would: the version information's texts,
// the manifest, the icon and the event log's message. Prints what it found and ends with 0 when
// all of it is as it should be, 1 when not.
//   resourceCheck PROGRAM VERSION
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

int failures = 0;

void expect(bool ok, const char* what, const std::string& got) {
    std::printf("%s  %s: %s\n", ok ? "ok  " : "FAIL", what, got.c_str());
    if (!ok) ++failures;
}

std::string versionText(const std::vector<char>& info, const char* name) {
    char* value = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\0C0A04B0\\") + name;
    if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) {
        return "(none)";
    }
    return std::string(value, length > 0 ? length - 1 : 0);
}

std::string resourceText(HMODULE module, LPCSTR name, LPCSTR type) {
    HRSRC found = FindResourceA(module, name, type);
    if (found == nullptr) return {};
    HGLOBAL loaded = LoadResource(module, found);
    return std::string(static_cast<const char*>(LockResource(loaded)),
                       SizeofResource(module, found));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const std::string program = argv[1];
    const std::string version = argv[2];
    DWORD handle = 0;
    std::vector<char> info(GetFileVersionInfoSizeA(program.c_str(), &handle));
    const bool haveInfo =
        !info.empty() &&
        GetFileVersionInfoA(program.c_str(), 0, static_cast<DWORD>(info.size()), info.data());
    expect(haveInfo, "version information", haveInfo ? "present" : "missing");
    if (haveInfo) {
        const std::string product = versionText(info, "ProductName");
        const std::string company = versionText(info, "CompanyName");
        const std::string fileVersion = versionText(info, "FileVersion");
        expect(product == "Servicio de UPS", "ProductName", product);
        expect(company == "Korvan", "CompanyName", company);
        expect(fileVersion == version, "FileVersion", fileVersion);
    }

    HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) {
        expect(false, "resources", "the program cannot be loaded as data");
        return 1;
    }
    const std::string manifest = resourceText(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    expect(manifest.find("level=\"asInvoker\"") != std::string::npos, "manifest: asInvoker",
           manifest.empty() ? "no manifest" : "found");
    expect(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}") != std::string::npos,
           "manifest: Windows 10 and 11", "");
    expect(manifest.find("PerMonitorV2") != std::string::npos, "manifest: per-monitor DPI", "");
    expect(FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14)) != nullptr,
           "icon group 1", "");

    // The message that the event log source names: the text given, nothing added.
    const std::string insert = "Corte de línea";
    DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(insert.c_str())};
    char text[256] = {};
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module, 1, 0,
                       text, sizeof text, reinterpret_cast<va_list*>(inserts));
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
        message.pop_back();
    }
    expect(message == insert, "event message 1", message);
    FreeLibrary(module);
    return failures == 0 ? 0 : 1;
}
