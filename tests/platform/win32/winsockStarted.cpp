// Every socket in a Windows test program needs the socket library started first, as the monitor
// does at its entry; linked into each program that opens one.
#include <gtest/gtest.h>

#include "net/sockets.h"

namespace {

class WinsockStarted : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(ups::SocketInterfaceStartup()); }
    void TearDown() override { ups::SocketInterfaceCleanup(); }
};
const auto* const kWinsock = ::testing::AddGlobalTestEnvironment(new WinsockStarted);

}  // namespace
