#include "history/journalWriter.h"

#include <chrono>
#include <utility>

namespace ups {

namespace {

// With no event for this long the thread wakes to see whether the daily retention is due.
constexpr auto kIdleWake = std::chrono::hours(1);

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

}  // namespace

std::string systemLogText(const HistoryEvent& event) {
    std::string text(historyEventTitle(event.kind));
    if (!event.details.empty()) text += ": " + event.details;
    return text;
}

JournalWriter::JournalWriter(std::string path, const Clock& clock, SystemLog& systemLog,
                             int retentionDays)
    : path_(std::move(path)),
      clock_(clock),
      systemLog_(systemLog),
      retentionDays_(retentionDays),
      startedAt_(clock.now()),
      thread_([this] { run(); }) {}

JournalWriter::~JournalWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void JournalWriter::record(HistoryEventKind kind, std::string details) {
    HistoryEvent event{clock_.now(), kind, std::move(details)};
    {
        std::lock_guard lock(mutex_);
        if (queue_.size() >= kJournalQueueCapacity) {
            ++dropped_;
            return;
        }
        queue_.push_back(std::move(event));
        ++recorded_;
    }
    wake_.notify_one();
}

bool JournalWriter::flush(int timeoutMs) {
    std::unique_lock lock(mutex_);
    const std::uint64_t target = recorded_;
    return written_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return done_ >= target; });
}

std::uint64_t JournalWriter::dropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

void JournalWriter::becomeUnavailable(const std::string& why) {
    available_.store(false, std::memory_order_release);
    if (everUnavailable_) return;
    everUnavailable_ = true;
    systemLog_.write(SystemLogLevel::warning, "Historial no disponible (" + path_ + "): " + why);
    unavailableNotice_.store(true);
}

void JournalWriter::retainIfDue(double now) {
    if (!db_.isOpen() || now - retainedAt_ < 1.0) return;
    // A failure is tried again the next day, not at every event.
    retainedAt_ = now;
    db_.removeOlderThan(now, retentionDays_);
}

void JournalWriter::write(const HistoryEvent& event) {
    if (db_.isOpen()) {
        if (db_.append(event)) {
            available_.store(true, std::memory_order_release);
        } else {
            becomeUnavailable(db_.error());
        }
    }
    systemLog_.write(levelOf(event.kind), systemLogText(event));
    retainIfDue(event.at);
}

void JournalWriter::run() {
    if (path_.empty()) {
        // SQLite would take an empty name for a temporary file and keep nothing.
        becomeUnavailable("sin carpeta de datos");
    } else if (db_.open(path_)) {
        retainIfDue(startedAt_);
    } else {
        becomeUnavailable(db_.error());
    }

    std::unique_lock lock(mutex_);
    for (;;) {
        if (!wake_.wait_for(lock, kIdleWake, [&] { return !queue_.empty() || stopping_; })) {
            lock.unlock();
            retainIfDue(clock_.now());
            lock.lock();
            continue;
        }
        if (queue_.empty()) break;  // stopping, and everything is written
        HistoryEvent event = std::move(queue_.front());
        queue_.pop_front();
        const std::uint64_t dropped = dropped_ - droppedReported_;
        droppedReported_ = dropped_;
        lock.unlock();

        if (dropped > 0) {
            systemLog_.write(
                SystemLogLevel::warning,
                "Eventos del historial perdidos por cola llena: " + std::to_string(dropped));
        }
        write(event);

        lock.lock();
        ++done_;
        written_.notify_all();
    }
    db_.close();
}

}  // namespace ups
