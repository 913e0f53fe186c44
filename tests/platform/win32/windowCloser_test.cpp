#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "platform/win32/win32SystemControl.h"

namespace ups {
namespace {

struct Started {
    PROCESS_INFORMATION info{};
    ~Started() {
        if (info.hProcess == nullptr) return;
        TerminateProcess(info.hProcess, 0);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
};

void start(std::string commandLine, Started& process) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process.info));
}

std::string besideThisProgram(const char* name) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string beside(path);
    return beside.substr(0, beside.find_last_of('\\') + 1) + name;
}

// A visible titled window of the process, waited for at most ten seconds.
HWND windowOf(DWORD processId, const char* title = nullptr) {
    struct Search {
        DWORD pid;
        const char* title;
        HWND found;
    } search{processId, title, nullptr};
    for (int attempt = 0; attempt < 200 && search.found == nullptr; ++attempt) {
        EnumWindows(
            [](HWND window, LPARAM context) -> BOOL {
                auto& s = *reinterpret_cast<Search*>(context);
                DWORD pid = 0;
                char text[70] = {};
                GetWindowThreadProcessId(window, &pid);
                GetWindowTextA(window, text, sizeof text);
                if (pid != s.pid ||
                    (s.title ? std::string(text) != s.title : !IsWindowVisible(window)))
                    return TRUE;
                s.found = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr) Sleep(50);
    }
    return search.found;
}

TEST(Win32WindowCloser, AsksEachOtherProcessOnceOnItsMainWindowOnly) {
    HWND own = CreateWindowExA(0, "STATIC", "Korvan own window", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                               0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(own, nullptr);
    Started peer, progman, notepad;
    start("\"" + besideThisProgram("windowPeer.exe") + "\"", peer);
    start("\"" + besideThisProgram("windowPeer.exe") + "\" progman", progman);
    start("notepad.exe", notepad);
    ASSERT_NE(windowOf(peer.info.dwProcessId, "Korvan peer hidden"), nullptr);
    HWND peerMain = windowOf(peer.info.dwProcessId, "Korvan peer main");
    ASSERT_NE(peerMain, nullptr);
    ASSERT_NE(windowOf(progman.info.dwProcessId), nullptr);
    ASSERT_NE(windowOf(notepad.info.dwProcessId), nullptr);

    const auto sent = Win32WindowCloser().closeOtherApplications();

    std::multiset<DWORD> asked;
    for (const auto& request : sent) asked.insert(request.processId);
    EXPECT_EQ(asked.count(GetCurrentProcessId()), 0u);
    EXPECT_EQ(asked.count(peer.info.dwProcessId), 1u);
    EXPECT_EQ(asked.count(notepad.info.dwProcessId), 1u);
    EXPECT_EQ(asked.count(progman.info.dwProcessId), 0u);
    EXPECT_EQ(std::set<DWORD>(asked.begin(), asked.end()).size(), asked.size());

    // Sent messages are taken in order, so these answers come after the WM_CLOSE was handled.
    int counts[5] = {};
    for (int index = 0; index < 5; ++index) {
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(peerMain, WM_APP, index, 0, SMTO_BLOCK, 5000, &answer);
        counts[index] = static_cast<int>(answer);
    }
    EXPECT_EQ(counts[0] + counts[1], 1) << "main or second, whichever came first";
    EXPECT_EQ(counts[2] + counts[3] + counts[4], 0) << "owned, hidden and untitled are left alone";
    EXPECT_EQ(WaitForSingleObject(notepad.info.hProcess, 10000), WAIT_OBJECT_0);
    DestroyWindow(own);
}

TEST(Win32SystemControl, TheShutdownPrivilegeCanBeEnabled) {
    EXPECT_TRUE(enableShutdownPrivilege());
}

}  // namespace
}  // namespace ups
