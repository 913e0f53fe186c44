// The power-off request against a fake logind on a private bus that records each call.
#include "platform/posix/logindPowerOff.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/posixSystemControl.h"

using namespace ups;
namespace fs = std::filesystem;

extern char** environ;

namespace {

constexpr auto kWaitLimit = std::chrono::seconds(5);

bool onPath(const std::string& program) {
    const char* path = getenv("PATH");
    std::string dirs = path ? path : "";
    for (std::size_t start = 0; start <= dirs.size();) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        if (access((dirs.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

std::string readAll(const fs::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
}

class LogindPowerOffTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "test_platform";
            static char* argv[] = {name, nullptr};
            new QCoreApplication(argc, argv);
        }
    }

    void SetUp() override {
        if (!onPath("dbus-daemon")) GTEST_SKIP() << "dbus-daemon is not installed";
        scratch_ = fs::temp_directory_path() / ("logind-" + std::to_string(getpid()));
        fs::create_directories(scratch_);
        startBus();
        ASSERT_FALSE(address_.empty());
    }

    void TearDown() override {
        if (bus_) QDBusConnection::disconnectFromBus(kConnectionName);
        if (logindPid_ > 0) {
            kill(logindPid_, SIGTERM);
            waitpid(logindPid_, nullptr, 0);
        }
        if (busPid_ > 0) kill(busPid_, SIGTERM);  // forked off and reparented: not ours to reap
        if (!scratch_.empty()) fs::remove_all(scratch_);
    }

    // A session-type bus of our own; it forks into the background and prints its address and pid.
    void startBus() {
        FILE* out = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        ASSERT_NE(out, nullptr);
        char line[512];
        if (fgets(line, sizeof line, out)) {
            address_ = std::string(line).substr(0, strcspn(line, "\n"));
        }
        if (fgets(line, sizeof line, out)) busPid_ = std::stoi(line);
        pclose(out);
    }

    void startFakeLogind() {
        std::vector<std::string> args{UPS_FAKE_LOGIND, address_, record().string()};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ASSERT_EQ(posix_spawn(&logindPid_, argv[0], nullptr, nullptr, argv.data(), environ), 0);
        ASSERT_TRUE(waitUntil([&] {
            return bus().interface()->isServiceRegistered("org.freedesktop.login1").value();
        })) << "the fake logind did not come up";
    }

    template <typename Condition>
    bool waitUntil(Condition condition) {
        const auto end = std::chrono::steady_clock::now() + kWaitLimit;
        while (std::chrono::steady_clock::now() < end) {
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return condition();
    }

    QDBusConnection bus() {
        bus_ = true;
        return QDBusConnection::connectToBus(QString::fromStdString(address_), kConnectionName);
    }

    fs::path record() const { return scratch_ / "calls.txt"; }

    static inline const QString kConnectionName = QStringLiteral("logind-test");
    fs::path scratch_;
    std::string address_;
    pid_t busPid_ = -1;
    pid_t logindPid_ = -1;
    bool bus_ = false;
};

TEST_F(LogindPowerOffTest, CallsPowerOffWithoutInteractiveAuthentication) {
    startFakeLogind();

    LogindPowerOff powerOff(bus());
    EXPECT_TRUE(powerOff.requestPowerOff());

    EXPECT_EQ(readAll(record()), "PowerOff false\n") << "one call, its argument false";
}

TEST_F(LogindPowerOffTest, WithNoLogindOnTheBusTheRequestFailsQuietly) {
    LogindPowerOff powerOff(bus());
    EXPECT_FALSE(powerOff.requestPowerOff());
    EXPECT_FALSE(fs::exists(record()));
}

TEST_F(LogindPowerOffTest, TheSystemControlPowersOffThroughLogindAndClosesNothingWithoutX) {
    startFakeLogind();
    PosixSystemControl control(X11WindowCloser(getpid(), ":4093"), LogindPowerOff(bus()));

    control.closeOtherApplications();
    control.requestPowerOff();

    EXPECT_EQ(readAll(record()), "PowerOff false\n");
}

TEST(LogindPowerOff, WithoutABusNothingIsSent) {
    LogindPowerOff powerOff(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/korvan-ups-bus"), QStringLiteral("no-bus")));
    EXPECT_FALSE(powerOff.requestPowerOff());
    QDBusConnection::disconnectFromBus(QStringLiteral("no-bus"));
}

}  // namespace
