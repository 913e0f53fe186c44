#include "history/historyWriter.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "base/tickPath.h"

namespace ups {

namespace {

// With no event for this long the file's thread wakes to see whether the daily retention is due.
constexpr auto kIdleWake = std::chrono::hours(1);
constexpr double kSecondsPerDay = 86'400;
constexpr auto kRepeatWindow = std::chrono::seconds(static_cast<int>(kRepeatWindowSeconds));

SystemLogLevel levelOf(HistoryEventKind kind) {
    switch (kind) {
        case HistoryEventKind::mainsFailed:
        case HistoryEventKind::batteryLow:
        case HistoryEventKind::criticalEntered:
        case HistoryEventKind::applicationsClosed:
        case HistoryEventKind::powerOffRequested:
        case HistoryEventKind::switchOffAnnounced:
        case HistoryEventKind::agentNotDetected:
        case HistoryEventKind::agentNotAnswering:
        case HistoryEventKind::trapPortUnavailable:
            return SystemLogLevel::warning;
        default:
            return SystemLogLevel::info;
    }
}

bool neverHeld(HistoryEventKind kind) {
    switch (kind) {
        case HistoryEventKind::monitorStarted:
        case HistoryEventKind::monitorEnded:
        case HistoryEventKind::criticalEntered:
        case HistoryEventKind::applicationsClosed:
        case HistoryEventKind::powerOffRequested:
            return true;
        default:
            return false;
    }
}

// How many events a queue holds before it turns this kind away.
std::size_t roomFor(HistoryEventKind kind) {
    switch (kind) {
        case HistoryEventKind::powerOffRequested:
        case HistoryEventKind::monitorEnded:
            return SIZE_MAX;
        case HistoryEventKind::criticalEntered:
        case HistoryEventKind::applicationsClosed:
            return kHistoryQueueCapacity + kHistoryReserve;
        default:
            return kHistoryQueueCapacity;
    }
}

}  // namespace

std::string systemLogText(const HistoryEvent& event) {
    std::string text(historyEventTitle(event.kind));
    if (!event.details.empty()) text += ": " + event.details;
    return text;
}

// ---- repeats ----

void RepeatFolder::append(Released& released, std::vector<HistoryEvent>& out) {
    std::sort(released.begin(), released.end(), [](const auto& a, const auto& b) {
        return std::pair(a.second.at, a.first) < std::pair(b.second.at, b.first);
    });
    for (auto& [sequence, event] : released) out.push_back(std::move(event));
}

void RepeatFolder::releaseHeld(Window& window, Released& released) {
    if (!window.held) return;
    HistoryEvent event = std::move(*window.held);
    if (window.heldCount > 1) {
        const std::string count = std::to_string(window.heldCount) + " veces";
        event.details = event.details.empty() ? count : event.details + " (" + count + ")";
    }
    released.emplace_back(window.heldSequence, std::move(event));
    window.held.reset();
    window.heldCount = 0;
}

void RepeatFolder::add(HistoryEvent event, Steady steadyNow, std::vector<HistoryEvent>& out) {
    Released released;
    for (auto it = windows_.begin(); it != windows_.end();) {
        Window& window = it->second;
        const bool ended = (event.at - window.openedAt) * kSecondsPerDay >= kRepeatWindowSeconds ||
                           steadyNow >= window.steadyDue;
        if (!ended) {
            ++it;
            continue;
        }
        releaseHeld(window, released);
        it = windows_.erase(it);
    }
    append(released, out);

    if (neverHeld(event.kind)) {
        out.push_back(std::move(event));
        return;
    }
    auto [it, opened] =
        windows_.try_emplace(Key{event.kind, event.details},
                             Window{event.at, steadyNow + kRepeatWindow, 1, std::nullopt, 0});
    Window& window = it->second;
    if (opened || window.written < kRepeatsWrittenAtOnce) {
        if (!opened) ++window.written;
        out.push_back(std::move(event));
        return;
    }
    window.held = std::move(event);
    window.heldSequence = ++sequence_;
    ++window.heldCount;
}

void RepeatFolder::releaseDue(Steady steadyNow, std::vector<HistoryEvent>& out) {
    Released released;
    for (auto it = windows_.begin(); it != windows_.end();) {
        if (steadyNow < it->second.steadyDue) {
            ++it;
            continue;
        }
        releaseHeld(it->second, released);
        it = windows_.erase(it);
    }
    append(released, out);
}

void RepeatFolder::releaseAll(std::vector<HistoryEvent>& out) {
    Released released;
    for (auto& [key, window] : windows_) releaseHeld(window, released);
    append(released, out);
}

std::optional<RepeatFolder::Steady> RepeatFolder::nextDue() const {
    std::optional<Steady> due;
    for (const auto& [key, window] : windows_) {
        if (window.held && (!due || window.steadyDue < *due)) due = window.steadyDue;
    }
    return due;
}

// ---- the history ----

// What the two threads share with the history. Held by shared pointers, so a thread left behind
// at the end still finds it; every field is guarded by the mutex except where said.
struct HistoryWriter::Shared {
    struct LogLine {
        SystemLogLevel level;
        std::string text;
    };

