#pragma once
// The Windows twin of tests/support/childProcess.h, found first on the include path of the
// Windows test programs: a helper process started with CreateProcess and always ended by its
// handle. A program that is not a Windows program (net-snmp's tools here) does not start, and
// waitForExit gives 127 as a shell would.
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace ups::test {

class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv,
                 const std::vector<std::string>& extraEnvironment = {}) {
        std::string commandLine;
        for (const std::string& a : argv) {
            if (!commandLine.empty()) commandLine += ' ';
            commandLine += '"' + a + '"';
        }
        std::string environment;
        for (char *e = GetEnvironmentStringsA(), *p = e; p && *p; p += std::strlen(p) + 1) {
            environment.append(p).push_back('\0');
            if (p[std::strlen(p) + 1] == '\0') FreeEnvironmentStringsA(e);
        }
        for (const std::string& e : extraEnvironment) environment.append(e).push_back('\0');
        environment.push_back('\0');
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                           environment.data(), nullptr, &startup, &info_)) {
            CloseHandle(info_.hThread);
        } else {
            info_ = {};
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() { stop(); }

    unsigned long pid() const { return info_.dwProcessId; }
    bool started() const { return info_.hProcess != nullptr; }

    int waitForExit(int limitMs) {
        if (!started()) return 127;
        if (WaitForSingleObject(info_.hProcess, static_cast<DWORD>(limitMs)) != WAIT_OBJECT_0) {
            stop();
            return -1;
        }
        DWORD code = 0;
        GetExitCodeProcess(info_.hProcess, &code);
        CloseHandle(info_.hProcess);
        info_ = {};
        return static_cast<int>(code);
    }

    void stop() {
        if (!started()) return;
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, 5000);
        CloseHandle(info_.hProcess);
        info_ = {};
    }

private:
    PROCESS_INFORMATION info_{};
};

}  // namespace ups::test
