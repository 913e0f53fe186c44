#pragma once
// An ICMP echo answered from a script instead of the network: the answer every echo gets (an echo
// reply from the asked host after 1 ms unless a test says otherwise), and the echoes asked for.
#include <optional>
#include <string>
#include <vector>

#include "net/pingsend.h"

namespace ups::test {

class ScriptedIcmpEcho : public IcmpEchoTransport {
public:
    struct Request {
        std::string host;
        int timeoutMs = 0;

        bool operator==(const Request&) const = default;
    };

    // Nothing means no answer within the wait. An empty `from` stands for the asked host.
    std::optional<IcmpEchoAnswer> answer = IcmpEchoAnswer{"", 0, 0, 1};
    std::vector<Request> requests;

    bool echo(const std::string& host, int timeoutMs, IcmpEchoAnswer& out) override {
        requests.push_back({host, timeoutMs});
        if (!answer) return false;
        out = *answer;
        if (out.from.empty()) out.from = host;
        return true;
    }
};

}  // namespace ups::test
