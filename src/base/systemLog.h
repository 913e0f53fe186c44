#pragma once
// The operating system's own log (syslog, which journald collects; the Windows event log). Every
// history event is also written there, so it is kept somewhere even when the history file is not.
#include <string_view>

namespace ups {

enum class SystemLogLevel { info, warning };

class SystemLog {
public:
    virtual ~SystemLog() = default;
    // One entry, UTF-8; called from one thread at a time.
    virtual void write(SystemLogLevel level, std::string_view text) = 0;
};

}  // namespace ups
