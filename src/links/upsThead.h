#pragma once
// The trap listener: a thread that waits for the UPS agent's SNMP v1 traps and stores what they
// say in the TrapFields the supervisor tick reads. It is created suspended, started by the first
// Resume, paused while the configuration dialog rewrites the agent's address, and stopped and
// joined by Terminate or its destructor.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "config/cfgRecords.h"
#include "links/trapFields.h"
#include "links/trapRules.h"
#include "net/snmpsend.h"

namespace ups {

struct TrapListenerOptions {
    std::string address = "0.0.0.0";
    std::string port = kSnmpTrapPort;  // "0" lets the system choose; see boundPort()
    // How long one receive waits. Terminate wakes the wait with datagrams of its own, so nothing
    // needs the wait to run out: an idle listener wakes once an hour.
    int receiveWaitMs = 3'600'000;
    // Pause before binding again when the trap port is held by another program, and after a
    // receive that failed at once.
    int bindRetryMs = 1000;
    // A burst of traps waits in the system's queue while the thread handles the first ones.
    int receiveBufferBytes = 4 * 1024 * 1024;
};

class TrapCatch {
public:
    // `agentConfig` is read for every trap (its ipAgent), never while the listener is paused.
    TrapCatch(const CfgSnmp& agentConfig, TrapFields& fields, TrapListenerOptions options = {});
    ~TrapCatch();
    TrapCatch(const TrapCatch&) = delete;
    TrapCatch& operator=(const TrapCatch&) = delete;

    // The first call seeds lineState and batteryState from the supervisor's state, clears the
    // notice and refresh flags and starts the thread; a later call ends a pause and ignores its
    // arguments (the GUI copies a fresh state into the fields itself).
    void Resume(bool lineOk, bool batteryLow);
    // Takes effect between two receive attempts or inside the wait; a trap already received is
    // held until the next Resume, as is everything the system queues meanwhile.
    void Pause();
    // Called on the listener's thread each time a trap has changed the fields, after the change
    // is visible there. Set before the first Resume.
    void setOnStored(std::function<void()> onStored) { onStored_ = std::move(onStored); }
    // Asks the thread to end, wakes it and waits for it. Safe to call more than once and on a
    // listener that never started.
    void Terminate();

    bool started() const;
    bool paused() const;
    // True once the trap port is bound; until then traps sent to it are lost.
    bool listening() const { return listening_.load(std::memory_order_acquire); }
    int boundPort() const { return boundPort_.load(std::memory_order_acquire); }
    // Attempts to bind the trap port that failed (another program holds it, or no right to it).
    std::uint64_t bindFailures() const { return bindFailures_.load(std::memory_order_acquire); }
    // Datagrams that decoded as SNMP messages and were handled, and those of them that changed
    // the fields. A handled trap is counted after its effect is visible in the fields.
    std::uint64_t trapsReceived() const { return trapsReceived_.load(std::memory_order_acquire); }
    std::uint64_t trapsActedOn() const { return trapsActedOn_.load(std::memory_order_acquire); }

private:
    void run();
    void listen();
    bool bindTrapPort(TSNMPSend& snmp);
    // Blocks while paused; false once termination is requested.
    bool waitUntilRunning(std::unique_lock<std::mutex>& lock);
    // Sleeps up to `ms` unless termination is requested first; false when it was.
    bool sleepUnlessTerminated(int ms);
    void handleTrap(const TSNMPSend& snmp);
    void wakeReceiver();
    void knockUntilEnded();

    static constexpr int kKnockIntervalMs = 50;

    const CfgSnmp& agentConfig_;
    TrapFields& fields_;
    const TrapListenerOptions options_;
    std::function<void()> onStored_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool paused_ = false;
    bool terminated_ = false;
    bool started_ = false;
    bool ended_ = false;  // the thread has left its loop
    std::thread thread_;

    std::atomic<bool> listening_{false};
    std::atomic<int> boundPort_{0};
    std::atomic<std::uint64_t> bindFailures_{0};
    std::atomic<std::uint64_t> trapsReceived_{0};
    std::atomic<std::uint64_t> trapsActedOn_{0};
};

}  // namespace ups
