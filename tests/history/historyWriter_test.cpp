// The event history end to end: what record() is given reaches the history file and the system
// log; a file that cannot be kept leaves the system log with every event; a killed process loses
// no event it reported as written; old events go; a stalled file holds back neither the system log
// nor the end, and leaves the shutdown's records room; repeats are folded.
#include "history/historyWriter.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <thread>

#include "history/historyDb.h"
#include "platform/null/nullPlatform.h"
#include "support/tempDir.h"
#include "support/virtualTime.h"

namespace ups {
namespace {

constexpr int kFlushMs = 10'000;

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// ---- the rig: a body run in a child process, talking to the test over a socket pair ----

void say(int fd, const std::string& line) {
    const std::string text = line + "\n";
    if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) _exit(3);
}

struct Child {
    pid_t pid = -1;
    int socket = -1;

    // The next line, or nothing once the child has gone and said everything.
    std::optional<std::string> line() {
        std::string text;
        char c;
        while (read(socket, &c, 1) == 1) {
            if (c == '\n') return text;
            text += c;
        }
        return std::nullopt;
    }
    std::vector<std::string> lines() {
        std::vector<std::string> all;
        while (auto next = line()) all.push_back(*next);
        return all;
    }
    // Lets the child on past its next awaitGo().
    void go() { (void)!write(socket, "g", 1); }
    int wait() {
        int status = 0;
        waitpid(pid, &status, 0);
        close(socket);
        return status;
    }
};

void awaitGo(int fd) {
    char c;
    if (read(fd, &c, 1) != 1) _exit(0);
}

Child runInChild(const std::function<void(int fd)>& body) {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        close(fds[0]);
        body(fds[1]);
        _exit(0);
    }
    close(fds[1]);
    return {pid, fds[0]};
}

// ---- every kind, with its fields ----

