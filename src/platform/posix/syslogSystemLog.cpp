#include "platform/posix/syslogSystemLog.h"

#include <syslog.h>

namespace ups {

SyslogSystemLog::SyslogSystemLog() {
    openlog("korvan-ups", LOG_PID, LOG_USER);
}

SyslogSystemLog::~SyslogSystemLog() {
    closelog();
}

void SyslogSystemLog::write(SystemLogLevel level, std::string_view text) {
    // The text is data, never a format.
    syslog(level == SystemLogLevel::warning ? LOG_WARNING : LOG_INFO, "%.*s",
           static_cast<int>(text.size()), text.data());
}

}  // namespace ups
