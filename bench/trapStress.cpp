// The trap listener (TrapCatch) under load, on a loopback port of its own:
//   trapStress burst N   N valid status traps sent as fast as the socket takes them; counts how
//                        many the listener handled (lost = N - handled) and the system's UDP
//                        receive-buffer drops meanwhile.
//   trapStress flood N   N datagrams of random bytes and malformed SNMP (mutated, truncated and
//                        re-typed traps, nested and over-long lengths), paced so that the
//                        listener reads them all; samples the process's RSS and the listener
//                        thread's CPU time every N/10 datagrams, then checks that a valid trap
//                        still acts.
// Output: key=value lines; the exit status is 0 when the run holds (no loss in a burst; a valid
// trap acted after the flood).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "config/configStore.h"
#include "links/agentLink.h"
#include "links/upsThead.h"
#include "net/blcksock.h"
#include "net/snmpsend.h"
#include "statusTrap.h"

namespace {

using namespace ups;
using Clock = std::chrono::steady_clock;

using bench::statusTrap;

long statusField(const char* name) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(name);
    while (std::getline(in, line)) {
        if (line.compare(0, n, name) == 0 && line.size() > n && line[n] == ':') {
            return std::atol(line.c_str() + n + 1);
        }
    }
    return -1;
}

// Nanoseconds on a CPU of every thread of this process but the main one (the listener).
long long listenerCpuNs() {
    long long total = 0;
    const std::string self = std::to_string(getpid());
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        if (task.path().filename() == self) continue;
        std::ifstream in(task.path() / "schedstat");
        long long ns = 0;
        if (in >> ns) total += ns;
    }
    return total;
}

// Bytes waiting in the receive queue of the local UDP port, from /proc/net/udp.
long receiveQueue(int port) {
    std::ifstream in("/proc/net/udp");
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues;
        fields >> slot >> local >> remote >> state >> queues;
        const std::size_t colon = local.find(':');
        if (colon == std::string::npos) continue;
        if (std::stoi(local.substr(colon + 1), nullptr, 16) != port) continue;
        const std::size_t q = queues.find(':');
        return std::stol(queues.substr(q + 1), nullptr, 16);
    }
    return -1;
}

// RcvbufErrors of the system's UDP counters.
long udpReceiveBufferErrors() {
    std::ifstream in("/proc/net/snmp");
    std::string names, values;
    while (std::getline(in, names) && std::getline(in, values)) {
        if (names.rfind("Udp:", 0) != 0) continue;
        std::istringstream n(names), v(values);
        std::string name, value;
        while (n >> name && v >> value) {
            if (name == "RcvbufErrors") return std::atol(value.c_str());
        }
    }
    return -1;
}

using Listener = bench::LoopbackListener;

