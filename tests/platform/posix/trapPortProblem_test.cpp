#include "platform/common/trapPortProblem.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/sockets.h"

using namespace ups;

namespace {

// What the user reads for each cause of a failed bind.
TEST(TrapPortProblem, NamesTheCauseTheUserCanActOn) {
    struct Case {
        TrapPortFacts facts;
        std::string says;
    } cases[] = {
        {{sys::kErrAddressInUse, 162, "Captura de SNMP", true},
         "lo ocupa el servicio \"Captura de SNMP\" de Windows"},
        {{sys::kErrAccess, 162, "", true}, "lo ocupa otro programa"},
        {{sys::kErrAddressInUse, 162, "", false}, "lo ocupa otro programa"},
        {{sys::kErrAccess, 162, "", false}, "no tiene permiso"},
        {{sys::kErrNoBuffers, 1162, "", false}, "UDP 1162 no se puede usar (error 10055)"},
    };
    for (const Case& c : cases) {
        const std::string text = trapPortProblemText(c.facts);
        EXPECT_NE(text.find(c.says), std::string::npos) << text;
        EXPECT_EQ(text.find("No se reciben los traps del agente"), 0u) << text;
    }
    EXPECT_EQ(trapPortProblemText({0, 162, "Captura de SNMP", true}), "");
}

// The probe binds for real: a port held on loopback is reported in use, and is free again once
// let go.
TEST(TrapPortProblem, TheProbeFindsAPortHeldByAnotherSocket) {
    const int held = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(held, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(held, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    ::getsockname(held, reinterpret_cast<sockaddr*>(&address), &length);
    const std::uint16_t port = ntohs(address.sin_port);
    EXPECT_EQ(tryBindUdp("127.0.0.1", port), sys::kErrAddressInUse);
    ::close(held);
    EXPECT_EQ(tryBindUdp("127.0.0.1", port), 0);
}

}  // namespace