    Shared(std::string path, int retentionDays)
        : path(std::move(path)), retentionDays(retentionDays) {}

    // Queues the events on both sides; a full queue turns an event away on its side only.
    void pushLocked(std::vector<HistoryEvent>& events) {
        for (HistoryEvent& event : events) {
            const std::size_t room = roomFor(event.kind);
            if (logQueue.size() < room) {
                logQueue.push_back({levelOf(event.kind), systemLogText(event)});
                ++logPushed;
            } else {
                ++logDropped;
            }
            if (fileQueue.size() < room) {
                fileQueue.push_back(std::move(event));
                ++filePushed;
            } else {
                ++fileDropped;
            }
        }
        if (!events.empty()) {
            fileWake.notify_one();
            logWake.notify_one();
        }
        events.clear();
    }
    void logLocked(SystemLogLevel level, std::string text) {
        logQueue.push_back({level, std::move(text)});
        ++logPushed;
        logWake.notify_one();
    }
    // The file's thread: opens the file, then writes what comes and releases held repeats when
    // their window ends on the steady clock.
    void runFile(const Clock& clock, double startedAt);
    // The system log's thread.
    void runLog(SystemLog& systemLog);
    void becomeUnavailable(const std::string& why);
    void retainIfDue(double now);
    void writeToFile(const HistoryEvent& event);

    const std::string path;
    const int retentionDays;

    std::mutex mutex;
    std::condition_variable fileWake;
    std::condition_variable logWake;
    std::condition_variable progress;
    RepeatFolder repeats;
    std::deque<HistoryEvent> fileQueue;
    std::deque<LogLine> logQueue;
    std::uint64_t filePushed = 0, fileDone = 0, fileDropped = 0, fileDroppedReported = 0;
    std::uint64_t logPushed = 0, logDone = 0, logDropped = 0, logDroppedReported = 0;
    bool stopping = false;
    // The end has stopped waiting: the threads write nothing more to the system log and read no
    // clock, since both may be gone.
    bool abandoned = false;
    bool fileEnded = false;
    bool logEnded = false;

    // The file's thread alone touches these, without the mutex.
    HistoryDb db;
    double retainedAt = -1e9;
    bool everUnavailable = false;