// Waits (up to 5 s) until the listener has read everything queued on its port.
void drain(const Listener& l) {
    for (int i = 0; i < 5000 && receiveQueue(l.trapCatch.boundPort()) > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

int burst(int count) {
    Listener l;
    if (!l.trapCatch.listening()) return 2;
    const std::string traps[2] = {statusTrap(2), statusTrap(1)};
    const long dropsBefore = udpReceiveBufferErrors();
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) l.sender.SendString(traps[i & 1]);
    const auto sent = Clock::now();
    // Done when everything is handled, or when nothing more arrives for 2 s.
    std::uint64_t last = 0;
    auto progressAt = Clock::now();
    while (l.trapCatch.trapsReceived() < static_cast<std::uint64_t>(count) &&
           Clock::now() - progressAt < std::chrono::seconds(2)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (l.trapCatch.trapsReceived() != last) {
            last = l.trapCatch.trapsReceived();
            progressAt = Clock::now();
        }
    }
    const auto handled = Clock::now();
    const auto received = l.trapCatch.trapsReceived();
    const long lost = count - static_cast<long>(received);
    std::printf(
        "burst sent=%d handled=%llu lost=%ld rcvbuf_drops=%ld send_ms=%.1f handled_ms=%.1f\n",
        count, static_cast<unsigned long long>(received), lost,
        udpReceiveBufferErrors() - dropsBefore,
        std::chrono::duration<double, std::milli>(sent - start).count(),
        std::chrono::duration<double, std::milli>(handled - start).count());
    return lost == 0 ? 0 : 1;
}

// One datagram that is no valid trap of this UPS.
std::string garbage(std::mt19937& random, const std::vector<std::string>& valid) {
    std::uniform_int_distribution<int> kind(0, 7), byte(0, 255);
    const std::string& base = valid[random() % valid.size()];
    std::string d;
    switch (kind(random)) {
        case 0: {  // random bytes of any length up to a full Ethernet frame
            d.resize(1 + random() % 1472);
            for (char& c : d) c = static_cast<char>(byte(random));
            break;
        }
        case 1: {  // random bytes behind a SEQUENCE header
            d.resize(2 + random() % 300);
            for (char& c : d) c = static_cast<char>(byte(random));
            d[0] = 0x30;
            break;
        }
        case 2: {  // a valid trap with a few octets changed
            d = base;
            for (int n = 1 + random() % 4; n > 0; --n)
                d[random() % d.size()] = static_cast<char>(byte(random));
            break;
        }
        case 3:  // a valid trap cut short
            d = base.substr(0, random() % base.size());
            break;
        case 4: {  // a valid trap with one length octet claiming more than there is
            d = base;
            const std::size_t at = 1 + random() % (d.size() - 1);
            d[at] = static_cast<char>(0x80 | (1 + random() % 4));
            break;
        }
        case 5: {  // deeply nested constructed items, indefinite and long-form lengths
            const int depth = 1 + random() % 400;
            for (int i = 0; i < depth; ++i) {
                d += static_cast<char>(0x30);
                d += static_cast<char>(random() % 2 ? 0x80 : 0x84);
                if (static_cast<unsigned char>(d.back()) == 0x84)
                    d += std::string("\x7f\xff\xff\xff", 4);
            }
            break;
        }
        case 6: {  // a trap with the PDU type changed
            d = base;
            const std::size_t pdu = d.find(static_cast<char>(0xA4));
            if (pdu != std::string::npos) d[pdu] = static_cast<char>(0xA0 + random() % 32);
            break;
        }
        default: {  // a valid trap with trailing junk
            d = base;
            for (int n = random() % 64; n > 0; --n) d += static_cast<char>(byte(random));
            break;
        }
    }
    if (d.empty()) d = "\x30";
    return d;
}

int flood(int count) {
    Listener l;
    if (!l.trapCatch.listening()) return 2;
    std::mt19937 random(20261208);
    // Traps from another agent address or of another enterprise are well-formed but must not act.
    std::vector<std::string> valid = {statusTrap(2), statusTrap(1, 2)};
    const int step = std::max(1, count / 10);
    // Warm-up: the first datagrams settle the allocator and the socket.
    for (int i = 0; i < 1000; ++i) l.sender.SendString(garbage(random, valid));
    drain(l);
    const long dropsBefore = udpReceiveBufferErrors();
    const long rssStart = statusField("VmRSS");
    const long long cpuStart = listenerCpuNs();
    const auto start = Clock::now();
    long rssMax = rssStart;
    std::printf("flood sample sent=0 rss_kb=%ld listener_cpu_ms=0.0\n", rssStart);
    for (int i = 1; i <= count; ++i) {
        l.sender.SendString(garbage(random, valid));
        // Paced: the listener reads everything instead of the system dropping the excess.
        if (i % 500 == 0) drain(l);
        if (i % step == 0) {
            drain(l);
            const long rss = statusField("VmRSS");
            rssMax = std::max(rssMax, rss);
            std::printf("flood sample sent=%d rss_kb=%ld listener_cpu_ms=%.1f\n", i, rss,
                        (listenerCpuNs() - cpuStart) / 1e6);
            std::fflush(stdout);
        }
    }
    drain(l);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const long long cpuNs = listenerCpuNs() - cpuStart;
    // Idle afterwards: the listener waits in its receive, it does not spin.
    const long long idleFrom = listenerCpuNs();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double idleCpuMs = (listenerCpuNs() - idleFrom) / 1e6;

    const auto actedBefore = l.trapCatch.trapsActedOn();
    l.fields.seedState(true, false);
    l.sender.SendString(statusTrap(2));
    bool acted = false;
    for (int i = 0; i < 2000 && !acted; ++i) {
        acted = l.trapCatch.trapsActedOn() > actedBefore &&
                l.fields.lineState.load(std::memory_order_acquire) == 2;
        if (!acted) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const long rssEnd = statusField("VmRSS");
    std::printf("flood rcvbuf_drops=%ld\n", udpReceiveBufferErrors() - dropsBefore);
    std::printf(
        "flood sent=%d seconds=%.1f listener_cpu_ms=%.1f cpu_us_per_datagram=%.2f "
        "listener_busy_pct=%.1f idle_cpu_ms_per_2s=%.2f rss_start_kb=%ld rss_end_kb=%ld "
        "rss_max_kb=%ld decoded_as_snmp=%llu acted_on=%llu valid_trap_acted=%s\n",
        count, seconds, cpuNs / 1e6, cpuNs / 1e3 / count, 100.0 * cpuNs / 1e9 / seconds, idleCpuMs,
        rssStart, rssEnd, rssMax, static_cast<unsigned long long>(l.trapCatch.trapsReceived()),
        static_cast<unsigned long long>(actedBefore), acted ? "yes" : "no");
    return acted ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s burst|flood COUNT\n", argv[0]);
        return 2;
    }
    const int count = std::atoi(argv[2]);
    if (count <= 0) return 2;
    if (!std::strcmp(argv[1], "burst")) return burst(count);
    if (!std::strcmp(argv[1], "flood")) return flood(count);
    std::fprintf(stderr, "unknown mode %s\n", argv[1]);
    return 2;
}
