// Any bytes as one client's requests to the UPS network protocol server's session, one line after
// the other, with the state taken from the first octet: every request must end in answer lines
// that end in a line feed, carry no other line end, and stay under the 512 octets clients read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "upsnet/passwordHash.h"
#include "upsnet/serverSession.h"

namespace {

struct Host : ups::SessionHost {
    ups::ServedState served;
    bool fsd = false;
    ups::ServedState state() const override { return served; }
    bool forcedShutdown() const override { return fsd; }
    int loginCount() const override { return 3; }
    std::vector<std::string> loggedInAddresses() const override { return {"127.0.0.1"}; }
    void setForcedShutdown() override { fsd = true; }
    bool runCommand(ups::InstantCommand) override { return true; }
};

const ups::SessionConfig& config() {
    static const ups::SessionConfig made = [] {
        ups::SessionConfig c;
        c.version = "1.4.0";
        c.description = "Fuzz \"UPS\" \\";
        c.users = {ups::makeNetworkUser("adm", ups::NetworkRole::Administrator, "pw", 1)};
        return c;
    }();
    return made;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Host host;
    if (size > 0) {
        const std::uint8_t bits = data[0];
        host.served.linkAlive = bits & 1;
        host.served.lineOk = bits & 2;
        host.served.batteryLow = bits & 4;
        host.served.commandAvailable = bits & 8;
        host.fsd = bits & 16;
        host.served.link = bits & 32 ? ups::ServedLink::Snmp : ups::ServedLink::Serial;
        if (bits & 64) host.served.maker = std::string(300, '"');
        if (bits & 128) host.served.model = "a\\b\r\nc";
    }
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    ups::ServerSession session(config(), host, "127.0.0.1");
    std::size_t start = size > 0 ? 1 : 0;
    while (start < input.size() && !session.ended()) {
        std::size_t end = input.find('\n', start);
        if (end == std::string_view::npos) end = input.size();
        // The server hangs up on longer lines before a session sees them.
        if (end - start > 1024) return 0;
        std::string out;
        session.answer(input.substr(start, end - start), out);
        if (!out.empty() && out.back() != '\n') __builtin_trap();
        std::size_t lineStart = 0;
        while (lineStart < out.size()) {
            const std::size_t lineEnd = out.find('\n', lineStart);
            const std::string_view line(out.data() + lineStart, lineEnd - lineStart);
            if (line.size() + 1 >= 512 || line.find('\r') != std::string_view::npos)
                __builtin_trap();
            lineStart = lineEnd + 1;
        }
        start = end + 1;
    }
    return 0;
}
