// The event journal end to end: what record() is given reaches the history file and the system
// log; a file that cannot be kept leaves the system log with every event; a killed process loses
// no event it reported as written; old events go.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <optional>
#include <set>

#include "history/historyDb.h"
#include "history/journalWriter.h"
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

TEST(Journal, EveryKindReachesTheFileAndTheSystemLogWithItsFields) {
    test::TempDir dir("journal");
    const std::string path = (dir.path / "historial.db").string();
    test::VirtualTime time(46'000.25);
    RecordedSystemLog log;
    std::vector<HistoryEvent> sent;
    {
        JournalWriter journal(path, time, log);
        for (HistoryEventKind kind : allHistoryEventKinds()) {
            time.advanceMs(1500);
            // Accents, quotes, a separator and a line end: the details are kept byte for byte.
            const std::string details = std::string(historyEventKey(kind)) + " «ñ» 'x', \"y\"\n";
            sent.push_back({time.now(), kind, details});
            journal.record(kind, details);
        }
        ASSERT_TRUE(journal.flush(kFlushMs));
        EXPECT_TRUE(journal.available());
        EXPECT_FALSE(journal.takeUnavailableNotice());
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
    // Run in the child before the journal opens the file.
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
    test::TempDir dir("journal");
    const std::string path = (dir.path / "historial.db").string();
    fault.prepare(path);
    const std::string before = fileBytes(path);
    constexpr int kEvents = 30;

    Child child = runInChild([&](int fd) {
        fault.inChild();
        test::VirtualTime time;
        RecordedSystemLog log;
        JournalWriter journal(path, time, log);
        for (int i = 0; i < kEvents; ++i) {
            journal.record(HistoryEventKind::noticeShown,
                           std::to_string(i) + std::string(3000, 'x'));
        }
        say(fd, journal.flush(kFlushMs) ? "flushed" : "stuck");
        say(fd, journal.available() ? "available" : "unavailable");
        say(fd, "notices " + std::to_string(journal.takeUnavailableNotice() +
                                            journal.takeUnavailableNotice()));
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

TEST(Journal, AKilledProcessLosesNoEventItReportedAsWritten) {
    test::TempDir dir("journal");
    const std::string path = (dir.path / "historial.db").string();

    Child child = runInChild([&](int fd) {
        test::VirtualTime time;
        RecordedSystemLog log;
        JournalWriter journal(path, time, log);
        // Bursts of one to five events, each burst reported once it is written; the next waits
        // for the test, so the kill comes right after a report.
        for (int next = 0, burst = 1; next < 100'000; burst = burst % 5 + 1) {
            const int first = next;
            for (int i = 0; i < burst; ++i) {
                journal.record(HistoryEventKind::mainsFailed, std::to_string(next++));
            }
            if (!journal.flush(kFlushMs) || !journal.available()) return;
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

TEST(Journal, EventsPastTheRetentionGoAtTheStartAndAgainADayLater) {
    test::TempDir dir("journal");
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
    JournalWriter journal(path, time, log, 365);
    journal.record(HistoryEventKind::monitorStarted);
    ASSERT_TRUE(journal.flush(kFlushMs));
    EXPECT_EQ(kept(), (std::vector<std::string>{"", "1.000000", "364.500000"}));

    time.advanceMs(0.9 * test::kMsPerDay);
    journal.record(HistoryEventKind::batteryLow);
    ASSERT_TRUE(journal.flush(kFlushMs));
    EXPECT_EQ(kept().size(), 4u) << "not yet a day since the last removal";

    time.advanceMs(0.2 * test::kMsPerDay);
    journal.record(HistoryEventKind::batteryNormal);
    ASSERT_TRUE(journal.flush(kFlushMs));
    EXPECT_EQ(kept(), (std::vector<std::string>{"", "", "", "1.000000"}));
}

}  // namespace
}  // namespace ups
