#include <algorithm>
#include <array>

#include "base/historyRecorder.h"

namespace ups {

namespace {

struct KindNames {
    HistoryEventKind kind;
    std::string_view key;
    std::string_view title;
};

// In the enumeration's order, so a kind finds its row by its value.
constexpr std::array<KindNames, kHistoryEventKindCount> kNames{{
    {HistoryEventKind::monitorStarted, "monitor_started", "Monitor iniciado"},
    {HistoryEventKind::monitorEnded, "monitor_ended", "Monitor finalizado"},
    {HistoryEventKind::mainsFailed, "mains_failed", "Falla de red"},
    {HistoryEventKind::mainsReturned, "mains_returned", "Red restablecida"},
    {HistoryEventKind::batteryLow, "battery_low", "Batería baja"},
    {HistoryEventKind::batteryNormal, "battery_normal", "Batería normal"},
    {HistoryEventKind::criticalEntered, "critical_entered", "Estado crítico"},
    {HistoryEventKind::criticalLeft, "critical_left", "Fin del estado crítico"},
    {HistoryEventKind::noticeShown, "notice_shown", "Aviso mostrado"},
    {HistoryEventKind::applicationsClosed, "applications_closed", "Cierre de aplicaciones"},
    {HistoryEventKind::powerOffRequested, "power_off_requested", "Apagado solicitado"},
    {HistoryEventKind::switchOffAnnounced, "switch_off_announced", "Desconexión anunciada"},
    {HistoryEventKind::switchOffCancelled, "switch_off_cancelled", "Desconexión cancelada"},
    {HistoryEventKind::agentNotDetected, "agent_not_detected", "Agente no detectado"},
    {HistoryEventKind::agentNotAnswering, "agent_not_answering", "El agente no responde"},
    {HistoryEventKind::agentRestarted, "agent_restarted", "Agente reiniciado"},
    {HistoryEventKind::trapPortUnavailable, "trap_port_unavailable",
     "Puerto de traps no disponible"},
    {HistoryEventKind::batteryTestStarted, "battery_test_started", "Prueba de batería iniciada"},
    {HistoryEventKind::batteryTestOutcome, "battery_test_outcome",
     "Resultado de la prueba de batería"},
    {HistoryEventKind::alarmSilenced, "alarm_silenced", "Alarma silenciada"},
    {HistoryEventKind::configChanged, "config_changed", "Configuración modificada"},
    {HistoryEventKind::rehearsalStarted, "rehearsal_started", "Ensayo de corte iniciado"},
    {HistoryEventKind::rehearsalEnded, "rehearsal_ended", "Ensayo de corte terminado"},
    {HistoryEventKind::upsServerLost, "ups_server_lost", "Servidor de la UPS perdido"},
    {HistoryEventKind::upsServerReached, "ups_server_reached", "Servidor de la UPS conectado"},
    {HistoryEventKind::forcedShutdownReceived, "forced_shutdown_received",
     "Apagado ordenado por el servidor de la UPS"},
    {HistoryEventKind::followersToldToShutDown, "followers_told_to_shut_down",
     "Apagado ordenado a los seguidores"},
    {HistoryEventKind::followersWaitEnded, "followers_wait_ended",
     "Fin de la espera de los seguidores"},
}};

constexpr bool inOrder() {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (static_cast<std::size_t>(kNames[i].kind) != i) return false;
    }
    return true;
}
static_assert(inOrder(), "one row per kind, in the enumeration's order");

constexpr std::array<HistoryEventKind, kHistoryEventKindCount> kKinds = [] {
    std::array<HistoryEventKind, kHistoryEventKindCount> kinds{};
    for (std::size_t i = 0; i < kinds.size(); ++i) kinds[i] = kNames[i].kind;
    return kinds;
}();

const KindNames* row(HistoryEventKind kind) {
    const auto index = static_cast<std::size_t>(kind);
    return index < kNames.size() ? &kNames[index] : nullptr;
}

}  // namespace

std::span<const HistoryEventKind> allHistoryEventKinds() {
    return kKinds;
}

std::string_view historyEventKey(HistoryEventKind kind) {
    const KindNames* names = row(kind);
    return names ? names->key : std::string_view{};
}

std::optional<HistoryEventKind> historyEventKindFromKey(std::string_view key) {
    const auto found = std::find_if(kNames.begin(), kNames.end(),
                                    [key](const KindNames& names) { return names.key == key; });
    if (found == kNames.end()) return std::nullopt;
    return found->kind;
}

std::string_view historyEventTitle(HistoryEventKind kind) {
    const KindNames* names = row(kind);
    return names ? names->title : std::string_view{};
}

}  // namespace ups
