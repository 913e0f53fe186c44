// The battery test over real sockets against the UPS simulator: the command SET starts its test,
// and the watch reads the line drop and the battery over SNMP on loopback, on the agent's thread
// and sleeping for real, so a passing test takes its full ten seconds.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <regex>
#include <thread>
#include <utility>

#include "battery/upsCommand.h"
#include "links/agentLink.h"
#include "links/agentWorker.h"
#include "net/blcksock.h"
#include "support/childProcess.h"
#include "support/recordingPrompts.h"
#include "support/scriptedIcmpEcho.h"

namespace ups::test {
namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

const fs::path kSimulator = fs::path(UPS_TEST_BINARY_DIR) / "tools" / "upssim" / "upssim";
constexpr char kWriteCommunity[] = "clave-bat";

// The battery test's agent calls on the agent's thread, each over the link made for it there.
struct WorkerRuns : AgentCommandRuns, AgentCommands {
    explicit WorkerRuns(AgentWorker& worker) : worker(worker) {}
    void run(std::function<void(AgentCommands&)> call) override {
        worker.post([this, call = std::move(call)](AgentLink& l) {
            link = &l;
            call(*this);
        });
    }
    bool sendTestCommand() override { return link->sendTestCommand(); }
    AgentStatusRead readAgentStatus() override { return link->readAgentStatus(); }
    AgentWorker& worker;
    AgentLink* link = nullptr;  // used on the agent's thread only
};

// A loopback UDP port held open for the simulator's traps, so they land on a socket of ours.
struct TrapSink {
    TrapSink() {
        fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), len) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
    }
    ~TrapSink() {
        if (fd >= 0) ::close(fd);
    }
    int fd = -1;
    int port = 0;
};

// The fixture plays the GUI thread's event loop, to which the watch hands one task at a time, and
// the agent thread's sleeper.
class UpsCommandSimulatorTest : public ::testing::Test, public TaskRunner, public Sleeper {
protected:
    void runLater(int delayMs, std::function<void()> task) override {
        later.emplace_back(delayMs, std::move(task));
    }
    void sleepMs(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    void SetUp() override {
        if (!fs::exists(kSimulator)) GTEST_SKIP() << "upssim not built at " << kSimulator;
        ASSERT_TRUE(SocketInterfaceStartup());
        ASSERT_NE(traps.port, 0);
        std::string pattern = (fs::temp_directory_path() / "bat-sim-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        std::memset(&snmp, 0, sizeof snmp);
        setFieldText(snmp.ipAgent, "127.0.0.1");
        setFieldText(snmp.snmpPass, kWriteCommunity);
        snmp.enterprise = kEnterprise;
    }
    void TearDown() override {
        if (simulator) simulator->stop();
        std::error_code ec;
        if (!dir.empty()) fs::remove_all(dir, ec);
    }

    // Starts the simulator on a free loopback port and waits until it says which.
    void startSimulator(const std::vector<std::string>& extra) {
        const fs::path log = dir / "upssim.log";
        std::string command =
            "exec '" + kSimulator.string() +
            "' --listen 127.0.0.1:0 --traps 127.0.0.1:" + std::to_string(traps.port) +
            " --write-community " + kWriteCommunity + " --no-stdin";
        for (const auto& e : extra) command += " " + e;
        command += " > '" + log.string() + "' 2>&1";
        simulator.emplace(std::vector<std::string>{"/bin/sh", "-c", command});
        ASSERT_TRUE(simulator->started());
        const std::regex listening(R"(agent listening on 127\.0\.0\.1:(\d+))");
        const auto deadline = SteadyClock::now() + std::chrono::seconds(10);
        while (SteadyClock::now() < deadline) {
            std::ifstream in(log);
            const std::string s{std::istreambuf_iterator<char>(in), {}};
            std::smatch m;
            if (std::regex_search(s, m, listening)) {
                agentPort = m[1];
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        FAIL() << "the simulator did not start listening";
    }

    // One test from start() to its outcome; start() alone must not wait for the agent.
    void runTest() {
        test::ScriptedIcmpEcho echo;
        NetAgentTransport transport(echo, agentPort, 2000, 1000);
        AgentWorker worker(snmp, transport);
        WorkerRuns runs(worker);
        UpsCommands commands(prompts, *this, *this, nullptr, &runs);
        UpsCommandContext context;
        context.agentLinkActive = context.agentCommandsOk = true;
        const auto start = SteadyClock::now();
        EXPECT_TRUE(commands.start(
            context, [&](const AgentStatusRead& r) { reads.push_back(r); },
            [&](int result) { outcome = result; }));
        EXPECT_LT(SteadyClock::now() - start, std::chrono::milliseconds(500));
        for (; !later.empty(); later.erase(later.begin())) {
            sleepMs(later.front().first);
            std::function<void()> task = std::move(later.front().second);
            task();
        }
        seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
    }

    TrapSink traps;
    fs::path dir;
    std::optional<ChildProcess> simulator;
    std::string agentPort;
    CfgSnmp snmp;
    RecordingPrompts prompts;
    std::vector<std::pair<int, std::function<void()>>> later;
    std::optional<int> outcome;
    double seconds = 0;
    std::vector<AgentStatusRead> reads;  // only the watch's last read reaches the state
};

TEST_F(UpsCommandSimulatorTest, TheSetStartsTheTestTheLineDropsAndTheBatteryHolds) {
    startSimulator({"--test-seconds", "12"});
    runTest();
    EXPECT_EQ(outcome, trPassed);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_TRUE(reads[0].lineAnswered && reads[0].batteryAnswered);
    EXPECT_FALSE(reads[0].lineOk || reads[0].batteryLow);
    EXPECT_GE(seconds, 10.0);
    EXPECT_LT(seconds, 20.0);
    EXPECT_EQ(prompts.startNotices, 1);
}

TEST_F(UpsCommandSimulatorTest, ASimulatorWhoseBatteryFailsGives2) {
    startSimulator({"--test-fails"});
    runTest();
    EXPECT_EQ(outcome, trBatteryFail);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_TRUE(reads[0].batteryLow);
    // The simulator's battery reports low three seconds into its test.
    EXPECT_GE(seconds, 2.5);
    EXPECT_LT(seconds, 8.0);
}

TEST_F(UpsCommandSimulatorTest, AWrongWriteCommunityGetsNoAnswerAndGives2WithoutAnyRead) {
    startSimulator({});
    setFieldText(snmp.snmpPass, "otra-clave");
    runTest();
    EXPECT_EQ(outcome, trBatteryFail);
    EXPECT_TRUE(reads.empty());
}

}  // namespace
}  // namespace ups::test
