#pragma once
// A platform that touches nothing outside the process: the registry in memory, serial ports whose
// modem lines the caller sets, close and power-off requests counted instead of made, no sound,
// the system log in memory, the clock read as UTC, and no network echo. For headless runs of the
// whole monitor and for tests.
#include <array>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/null/memoryRegistryStore.h"
#include "platform/null/scriptedSerialDriver.h"
#include "platform/platform.h"

namespace ups {

class RecordedSystemControl : public SystemControl {
public:
    std::vector<std::string> closeOtherApplications() override {
        ++closeRequests;
        return applications;
    }
    std::vector<std::string> listOtherApplications() override { return applications; }
    std::string requestPowerOff() override {
        ++powerOffRequests;
        return powerOffAnswer;
    }

    int closeRequests = 0;
    int powerOffRequests = 0;
    // What the pretended desktop holds and what its pretended system answers.
    std::vector<std::string> applications;
    std::string powerOffAnswer{kPowerOffAccepted};
};

class UtcClock : public Clock {
public:
    double now() const override;
};

class ThreadSleeper : public Sleeper {
public:
    void sleepMs(int ms) override;
};

class SilentSound : public WarningSound {
public:
    void play() override { ++plays; }
    int plays = 0;
};

// The log's entries kept in memory; written by the history's thread, read by the test's.
class RecordedSystemLog : public SystemLog {
public:
    struct Entry {
        SystemLogLevel level;
        std::string text;
    };
    void write(SystemLogLevel level, std::string_view text) override {
        std::lock_guard lock(mutex_);
        entries_.push_back({level, std::string(text)});
    }
    std::vector<Entry> entries() const {
        std::lock_guard lock(mutex_);
        return entries_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

// No network: every echo goes unanswered, so an agent is never found.
class UnansweredIcmpEcho : public IcmpEchoTransport {
public:
    bool echo(const std::string&, int, IcmpEchoAnswer&) override { return false; }
};

class NullPlatform : public Platform {
public:
    SerialDriver& serial() override { return serialDriver; }
    RegistryStore& store() override { return registry; }
    SystemControl& systemControl() override { return system; }
    Clock& clock() override { return utc_; }
    Sleeper& sleeper() override { return sleeper_; }
    WarningSound& sound() override { return silence; }
    SystemLog& systemLog() override { return log; }
    IcmpEchoTransport& icmpEcho() override { return noNetwork_; }
    bool startSockets() override { return true; }
    void stopSockets() override {}
    void onTerminationRequest(std::function<void()> request) override {
        terminationRequest_ = std::move(request);
    }
    // What a signal or the console's close would do; false when nobody listens.
    bool requestTermination() {
        if (!terminationRequest_) return false;
        terminationRequest_();
        return true;
    }

    ScriptedSerialDriver serialDriver;
    MemoryRegistryStore registry;
    RecordedSystemControl system;
    SilentSound silence;
    RecordedSystemLog log;

private:
    UtcClock utc_;
    ThreadSleeper sleeper_;
    UnansweredIcmpEcho noNetwork_;
    std::function<void()> terminationRequest_;
};

}  // namespace ups
