#pragma once
// An SNMP agent for agent-link tests, answered from tables instead of the network: which objects
// answer to which community and with what value, what the GETNEXT of the detection returns, and
// whether the echo comes back. Every call is recorded in order.
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "links/agentLink.h"

namespace ups::test {

struct AgentCall {
    std::string kind;  // "ping", "get", "getNext", "set"
    std::string oid;
    std::string community;
    std::string host;
    std::string value;  // SET only
    int valueType = 0;  // SET only

    bool operator==(const AgentCall&) const = default;
};

inline AgentCall agentCall(std::string kind, std::string oid, std::string community,
                           std::string host, std::string value = "", int valueType = 0) {
    AgentCall call;
    call.kind = std::move(kind);
    call.oid = std::move(oid);
    call.community = std::move(community);
    call.host = std::move(host);
    call.value = std::move(value);
    call.valueType = valueType;
    return call;
}

class ScriptedAgentTransport : public SnmpAgentTransport {
public:
    int pingResult = 1;
    // The name the GETNEXT answer carries; nothing means the agent stays silent.
    std::optional<std::string> nextName;
    bool setAnswered = true;
    std::vector<AgentCall> calls;

    // An object that answers GET with `value` when asked with `community`.
    void answer(const std::string& oid, const std::string& value,
                const std::string& community = kReadCommunity) {
        objects_[{oid, community}] = value;
    }
    void silence(const std::string& oid, const std::string& community = kReadCommunity) {
        objects_.erase({oid, community});
    }

    int ping(const std::string& host) override {
        calls.push_back(agentCall("ping", "", "", host));
        return pingResult;
    }
    bool get(const std::string& oid, const std::string& community, const std::string& host,
             std::string& value) override {
        calls.push_back(agentCall("get", oid, community, host));
        value.clear();
        const auto it = objects_.find({oid, community});
        if (it == objects_.end()) return false;
        value = it->second;
        return true;
    }
    bool getNext(std::string& oid, const std::string& community, const std::string& host,
                 std::string& value) override {
        calls.push_back(agentCall("getNext", oid, community, host));
        value.clear();
        if (!nextName) return false;
        oid = *nextName;
        return true;
    }
    bool set(const std::string& oid, const std::string& community, const std::string& host,
             const std::string& value, int valueType) override {
        calls.push_back(agentCall("set", oid, community, host, value, valueType));
        return setAnswered;
    }

    std::vector<std::string> kinds() const {
        std::vector<std::string> out;
        for (const AgentCall& c : calls) out.push_back(c.kind + " " + c.oid);
        return out;
    }

private:
    std::map<std::pair<std::string, std::string>, std::string> objects_;
};

}  // namespace ups::test
