#pragma once
// A history file with many plausible events, for the history window's test, its benchmark and
// its screenshot: outages with their notices, now and then one that ends in a power-off, battery
// tests and configuration changes, at random gaps over a span of days. Header-only.
#include <sqlite3.h>

#include <random>
#include <string>
#include <vector>

#include "history/historyDb.h"

namespace ups::test {

// Oldest first, `count` events, the last one at `end`, spread over about `spanDays`.
inline std::vector<HistoryEvent> sampleHistory(double end, int count, double spanDays,
                                               unsigned seed = 7) {
    using K = HistoryEventKind;
    const std::vector<std::vector<HistoryEvent>> cycles{
        {{0, K::mainsFailed, ""},
         {0, K::noticeShown, "Falla en tensión de línea"},
         {0, K::noticeShown, "Continúa la falla en tensión de línea"},
         {0, K::mainsReturned, ""}},
        {{0, K::batteryTestStarted, "por cronograma"},
         {0, K::batteryTestOutcome, "Test de batería correcto.\r\nAutonomía: 12 min"}},
        {{0, K::configChanged, "tmpFail, tmpLowB"}},
        {{0, K::mainsFailed, ""},
         {0, K::noticeShown, "Falla en tensión de línea"},
         {0, K::batteryLow, ""},
         {0, K::criticalEntered, ""},
         {0, K::noticeShown, "30 seg. para cerrar Sistema"},
         {0, K::applicationsClosed, "Documento1 - Writer, \"Planilla\", Correo"},
         {0, K::powerOffRequested, "Apagado aceptado"},
         {0, K::monitorEnded, ""},
         {0, K::monitorStarted, "puerto COM2"},
         {0, K::batteryNormal, ""}}};
    std::mt19937 random(seed);
    std::discrete_distribution<int> cycle({50, 25, 15, 10});
    std::exponential_distribution<double> gap(1.0);
    std::vector<HistoryEvent> events;
    std::vector<double> gaps;
    while (static_cast<int>(events.size()) < count) {
        for (HistoryEvent e : cycles[static_cast<std::size_t>(cycle(random))]) {
            if (static_cast<int>(events.size()) == count) break;
            // Close together inside a cycle, far apart between cycles.
            gaps.push_back(e.kind == K::mainsFailed || e.kind == K::batteryTestStarted ||
                                   e.kind == K::configChanged
                               ? gap(random) * 20
                               : gap(random) * 0.5);
            events.push_back(std::move(e));
        }
    }
    double total = 0;
    for (double g : gaps) total += g;
    double at = end;
    for (std::size_t i = events.size(); i-- > 0;) {
        events[i].at = at;
        at -= gaps[i] / total * spanDays;
    }
    return events;
}

// Creates the history file at path and writes the events in one transaction.
inline bool fillHistory(const std::string& path, const std::vector<HistoryEvent>& events) {
    {
        HistoryDb created;
        if (!created.open(path, HistoryDb::Mode::write)) return false;
    }
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
              sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_stmt* insert = nullptr;
    ok = ok && sqlite3_prepare_v2(db, "INSERT INTO events(at, kind, details) VALUES(?, ?, ?)", -1,
                                  &insert, nullptr) == SQLITE_OK;
    for (std::size_t i = 0; ok && i < events.size(); ++i) {
        const std::string_view key = historyEventKey(events[i].kind);
        sqlite3_bind_double(insert, 1, events[i].at);
        sqlite3_bind_text(insert, 2, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, events[i].details.data(),
                          static_cast<int>(events[i].details.size()), SQLITE_STATIC);
        ok = sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
    }
    sqlite3_finalize(insert);
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

}  // namespace ups::test
