#include "platform/win32/win32IcmpEcho.h"

// Winsock before windows.h, and the helper's types before the helper.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <vector>

namespace ups {

namespace {

constexpr std::size_t kEchoDataSize = 32;
constexpr char kDataOctet = 0x37;
// Room for the reply record, our own data echoed back, and an error report's quoted header.
constexpr std::size_t kReplySize = sizeof(ICMP_ECHO_REPLY) + kEchoDataSize + 8 + 64;

struct IcmpHandle {
    HANDLE handle = IcmpCreateFile();
    ~IcmpHandle() {
        if (handle != INVALID_HANDLE_VALUE) IcmpCloseHandle(handle);
    }
};

// The address in network byte order, as the helper reports it.
std::string dotted(IPAddr address) {
    const auto* octets = reinterpret_cast<const unsigned char*>(&address);
    std::string text;
    for (int i = 0; i < 4; ++i) {
        if (i) text += '.';
        text += std::to_string(octets[i]);
    }
    return text;
}

}  // namespace

bool Win32IcmpEcho::icmpOfStatus(unsigned long status, std::uint8_t& type, std::uint8_t& code) {
    struct Mapping {
        unsigned long status;
        std::uint8_t type;
        std::uint8_t code;
    };
    // The statuses the helper makes of ICMP messages about an IPv4 request.
    static constexpr Mapping kMappings[] = {
        {IP_SUCCESS, 0, 0},
        {IP_DEST_NET_UNREACHABLE, 3, 0},
        {IP_DEST_HOST_UNREACHABLE, 3, 1},
        {IP_DEST_PROT_UNREACHABLE, 3, 2},
        {IP_DEST_PORT_UNREACHABLE, 3, 3},
        {IP_PACKET_TOO_BIG, 3, 4},
        {IP_BAD_ROUTE, 3, 5},
        {IP_SOURCE_QUENCH, 4, 0},
        {IP_TTL_EXPIRED_TRANSIT, 11, 0},
        {IP_TTL_EXPIRED_REASSEM, 11, 1},
        {IP_PARAM_PROBLEM, 12, 0},
    };
    for (const Mapping& m : kMappings) {
        if (m.status == status) {
            type = m.type;
            code = m.code;
            return true;
        }
    }
    return false;
}

bool Win32IcmpEcho::echo(const std::string& host, int timeoutMs, IcmpEchoAnswer& answer) {
    in_addr target{};
    if (::inet_pton(AF_INET, host.c_str(), &target) != 1 || timeoutMs <= 0) return false;
    IcmpHandle icmp;
    if (icmp.handle == INVALID_HANDLE_VALUE) return false;

    char request[kEchoDataSize];
    std::fill(std::begin(request), std::end(request), kDataOctet);
    std::vector<unsigned char> reply(kReplySize);
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const DWORD count =
        IcmpSendEcho(icmp.handle, target.s_addr, request, sizeof request, nullptr, reply.data(),
                     static_cast<DWORD>(reply.size()), static_cast<DWORD>(timeoutMs));
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    const auto* record = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply.data());
    // An error report comes back as a failed call whose last error is the status of the record
    // it still wrote; any other failure wrote no record and is no answer.
    const unsigned long status = count > 0 ? record->Status : GetLastError();
    if (count == 0 && (status == IP_SUCCESS || record->Status != status)) return false;
    std::uint8_t type = 0, code = 0;
    if (!icmpOfStatus(status, type, code)) return false;
    answer.from = dotted(record->Address);
    answer.type = type;
    answer.code = code;
    // The helper times echo replies itself; an error report's time is the wait we saw.
    answer.roundTripMs =
        type == 0 ? static_cast<int>(record->RoundTripTime) : static_cast<int>(elapsed);
    return true;
}

}  // namespace ups
