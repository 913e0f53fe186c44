#pragma once
// How the rooms report to the event history: they record an event's kind and details, and the
// history stamps the time itself. Recording never waits on a disk.
#include <string>
#include <string_view>

#include "base/historyEvents.h"

namespace ups {

class HistoryRecorder {
public:
    virtual ~HistoryRecorder() = default;
    // Queues the event with the time now; returns at once.
    virtual void record(HistoryEventKind kind, std::string details = {}) = 0;
    // Waits at most timeoutMs until what was recorded is on disk; true when nothing is left. The
    // shutdown sequence calls it before it asks for the power-off.
    virtual bool flush(int timeoutMs) {
        (void)timeoutMs;
        return true;
    }
    // True once: the first call after the history found it cannot keep the history (the events
    // then reach the system log only), so the window can say it once.
    virtual bool takeUnavailableNotice() { return false; }
};

// What the window says then.
inline constexpr std::string_view kHistoryUnavailableText =
    "El historial no está disponible; los eventos van solo al registro del sistema.";

// A history that keeps nothing, for parts built without a history.
class NoHistoryRecorder final : public HistoryRecorder {
public:
    void record(HistoryEventKind, std::string) override {}
};

}  // namespace ups
