#pragma once
// The journal the monitor reports to: record() stamps the event with the clock, queues it and
// returns, so the tick never waits on a disk; a thread of its own commits each event to the
// history file in a transaction of its own and writes it to the system log. A history file that
// cannot be opened or written never stops anything: the events then reach the system log only,
// and the journal says once that the history is unavailable.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "base/clock.h"
#include "base/eventJournal.h"
#include "base/systemLog.h"
#include "history/historyDb.h"

namespace ups {

inline constexpr int kDefaultRetentionDays = 365;
// Far more than a power event produces; past it events are counted and dropped rather than
// making the tick wait.
inline constexpr std::size_t kJournalQueueCapacity = 1024;

// "Falla de red: <details>", as the system log gets it.
std::string systemLogText(const HistoryEvent& event);

class JournalWriter final : public EventJournal {
public:
    // Opens (or creates) the file at path on its own thread; the folder must exist. Events older
    // than retentionDays are removed at the start and once a day. The clock is read by record()
    // and, when the journal has been idle for an hour, by the journal's thread.
    JournalWriter(std::string path, const Clock& clock, SystemLog& systemLog,
                  int retentionDays = kDefaultRetentionDays);
    // Writes what is still queued, then stops the thread.
    ~JournalWriter() override;
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    void record(HistoryEventKind kind, std::string details = {}) override;

    // Waits at most timeoutMs until every event recorded before the call has been written (to the
    // file when it is available, to the system log in any case). True when none is left.
    bool flush(int timeoutMs) override;
    // False while the file cannot be opened or written.
    bool available() const { return available_.load(std::memory_order_acquire); }
    // True once: the first call after the history became unavailable.
    bool takeUnavailableNotice() override { return unavailableNotice_.exchange(false); }
    // Events dropped because the queue was full.
    std::uint64_t dropped() const;

private:
    void run();
    void write(const HistoryEvent& event);
    void retainIfDue(double now);
    void becomeUnavailable(const std::string& why);

    const std::string path_;
    const Clock& clock_;
    SystemLog& systemLog_;
    const int retentionDays_;
    const double startedAt_;

    // The journal's thread alone touches these.
    HistoryDb db_;
    double retainedAt_ = -1e9;
    bool everUnavailable_ = false;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable written_;
    std::deque<HistoryEvent> queue_;
    std::uint64_t recorded_ = 0;
    std::uint64_t done_ = 0;
    std::uint64_t dropped_ = 0;
    std::uint64_t droppedReported_ = 0;
    bool stopping_ = false;

    std::atomic<bool> available_{true};
    std::atomic<bool> unavailableNotice_{false};
    std::thread thread_;
};

}  // namespace ups
