#pragma once
// The kinds of event the history keeps, with their stable keys and their titles: what the monitor
// saw and what it did, each event with its local date and time, a kind and its details in Spanish.
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

// Stable names kept in the history file ("mains_failed", ...); never change one.
std::string_view historyEventKey(HistoryEventKind kind);
std::optional<HistoryEventKind> historyEventKindFromKey(std::string_view key);
// The event as the history window and the system log name it ("Falla de red", ...).
std::string_view historyEventTitle(HistoryEventKind kind);

struct HistoryEvent {
    double at = 0;  // local date and time as an OLE date
    HistoryEventKind kind = HistoryEventKind::monitorStarted;
    std::string details;
};

}  // namespace ups
