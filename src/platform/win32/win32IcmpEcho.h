#pragma once
// ICMP echo through the system's ICMP helper (IcmpSendEcho), which any user may call: no raw
// socket, so no administrator. The helper reports its answer as an IP status; the core wants the
// ICMP type and code that status stands for.
#include <cstdint>
#include <string>

#include "net/pingsend.h"

namespace ups {

class Win32IcmpEcho : public IcmpEchoTransport {
public:
    bool echo(const std::string& host, int timeoutMs, IcmpEchoAnswer& answer) override;

    // The ICMP type and code of an answer the helper reported with `status`; false for a status
    // that is no answer from the network (nothing came, or the system refused the request).
    static bool icmpOfStatus(unsigned long status, std::uint8_t& type, std::uint8_t& code);
};

}  // namespace ups
