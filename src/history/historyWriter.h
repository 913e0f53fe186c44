#pragma once
// The history the monitor reports to: record() stamps the event with the clock, queues it and
// returns, so the tick never waits on a disk. Two threads of the history's own take it from
// there: one commits each event to the history file in a transaction of its own, the other writes
// it to the system log. Neither waits for the other, so a stalled file (a slow disk, a database
// locked by another program) never holds back the system log. A history file that cannot be
// opened or written never stops anything: the events then reach the system log only, and the
// history says once that the history is unavailable.
//
// Room: each queue holds kHistoryQueueCapacity ordinary events; past that they are counted and
// dropped rather than making the tick wait. The shutdown's own records always have room: the
// critical state and the closing of the applications take one of kHistoryReserve places that no
// other event can take, and the power-off request and the monitor's end (once each in a run) are
// queued whatever the queue holds.
//
// Repeats: a stream of identical events (forged traps, a flapping line) must not fill the history.
// Events with the same kind and details share a window of kRepeatWindowSeconds that the first of
// them opens. The first kRepeatsWrittenAtOnce of a window are written as they come; the later ones
// are held back, and the history keeps only the last of them with the number it stands for. When
// the window ends, that last one is written with its own time and " (N veces)" after its details,
// so the history still ends in the state the events left. A flush() and the end write what is held
// at once. The monitor's start and the shutdown's records are never held back. A window ends when
// an event comes kRepeatWindowSeconds after it opened on the history's clock, or after as long on
// the steady clock when no event comes, so a clock set back never holds an event for longer.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/clock.h"
#include "base/historyRecorder.h"
#include "base/systemLog.h"
#include "history/historyDb.h"

namespace ups {

inline constexpr int kDefaultRetentionDays = 365;
inline constexpr std::size_t kHistoryQueueCapacity = 1024;
inline constexpr std::size_t kHistoryReserve = 64;
// The end waits this long for the threads to write what is queued, then leaves them to finish
// on their own: the program must end even when the disk does not answer. The program's own flush
// before the end has already waited for the disk.
inline constexpr int kHistoryEndWaitMs = 2000;
inline constexpr double kRepeatWindowSeconds = 60;
inline constexpr int kRepeatsWrittenAtOnce = 2;

// "Falla de red: <details>", as the system log gets it.
std::string systemLogText(const HistoryEvent& event);

// The rule for repeats above, on its own; not thread-safe (the history guards it). Each call
// appends what is to be written now to `out`, oldest first.
class RepeatFolder {
public:
    using Steady = std::chrono::steady_clock::time_point;

    // Writes held events whose window has ended, then the event itself unless it is held.
    void add(HistoryEvent event, Steady steadyNow, std::vector<HistoryEvent>& out);
    // What is held in windows that have ended on the steady clock.
    void releaseDue(Steady steadyNow, std::vector<HistoryEvent>& out);
    // Everything held; the windows stay open.
    void releaseAll(std::vector<HistoryEvent>& out);
    // When the next held event is due on the steady clock; nothing when none is held.
    std::optional<Steady> nextDue() const;

private:
    struct Window {
        double openedAt;
        Steady steadyDue;
        int written = 1;
        std::optional<HistoryEvent> held;
        int heldCount = 0;
        // Orders held events of the same time as they were recorded.
        std::uint64_t heldSequence = 0;
    };
    using Key = std::pair<HistoryEventKind, std::string>;
    using Released = std::vector<std::pair<std::uint64_t, HistoryEvent>>;
    static void releaseHeld(Window& window, Released& released);
    static void append(Released& released, std::vector<HistoryEvent>& out);

    std::map<Key, Window> windows_;
    std::uint64_t sequence_ = 0;
};

class HistoryWriter final : public HistoryRecorder {
public:
    // Opens (or creates) the file at path on its own thread; the folder must exist. Events older
    // than retentionDays are removed at the start and once a day. The clock is read by record()
    // and, when the history has been idle for an hour, by the file's thread. endWaitMs bounds the
    // wait of the end.
    HistoryWriter(std::string path, const Clock& clock, SystemLog& systemLog,
                  int retentionDays = kDefaultRetentionDays, int endWaitMs = kHistoryEndWaitMs);
    // Writes what is still queued, waiting at most endWaitMs. A thread still busy then is left to
    // finish on its own: it touches only state it shares with this object, never the clock, and
    // after the end it writes nothing more to the system log (a write already under way finishes).
    ~HistoryWriter() override;
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    void record(HistoryEventKind kind, std::string details = {}) override;

    // Writes what repeats held back, then waits at most timeoutMs until every event recorded
    // before the call has been written to the file (when it is available) and to the system log.
    // True when none is left.
    bool flush(int timeoutMs) override;
    // False while the file cannot be opened or written.
    bool available() const;
    // True once: the first call after the history became unavailable.
    bool takeUnavailableNotice() override;
    // Events dropped because a queue was full (the file's and the system log's together).
    std::uint64_t dropped() const;

private:
    struct Shared;

    std::shared_ptr<Shared> shared_;
    const Clock& clock_;
    const int endWaitMs_;
    std::thread fileThread_;
    std::thread logThread_;
};

}  // namespace ups
