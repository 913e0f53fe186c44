#pragma once
// The system log through syslog(3), tagged "korvan-ups" with the process id; journald keeps it
// with the user's session.
#include "base/systemLog.h"

namespace ups {

class SyslogSystemLog : public SystemLog {
public:
    SyslogSystemLog();
    ~SyslogSystemLog() override;
    SyslogSystemLog(const SyslogSystemLog&) = delete;
    SyslogSystemLog& operator=(const SyslogSystemLog&) = delete;

    void write(SystemLogLevel level, std::string_view text) override;
};

}  // namespace ups
