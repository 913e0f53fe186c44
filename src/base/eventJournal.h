#pragma once
// The monitor's event history: what it saw and what it did, each event with its local date and
// time, a kind and its details in Spanish. The rooms report through EventJournal; the journal
// stamps the time itself. Recording never waits on a disk.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ups {

enum class HistoryEventKind {
    monitorStarted,  // details: the mode, "puerto COM2" or "agente 192.168.1.20"
    monitorEnded,
    mainsFailed,
    mainsReturned,
    batteryLow,
    batteryNormal,
    criticalEntered,
    criticalLeft,
    noticeShown,         // details: the notice's text
    applicationsClosed,  // details: the applications asked to close
    powerOffRequested,   // details: the result the system gave
    switchOffAnnounced,  // details: the minutes
    switchOffCancelled,
    agentNotDetected,
    agentNotAnswering,
    agentRestarted,
    trapPortUnavailable,
    batteryTestStarted,  // details: by hand, by schedule or at start
    batteryTestOutcome,  // details: the outcome's text
    alarmSilenced,
    configChanged,  // details: the names of the fields changed, never a password
    rehearsalStarted,
    rehearsalEnded,           // details: how it ended
    upsServerLost,            // details: the followed server and why
    upsServerReached,         // details: the followed server
    forcedShutdownReceived,   // the followed server ordered the power-off (FSD)
    followersToldToShutDown,  // details: how many followers were logged in
    followersWaitEnded,       // details: all logged out, or how many were left when it ran out
};
inline constexpr std::size_t kHistoryEventKindCount =
    static_cast<std::size_t>(HistoryEventKind::followersWaitEnded) + 1;

// Every kind, in the enumeration's order.
std::span<const HistoryEventKind> allHistoryEventKinds();

// Stable names kept in the journal file ("mains_failed", ...); never change one.
std::string_view historyEventKey(HistoryEventKind kind);
std::optional<HistoryEventKind> historyEventKindFromKey(std::string_view key);
// The event as the history window and the system log name it ("Falla de red", ...).
std::string_view historyEventTitle(HistoryEventKind kind);

struct HistoryEvent {
    double at = 0;  // local date and time as an OLE date
    HistoryEventKind kind = HistoryEventKind::monitorStarted;
    std::string details;
};

class EventJournal {
public:
    virtual ~EventJournal() = default;
    // Queues the event with the time now; returns at once.
    virtual void record(HistoryEventKind kind, std::string details = {}) = 0;
    // Waits at most timeoutMs until what was recorded is on disk; true when nothing is left. The
    // shutdown sequence calls it before it asks for the power-off.
    virtual bool flush(int timeoutMs) {
        (void)timeoutMs;
        return true;
    }
    // True once: the first call after the journal found it cannot keep the history (the events
    // then reach the system log only), so the window can say it once.
    virtual bool takeUnavailableNotice() { return false; }
};

// What the window says then.
inline constexpr std::string_view kHistoryUnavailableText =
    "El historial no está disponible; los eventos van solo al registro del sistema.";

// A journal that keeps nothing, for parts built without a history.
class NoEventJournal final : public EventJournal {
public:
    void record(HistoryEventKind, std::string) override {}
};

}  // namespace ups