TEST(History, EveryKindReachesTheFileAndTheSystemLogWithItsFields) {
    test::TempDir dir("history");
    const std::string path = (dir.path / "historial.db").string();
    test::VirtualTime time(46'000.25);
    RecordedSystemLog log;
    std::vector<HistoryEvent> sent;
    {
        HistoryWriter history(path, time, log);
        for (HistoryEventKind kind : allHistoryEventKinds()) {
            time.advanceMs(1500);
            // Accents, quotes, a separator and a line end: the details are kept byte for byte.
            const std::string details = std::string(historyEventKey(kind)) + " «ñ» 'x', \"y\"\n";
            sent.push_back({time.now(), kind, details});
            history.record(kind, details);
        }
        ASSERT_TRUE(history.flush(kFlushMs));
        EXPECT_TRUE(history.available());
        EXPECT_FALSE(history.takeUnavailableNotice());
    }

    HistoryDb db;
    ASSERT_TRUE(db.open(path, HistoryDb::Mode::read)) << db.error();
    std::vector<HistoryEvent> read = db.eventsSince(46'000);
    std::reverse(read.begin(), read.end());  // newest first
    ASSERT_EQ(read.size(), sent.size());
    const auto entries = log.entries();
    ASSERT_EQ(entries.size(), sent.size());
    std::set<std::string_view> keys, titles;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const HistoryEventKind kind = sent[i].kind;
        EXPECT_EQ(read[i].kind, kind) << i;
        EXPECT_NEAR(read[i].at, sent[i].at, 1e-9) << i;
        EXPECT_EQ(read[i].details, sent[i].details) << i;
        EXPECT_EQ(entries[i].text, std::string(historyEventTitle(kind)) + ": " + sent[i].details);
        EXPECT_EQ(historyEventKindFromKey(historyEventKey(kind)), kind);
        keys.insert(historyEventKey(kind));
        titles.insert(historyEventTitle(kind));
    }
    EXPECT_EQ(keys.size(), kHistoryEventKindCount) << "one stable key per kind";
    EXPECT_EQ(titles.size(), kHistoryEventKindCount) << "one title per kind";
    EXPECT_EQ(db.eventsBetween(sent[1].at, sent[2].at).size(), 1u);
    EXPECT_EQ(db.count(), static_cast<std::int64_t>(sent.size()));
}

// ---- a file that cannot be kept ----

struct FaultCase {
    const char* name;
    // Leaves the file at path in its faulty state, in the test's process.
    std::function<void(const std::string& path)> prepare;
    // Run in the child before the history opens the file.
    std::function<void()> inChild;
    // The file itself must be left as it was.
    bool untouched;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

void makeHistory(const std::string& path) {
    HistoryDb db;
    ASSERT_TRUE(db.open(path));
    ASSERT_TRUE(db.append({46'000.5, HistoryEventKind::monitorStarted, "puerto COM1"}));
}

const FaultCase kFaults[] = {
    {"read-only",
     [](const std::string& path) {
         makeHistory(path);
         std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                                std::filesystem::perms::group_read |
                                                std::filesystem::perms::others_read);
     },
     // The superuser writes any file: the child gives that up.
     [] {
         if (geteuid() == 0 && setuid(65534) != 0) _exit(4);
     },
     true},
    {"file size limit", [](const std::string& path) { makeHistory(path); },
     [] {
         signal(SIGXFSZ, SIG_IGN);
         const rlimit limit{40 * 1024, 40 * 1024};
         setrlimit(RLIMIT_FSIZE, &limit);
     },
     false},
    {"corrupt",
     [](const std::string& path) {
         std::ofstream out(path, std::ios::binary);
         for (int i = 0; i < 8192; ++i) out.put(static_cast<char>((i * 7919) % 251));
     },
     [] {}, true},
};

class UnkeptHistory : public ::testing::TestWithParam<FaultCase> {};

TEST_P(UnkeptHistory, LeavesEveryEventInTheSystemLogAndSaysSoOnce) {
    const FaultCase& fault = GetParam();
    test::TempDir dir("history");
    const std::string path = (dir.path / "historial.db").string();
    fault.prepare(path);
    const std::string before = fileBytes(path);
    constexpr int kEvents = 30;

    Child child = runInChild([&](int fd) {
        fault.inChild();
        test::VirtualTime time;
        RecordedSystemLog log;
        HistoryWriter history(path, time, log);
        for (int i = 0; i < kEvents; ++i) {
            history.record(HistoryEventKind::noticeShown,
                           std::to_string(i) + std::string(3000, 'x'));
        }
        say(fd, history.flush(kFlushMs) ? "flushed" : "stuck");
        say(fd, history.available() ? "available" : "unavailable");
        say(fd, "notices " + std::to_string(history.takeUnavailableNotice() +
                                            history.takeUnavailableNotice()));
        for (const auto& entry : log.entries()) say(fd, entry.text.substr(0, 40));
    });
    const std::vector<std::string> lines = child.lines();
    EXPECT_EQ(child.wait(), 0);

    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "flushed");
    EXPECT_EQ(lines[1], "unavailable");
    EXPECT_EQ(lines[2], "notices 1");
    std::vector<std::string> events;
    int unavailable = 0;
    for (std::size_t i = 3; i < lines.size(); ++i) {
        if (lines[i].starts_with("Historial no disponible")) {
            ++unavailable;
        } else {
            events.push_back(lines[i]);
        }
    }
    EXPECT_EQ(unavailable, 1);
    ASSERT_EQ(events.size(), static_cast<std::size_t>(kEvents)) << "every event in the log";
    for (int i = 0; i < kEvents; ++i) {
        EXPECT_TRUE(events[i].starts_with("Aviso mostrado: " + std::to_string(i) + "x")) << i;
    }

    if (fault.untouched) {
        EXPECT_EQ(fileBytes(path), before);
        return;
    }
    // The events written before the disk filled are whole, and in their order.
    HistoryDb db;
    ASSERT_TRUE(db.open(path, HistoryDb::Mode::read)) << db.error();
    const auto kept = db.eventsSince(0);
    ASSERT_GT(kept.size(), 1u);
    ASSERT_LT(kept.size(), static_cast<std::size_t>(kEvents));
    for (std::size_t i = 0; i + 1 < kept.size(); ++i) {
        const std::size_t n = kept.size() - 2 - i;
        EXPECT_EQ(kept[i].details, std::to_string(n) + std::string(3000, 'x'));
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, UnkeptHistory, ::testing::ValuesIn(kFaults));

// ---- a crash right after events ----

TEST(History, AKilledProcessLosesNoEventItReportedAsWritten) {
    test::TempDir dir("history");
    const std::string path = (dir.path / "historial.db").string();

    Child child = runInChild([&](int fd) {
        test::VirtualTime time;
        RecordedSystemLog log;
        HistoryWriter history(path, time, log);
        // Bursts of one to five events, each burst reported once it is written; the next waits
        // for the test, so the kill comes right after a report.
        for (int next = 0, burst = 1; next < 100'000; burst = burst % 5 + 1) {
            const int first = next;
            for (int i = 0; i < burst; ++i) {
                history.record(HistoryEventKind::mainsFailed, std::to_string(next++));
            }
            if (!history.flush(kFlushMs) || !history.available()) return;
            for (int i = first; i < next; ++i) say(fd, std::to_string(i));
            say(fd, "burst");
            awaitGo(fd);
        }
    });
    std::set<std::string> reported;
    for (int bursts = 0; bursts < 40;) {
        auto line = child.line();
        ASSERT_TRUE(line.has_value()) << "the child stopped writing";
        if (*line != "burst") {
            reported.insert(*line);
        } else if (++bursts < 40) {
            child.go();
        }
    }
    kill(child.pid, SIGKILL);
    child.wait();

    HistoryDb db;
    ASSERT_TRUE(db.open(path)) << db.error();
    std::set<std::string> kept;
    for (const HistoryEvent& event : db.eventsSince(0)) kept.insert(event.details);
    for (const std::string& event : reported) EXPECT_TRUE(kept.count(event)) << event;
}

// ---- retention ----

TEST(History, EventsPastTheRetentionGoAtTheStartAndAgainADayLater) {
    test::TempDir dir("history");
    const std::string path = (dir.path / "historial.db").string();
    constexpr double kNow = 46'000.5;
    {
        HistoryDb db;
        ASSERT_TRUE(db.open(path));
        for (double age : {400.0, 365.01, 364.5, 1.0}) {
            ASSERT_TRUE(
                db.append({kNow - age, HistoryEventKind::mainsFailed, std::to_string(age)}));
        }
    }
    auto kept = [&] {
        HistoryDb db;
        std::vector<std::string> details;
        if (!db.open(path, HistoryDb::Mode::read)) return details;
        for (const HistoryEvent& event : db.eventsSince(0)) details.push_back(event.details);
        return details;
    };

    test::VirtualTime time(kNow);
    RecordedSystemLog log;
    HistoryWriter history(path, time, log, 365);
    history.record(HistoryEventKind::monitorStarted);
    ASSERT_TRUE(history.flush(kFlushMs));
    EXPECT_EQ(kept(), (std::vector<std::string>{"", "1.000000", "364.500000"}));

    time.advanceMs(0.9 * test::kMsPerDay);
    history.record(HistoryEventKind::batteryLow);
    ASSERT_TRUE(history.flush(kFlushMs));
    EXPECT_EQ(kept().size(), 4u) << "not yet a day since the last removal";

    time.advanceMs(0.2 * test::kMsPerDay);
    history.record(HistoryEventKind::batteryNormal);
    ASSERT_TRUE(history.flush(kFlushMs));
    EXPECT_EQ(kept(), (std::vector<std::string>{"", "", "", "1.000000"}));
}

// ---- repeats ----

using K = HistoryEventKind;

struct RepeatCase {
    const char* name;
    std::vector<std::pair<int, HistoryEventKind>> steps;  // second from the start, kind
    // "<key>@<second>[ <details>]", in the order they are written; "|" where the flush comes.
    std::vector<std::string> written;
};

void PrintTo(const RepeatCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr auto F = K::mainsFailed, R = K::mainsReturned, S = K::switchOffCancelled,
               C = K::criticalEntered, P = K::powerOffRequested;

const RepeatCase kRepeats[] = {
    {"a flapping line: two of each at once, then the last of each with its count",
     {{0, F}, {1, R}, {2, F}, {3, R}, {4, F}, {5, R}, {6, F}, {7, R}, {8, F}, {9, R}},
     {"mains_failed@0", "mains_returned@1", "mains_failed@2", "mains_returned@3", "|",
      "mains_failed@8 3 veces", "mains_returned@9 3 veces"}},
    {"an ended window writes what it held before the next event, and opens again",
     {{0, S}, {1, S}, {2, S}, {3, S}, {70, F}, {71, S}},
     {"switch_off_cancelled@0", "switch_off_cancelled@1", "switch_off_cancelled@3 2 veces",
      "mains_failed@70", "switch_off_cancelled@71", "|"}},
    {"the shutdown's records are never held",
     {{0, C}, {1, C}, {2, C}, {3, P}, {4, P}, {5, P}},
     {"critical_entered@0", "critical_entered@1", "critical_entered@2", "power_off_requested@3",
      "power_off_requested@4", "power_off_requested@5", "|"}},
};

class Repeats : public ::testing::TestWithParam<RepeatCase> {};

TEST_P(Repeats, AreFoldedByTheirWindow) {
    constexpr double kStart = 46'000.5;
    RepeatFolder folder;
    std::vector<HistoryEvent> out;
    std::vector<std::string> written;
    auto take = [&] {
        for (const HistoryEvent& e : out) {
            written.push_back(std::string(historyEventKey(e.kind)) + "@" +
                              std::to_string(std::lround((e.at - kStart) * 86'400)) +
                              (e.details.empty() ? "" : " " + e.details));
        }
        out.clear();
    };
    for (auto [second, kind] : GetParam().steps) {
        folder.add({kStart + second / 86'400.0, kind, ""}, std::chrono::steady_clock::now(), out);
        take();
    }
    written.push_back("|");
    folder.releaseAll(out);
    take();
    EXPECT_EQ(written, GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(Rule, Repeats, ::testing::ValuesIn(kRepeats));

TEST(Repeats, WithNoEventComingTheSteadyClockEndsTheWindow) {
    RepeatFolder folder;
    std::vector<HistoryEvent> out;
    for (int i = 0; i < 3; ++i) folder.add({46'000.5, K::switchOffCancelled, ""}, {}, out);
    ASSERT_EQ(out.size(), 2u);
    ASSERT_TRUE(folder.nextDue().has_value());
    folder.releaseDue(*folder.nextDue() - std::chrono::milliseconds(1), out);
    EXPECT_EQ(out.size(), 2u);
    folder.releaseDue(*folder.nextDue(), out);
    EXPECT_EQ(out.size(), 3u);
    EXPECT_FALSE(folder.nextDue().has_value());
}

TEST(History, AForgedTrapStreamWritesAFewLinesAMinute) {
    test::TempDir dir("history");
    const std::string path = (dir.path / "historial.db").string();
    test::VirtualTime time;
    RecordedSystemLog log;
    {
        HistoryWriter history(path, time, log);
        // Three events a tick, as the forged traps made them, for ten minutes.
        for (int s = 0; s < 600; ++s) {
            history.record(s % 2 ? K::mainsReturned : K::mainsFailed);
            history.record(K::switchOffCancelled);
            history.record(K::noticeShown, "Desconexión cancelada");
            time.advanceMs(1000);
        }
        ASSERT_TRUE(history.flush(kFlushMs));
    }
    HistoryDb db;
    ASSERT_TRUE(db.open(path, HistoryDb::Mode::read)) << db.error();
    const std::vector<HistoryEvent> kept = db.eventsSince(0);
    EXPECT_LE(kept.size(), 4u * 3 * 11) << "four kinds, at most three lines a minute each";
    // The newest line of the mains says what the last event said.
    const auto mains = std::find_if(kept.begin(), kept.end(), [](const HistoryEvent& e) {
        return e.kind == K::mainsFailed || e.kind == K::mainsReturned;
    });
    ASSERT_NE(mains, kept.end());
    EXPECT_EQ(mains->kind, K::mainsReturned);
    EXPECT_EQ(kept.front().kind, K::noticeShown) << "the last recorded of its second";
}

// ---- a stalled file ----

constexpr HistoryEventKind kShutdown[] = {K::criticalEntered, K::applicationsClosed,
                                          K::powerOffRequested, K::monitorEnded};

// A history whose file another program then locks: each commit waits on the lock, up to the
// busy timeout, for as long as it is held.
struct StalledHistory {
    test::TempDir dir{"history"};
    std::string path = (dir.path / "historial.db").string();
    test::VirtualTime time;
    RecordedSystemLog log;
    std::unique_ptr<HistoryWriter> history;
    sqlite3* locker = nullptr;

    explicit StalledHistory(int endWaitMs = kHistoryEndWaitMs) {
        history = std::make_unique<HistoryWriter>(path, time, log, 365, endWaitMs);
        history->record(K::monitorStarted);
        EXPECT_TRUE(history->flush(kFlushMs));
        EXPECT_EQ(sqlite3_open(path.c_str(), &locker), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(locker, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    ~StalledHistory() { unlock(); }
    void unlock() {
        sqlite3_close_v2(std::exchange(locker, nullptr));  // rolls the lock's transaction back
    }
    // Every shutdown record is in the system log, waiting at most `ms` for it.
    bool shutdownLogged(int ms) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;; std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
            std::set<std::string> texts;
            for (const auto& entry : log.entries()) texts.insert(entry.text);
            if (std::all_of(std::begin(kShutdown), std::end(kShutdown), [&](auto kind) {
                    return texts.count(std::string(historyEventTitle(kind)));
                })) {
                return true;
            }
            if (std::chrono::steady_clock::now() > end) return false;
        }
    }
};

TEST(History, AStalledFullFileHoldsBackNoSystemLogLineAndKeepsTheShutdownsRecords) {
    StalledHistory stalled;
    for (std::size_t i = 0; i < kHistoryQueueCapacity + kHistoryReserve + 10; ++i) {
        stalled.history->record(K::noticeShown, std::to_string(i));
    }
    for (HistoryEventKind kind : kShutdown) stalled.history->record(kind);
    EXPECT_FALSE(stalled.history->flush(20)) << "the file is locked";
    // Well within the file's first busy wait.
    EXPECT_TRUE(stalled.shutdownLogged(1000));

    stalled.unlock();
    ASSERT_TRUE(stalled.history->flush(kFlushMs));
    EXPECT_GT(stalled.history->dropped(), 0u);
    HistoryDb db;
    ASSERT_TRUE(db.open(stalled.path, HistoryDb::Mode::read)) << db.error();
    std::set<HistoryEventKind> kinds;
    for (const HistoryEvent& e : db.eventsSince(0)) kinds.insert(e.kind);
    for (HistoryEventKind kind : kShutdown) EXPECT_TRUE(kinds.count(kind)) << historyEventKey(kind);
}

// Last in the suite: the thread it leaves behind finishes on its own, in state it shares with
// nobody who has gone.
TEST(History, TheEndWaitsNoLongerThanItsBoundForAStalledFile) {
    constexpr int kEndWaitMs = 100;
    StalledHistory stalled(kEndWaitMs);
    for (HistoryEventKind kind : kShutdown) stalled.history->record(kind);
    const auto start = std::chrono::steady_clock::now();
    stalled.history.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(kEndWaitMs + 900));
    EXPECT_TRUE(stalled.shutdownLogged(0));
}

}  // namespace
}  // namespace ups