    std::atomic<bool> available{true};
    std::atomic<bool> unavailableNotice{false};
};

void HistoryWriter::Shared::becomeUnavailable(const std::string& why) {
    available.store(false, std::memory_order_release);
    if (everUnavailable) return;
    everUnavailable = true;
    {
        std::lock_guard lock(mutex);
        logLocked(SystemLogLevel::warning, "Historial no disponible (" + path + "): " + why);
    }
    unavailableNotice.store(true);
}

void HistoryWriter::Shared::retainIfDue(double now) {
    if (!db.isOpen() || now - retainedAt < 1.0) return;
    // A failure is tried again the next day, not at every event.
    retainedAt = now;
    db.removeOlderThan(now, retentionDays);
}

void HistoryWriter::Shared::writeToFile(const HistoryEvent& event) {
    if (db.isOpen()) {
        if (db.append(event)) {
            available.store(true, std::memory_order_release);
        } else {
            becomeUnavailable(db.error());
        }
    }
    retainIfDue(event.at);
}

void HistoryWriter::Shared::runFile(const Clock& clock, double startedAt) {
    if (path.empty()) {
        // SQLite would take an empty name for a temporary file and keep nothing.
        becomeUnavailable("sin carpeta de datos");
    } else if (db.open(path)) {
        retainIfDue(startedAt);
    } else {
        becomeUnavailable(db.error());
    }

    std::unique_lock lock(mutex);
    auto idleUntil = std::chrono::steady_clock::now() + kIdleWake;
    for (;;) {
        const std::optional<RepeatFolder::Steady> due = repeats.nextDue();
        fileWake.wait_until(lock, due ? std::min(*due, idleUntil) : idleUntil, [&] {
            return !fileQueue.empty() || stopping || abandoned || repeats.nextDue() != due;
        });
        if (abandoned) break;
        const auto now = std::chrono::steady_clock::now();
        if (fileQueue.empty()) {
            if (stopping) break;
            if (due && now >= *due) {
                std::vector<HistoryEvent> released;
                repeats.releaseDue(now, released);
                pushLocked(released);
            } else if (now >= idleUntil) {
                // Read under the lock: the end, after which the clock may be gone, takes it too.
                const double today = clock.now();
                lock.unlock();
                retainIfDue(today);
                lock.lock();
                idleUntil = std::chrono::steady_clock::now() + kIdleWake;
            }
            continue;
        }
        HistoryEvent event = std::move(fileQueue.front());
        fileQueue.pop_front();
        if (fileDropped > fileDroppedReported) {
            logLocked(SystemLogLevel::warning,
                      "Eventos del historial perdidos por cola llena: " +
                          std::to_string(fileDropped - fileDroppedReported));
            fileDroppedReported = fileDropped;
        }
        lock.unlock();
        writeToFile(event);
        lock.lock();
        ++fileDone;
        progress.notify_all();
        idleUntil = std::chrono::steady_clock::now() + kIdleWake;
    }
    lock.unlock();
    db.close();
    lock.lock();
    fileEnded = true;
    progress.notify_all();
    logWake.notify_one();
}

void HistoryWriter::Shared::runLog(SystemLog& systemLog) {
    std::unique_lock lock(mutex);
    for (;;) {
        logWake.wait(lock,
                     [&] { return !logQueue.empty() || (stopping && fileEnded) || abandoned; });
        if (abandoned || logQueue.empty()) break;
        LogLine line = std::move(logQueue.front());
        logQueue.pop_front();
        const std::uint64_t dropped = logDropped - logDroppedReported;
        logDroppedReported = logDropped;
        lock.unlock();
        if (dropped > 0) {
            systemLog.write(
                SystemLogLevel::warning,
                "Eventos no escritos en el registro por cola llena: " + std::to_string(dropped));
        }
        systemLog.write(line.level, line.text);
        lock.lock();
        ++logDone;
        progress.notify_all();
    }
    logEnded = true;
    progress.notify_all();
}

HistoryWriter::HistoryWriter(std::string path, const Clock& clock, SystemLog& systemLog,
                             int retentionDays, int endWaitMs)
    : shared_(std::make_shared<Shared>(std::move(path), retentionDays)),
      clock_(clock),
      endWaitMs_(endWaitMs),
      fileThread_([shared = shared_, &clock, startedAt = clock.now()] {
          shared->runFile(clock, startedAt);
      }),
      logThread_([shared = shared_, &systemLog] { shared->runLog(systemLog); }) {}

HistoryWriter::~HistoryWriter() {
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    std::vector<HistoryEvent> held;
    s.repeats.releaseAll(held);
    s.pushLocked(held);
    s.stopping = true;
    s.fileWake.notify_one();
    s.logWake.notify_one();
    const bool ended = s.progress.wait_for(lock, std::chrono::milliseconds(endWaitMs_),
                                           [&] { return s.fileEnded && s.logEnded; });
    if (!ended) {
        s.abandoned = true;
        s.fileWake.notify_one();
        s.logWake.notify_one();
    }
    const bool fileEnded = s.fileEnded;
    const bool logEnded = s.logEnded;
    lock.unlock();
    // A thread that has not ended keeps the shared state alive through its own pointer.
    fileEnded ? fileThread_.join() : fileThread_.detach();
    logEnded ? logThread_.join() : logThread_.detach();
}

void HistoryWriter::record(HistoryEventKind kind, std::string details) {
    HistoryEvent event{clock_.now(), kind, std::move(details)};
    const auto steadyNow = std::chrono::steady_clock::now();
    std::vector<HistoryEvent> due;
    std::lock_guard lock(shared_->mutex);
    shared_->repeats.add(std::move(event), steadyNow, due);
    shared_->pushLocked(due);
    // A window opened or changed: the file's thread sets its wake by it.
    shared_->fileWake.notify_one();
}

bool HistoryWriter::flush(int timeoutMs) {
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    std::vector<HistoryEvent> held;
    s.repeats.releaseAll(held);
    s.pushLocked(held);
    const std::uint64_t fileTarget = s.filePushed;
    // The log's side waits for what the file's thread adds to it too (the history's failure), which
    // it does before it counts the event done.
    return s.progress.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return s.fileDone >= fileTarget && s.logDone >= s.logPushed;
    });
}

bool HistoryWriter::available() const {
    return shared_->available.load(std::memory_order_acquire);
}

UPS_TICK_PATH bool HistoryWriter::takeUnavailableNotice() {
    // Read before it is taken: an idle tick writes nothing that the history's thread shares.
    return shared_->unavailableNotice.load(std::memory_order_acquire) &&
           shared_->unavailableNotice.exchange(false);
}

std::uint64_t HistoryWriter::dropped() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->fileDropped + shared_->logDropped;
}

}  // namespace ups
