#pragma once
// A UPS with an SNMP v1 agent, for trying the monitor without the hardware and for tests: it
// serves the UPS's enterprise objects, obeys the command SET (battery test, or alarm silence
// during a power event) and sends the agent's traps when its state changes. It is driven by text
// commands, one per line; see commandHelp().
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "net/snmpsend.h"

namespace ups::sim {

struct SimulatorOptions {
    std::string agentAddress = "127.0.0.1";
    std::string agentPort = "161";  // "0": the system picks one, see UpsSimulator::agentPort()
    std::string trapHost = "127.0.0.1";
    std::string trapPort = "162";
    // The agent address written inside each trap; empty: the agent's own address (127.0.0.1 when
    // the agent listens on every address).
    std::string trapAgentAddress;
    std::string writeCommunity = "privada";
    std::string trapCommunity = "public";
    std::int32_t enterprise = 27431;
    std::string upsName = "UPS Simulada Korvan";
    std::string upsSerial = "SIM0000001";
    std::string upsModel = "Simulador 1200VA";
    bool testFails = false;
    int testSeconds = 10;
    // Seconds into a failing test at which the battery reports low.
    int testFailAfterSeconds = 3;
};

struct SimulatorState {
    bool lineOk = true;
    bool batteryLow = false;
    bool alarmOn = false;  // sounds during a power event until silenced
    bool testRunning = false;
    bool silent = false;  // the agent answers nothing
    std::int32_t adminMinutes = -1;
};

enum class CommandOutcome { Done, Unknown, BadArgument, Quit };

class UpsSimulator {
public:
    // Every request, answer, trap and state change is written to `log`, one line each.
    UpsSimulator(SimulatorOptions options, std::ostream& log);
    ~UpsSimulator();
    UpsSimulator(const UpsSimulator&) = delete;
    UpsSimulator& operator=(const UpsSimulator&) = delete;

    // Binds the agent's port and starts answering. False (with the reason logged) when the port
    // cannot be bound.
    bool start();
    void stop();

    // Runs one command line ("mains off", "admin 5", ...). Blank lines and "#" comments do
    // nothing; "sleep" blocks the caller.
    CommandOutcome execute(const std::string& line);

    int agentPort() const { return agentPort_; }
    SimulatorState state() const;
    std::uint64_t trapsSent() const { return trapsSent_.load(); }
    std::uint64_t requestsAnswered() const { return requestsAnswered_.load(); }
    std::uint64_t requestsIgnored() const { return requestsIgnored_.load(); }

    // The answer to one request datagram; empty when the agent stays silent. Public so that tests
    // can check the agent without a socket.
    std::string answer(const std::string& datagram, const std::string& from);

    static const char* commandHelp();

private:
    struct Object;
    using Clock = std::chrono::steady_clock;

    void serve();
    void advanceBatteryTest();
    std::vector<Object> objects() const;
    std::string enterpriseOid() const;
    void answerGet(const TSNMPRec& request, TSNMPRec& reply, bool next) const;
    void answerSet(const TSNMPRec& request, TSNMPRec& reply, bool mayWrite);
    void obeyCommand();

    void setLine(bool ok);
    void setBattery(bool low);
    void sendStatusTrap();
    void sendAdminTrap(std::int32_t minutes, bool cancelled);
    void sendColdStart();
    void sendTrap(TSNMPRec& trap, const std::string& what);
    std::int32_t uptimeTicks() const;
    void say(const std::string& line);
    std::string trapAgent() const;

    SimulatorOptions options_;
    std::ostream& log_;
    mutable std::mutex mutex_;
    std::mutex logMutex_;
    SimulatorState state_;
    Clock::time_point started_ = Clock::now();
    Clock::time_point testStarted_;
    TUDPBlockSocket agentSocket_;
    TUDPBlockSocket trapSocket_;
    int agentPort_ = 0;
    std::thread server_;
    std::atomic<bool> stopping_{false};
    bool muteTrapLog_ = false;  // a burst logs one line, not one per trap
    std::atomic<std::uint64_t> trapsSent_{0};
    std::atomic<std::uint64_t> requestsAnswered_{0};
    std::atomic<std::uint64_t> requestsIgnored_{0};
};

}  // namespace ups::sim
