#include "platform/win32/win32EventLog.h"

#include <string>

namespace ups {

namespace {
constexpr DWORD kEventMessage = 1;
}  // namespace

Win32EventLog::Win32EventLog() : source_(RegisterEventSourceW(nullptr, L"korvan-ups")) {}

Win32EventLog::~Win32EventLog() {
    if (source_ != nullptr) DeregisterEventSource(source_);
}

void Win32EventLog::write(SystemLogLevel level, std::string_view text) {
    if (source_ == nullptr || text.empty()) return;
    // The wide call, so the accents reach the log whatever the system's code page.
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    LPCWSTR strings[] = {wide.c_str()};
    const WORD type =
        level == SystemLogLevel::warning ? EVENTLOG_WARNING_TYPE : EVENTLOG_INFORMATION_TYPE;
    // Message 1 of the program's own message table (packaging/windows/eventLog.mc) is the text
    // itself; the installer names the program as the source's message file.
    ReportEventW(source_, type, 0, kEventMessage, nullptr, 1, 0, strings, nullptr);
}

}  // namespace ups
