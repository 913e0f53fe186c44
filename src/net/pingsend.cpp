#include "net/pingsend.h"

namespace ups {

namespace {

constexpr std::uint8_t kEchoReply = 0;
constexpr std::uint8_t kDestinationUnreachable = 3;
constexpr std::uint8_t kTimeExceeded = 11;

}  // namespace

bool TPINGSend::Ping(const std::string& host) {
    PingTime = -1;
    ReplyFrom.clear();
    ReplyType = 0;
    ReplyCode = 0;
    ReplyError = IE_NoError;
    ReplyErrorDesc.clear();

    IcmpEchoAnswer answer;
    if (!transport_.echo(host, Timeout, answer)) return false;
    // The budget holds whatever the system's wait did: a later answer is no answer.
    if (answer.roundTripMs > Timeout) return false;
    PingTime = answer.roundTripMs;
    ReplyFrom = answer.from;
    ReplyType = answer.type;
    ReplyCode = answer.code;
    classify();
    return true;
}

void TPINGSend::classify() {
    struct Class {
        TICMPError error;
        const char* text;
    };
    Class found{IE_Other, "Unknown error"};
    if (ReplyType == kEchoReply) {
        found = {IE_NoError, ""};
    } else if (ReplyType == kTimeExceeded) {
        found = {IE_TTLExceed, "TTL Exceeded"};
    } else if (ReplyType == kDestinationUnreachable) {
        switch (ReplyCode) {
            case 0:
                found = {IE_UnreachRoute, "No route to destination"};
                break;
            case 1:
                found = {IE_UnreachAddr, "Address unreachable"};
                break;
            case 3:
                found = {IE_UnreachPort, "Port unreachable"};
                break;
            case 13:
                found = {IE_UnreachAdmin, "Administratively prohibited"};
                break;
            default:
                found = {IE_UnreachOther, "Unknown unreachable"};
                break;
        }
    }
    ReplyError = found.error;
    ReplyErrorDesc = found.text;
}

int PingHost(IcmpEchoTransport& transport, const std::string& host, int timeoutMs) {
    TPINGSend ping(transport);
    ping.Timeout = timeoutMs;
    if (!ping.Ping(host) || ping.ReplyError != IE_NoError) return -1;
    return ping.PingTime;
}

}  // namespace ups
