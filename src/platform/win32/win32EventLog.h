#pragma once
// The system log on Windows: the Application event log, source "korvan-ups".
#include <windows.h>

#include "base/systemLog.h"

namespace ups {

class Win32EventLog : public SystemLog {
public:
    Win32EventLog();
    ~Win32EventLog() override;
    Win32EventLog(const Win32EventLog&) = delete;
    Win32EventLog& operator=(const Win32EventLog&) = delete;

    void write(SystemLogLevel level, std::string_view text) override;

private:
    HANDLE source_ = nullptr;
};

}  // namespace ups
