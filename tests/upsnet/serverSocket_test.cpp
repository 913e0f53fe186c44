// The server over real loopback sockets: framing, pipelining, and the caps that keep one hostile
// or stuck client from holding the others up. Time is the rig's own clock, moved by the test; the
// sockets are waited on, never slept on.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "net/sockets.h"
#include "upsnet/passwordHash.h"
#include "upsnet/upsServer.h"

namespace ups {
namespace {

using sys::SocketHandle;

struct SteppedClock : Clock {
    double now() const override { return 0; }
    std::int64_t monotonicMs() const override { return ms.load(); }
    std::atomic<std::int64_t> ms{1'000'000};
};

class ServerRig {
public:
    explicit ServerRig(UpsServerOptions options = {}) {
        options.listen = {{0x7F000001u, 0}};
        options.session.version = "1.4.0";
        options.session.users = {makeNetworkUser("mon", NetworkRole::Follower, "pw", 1)};
        server_ = std::make_unique<UpsServer>(options, clock);
        EXPECT_EQ(server_->start(), 0);
        ServedState state;
        state.linkAlive = true;
        server_->setState(state);
    }
    ~ServerRig() {
        server_->stop();
        for (const SocketHandle socket : sockets_) sys::closeSocket(socket);
    }
    UpsServer& server() { return *server_; }

    SocketHandle connect() {
        int error = 0;
        const SocketHandle socket = sys::openTcpSocket(error);
        sockets_.push_back(socket);
        EXPECT_EQ(sys::setNonBlocking(socket, true), 0);
        const int started = sys::startConnect(socket, server_->listening().at(0));
        EXPECT_TRUE(started == 0 || started == sys::kErrWouldBlock) << started;
        sys::PollEntry entry{socket, false, true};
        EXPECT_EQ(sys::waitSockets(&entry, 1, 5000), 0);
        EXPECT_EQ(sys::connectResult(socket), 0);
        return socket;
    }
    // Sends until the system takes no more; the octets taken.
    static std::size_t send(SocketHandle socket, std::string_view text) {
        std::size_t total = 0;
        while (total < text.size()) {
            std::size_t sent = 0;
            if (sys::sendSome(socket, text.substr(total), sent) != 0 || sent == 0) break;
            total += sent;
        }
        return total;
    }
    // Reads until `length` octets came, the peer hung up or five seconds passed.
    static std::string read(SocketHandle socket, std::size_t length, bool* closed = nullptr) {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (got.size() < length && std::chrono::steady_clock::now() < deadline) {
            sys::PollEntry entry{socket, true, false};
            sys::waitSockets(&entry, 1, 100);
            std::string chunk;
            int error = 0;
            const sys::StreamRead outcome = sys::readSome(socket, 65536, chunk, error);
            if (outcome == sys::StreamRead::Closed || outcome == sys::StreamRead::Failed) {
                if (closed) *closed = true;
                break;
            }
            got += chunk;
        }
        return got;
    }
    static bool hungUp(SocketHandle socket) {
        bool closed = false;
        read(socket, std::string::npos, &closed);
        return closed;
    }
    // One request on a fresh connection of its own.
    std::string ask(std::string_view request, std::size_t length) {
        const SocketHandle socket = connect();
        send(socket, request);
        return read(socket, length);
    }
    // Waits (on the wall clock, at most five seconds) for the server's thread to see something.
    template <typename Condition>
    static bool eventually(Condition condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::yield();
        }
        return true;
    }

    SteppedClock clock;

private:
    std::unique_ptr<UpsServer> server_;
    std::vector<SocketHandle> sockets_;
};

TEST(ServerSocket, AnswersPipelinedRequestsInOrder) {
    ServerRig rig;
    const std::string expected =
        "1.3\nVAR ups ups.status \"OL\"\nBEGIN LIST RW ups\nEND LIST RW ups\n"
        "ERR UNKNOWN-COMMAND\nVAR ups ups.status \"OL FSD\"\nOK Goodbye\n";
    const SocketHandle socket = rig.connect();
    ServerRig::send(socket, "NETVER\r\nGET VAR ups ups.status\r\nLIST RW ups\nNOSUCH\nGET VA");
    const std::string first = ServerRig::read(socket, 77);
    rig.server().setForcedShutdown();
    ServerRig::send(socket, "R ups ups.status\nLOGOUT\nNETVER\n");
    bool closed = false;
    EXPECT_EQ(first + ServerRig::read(socket, std::string::npos, &closed), expected);
    EXPECT_TRUE(closed);
}

TEST(ServerSocket, HangsUpOnALineLongerThanTheCap) {
    UpsServerOptions options;
    options.maxLineOctets = 1024;
    ServerRig rig(options);
    const SocketHandle flood = rig.connect();
    ServerRig::send(flood, std::string(200'000, 'x'));
    bool closed = false;
    EXPECT_EQ(ServerRig::read(flood, std::string::npos, &closed), "ERR INVALID-ARGUMENT\n");
    EXPECT_TRUE(closed);
    EXPECT_EQ(rig.ask("NETVER\n", 4), "1.3\n");
}

TEST(ServerSocket, DropsAClientThatNeverReadsAndKeepsAnsweringTheOthers) {
    UpsServerOptions options;
    options.stalledMs = 10'000;
    // Only the stall may drop the stuck client here: never the silence, nor room for newcomers.
    options.idleMs = std::int64_t{1} << 50;
    options.maxConnections = 256;
    ServerRig rig(options);
    const SocketHandle stuck = rig.connect();
    std::string requests;
    for (int i = 0; i < 5000; ++i) requests += "LIST VAR ups\n";
    // Its answers pile up until the server stops reading it, and then the system's buffers fill:
    // sent until the connection stays full for a while (the system grows its buffers at first).
    std::size_t sent = 0;
    for (bool full = false; !full && sent < (std::size_t{256} << 20);) {
        sent += ServerRig::send(stuck, requests);
        sys::PollEntry entry{stuck, false, true};
        sys::waitSockets(&entry, 1, 300);
        full = !entry.writable;
    }
    EXPECT_LT(sent, std::size_t{256} << 20);
    // A full connection does not yet mean the server has stopped answering it: a slow system may
    // still be working through the requests, and a turn that sends all that waits starts the
    // stall anew. So the clock moves past the stall time before each turn of the server's, until
    // the stuck client is hung up; the others are answered all along. The hang-up is seen as a
    // refused send, since reading would unstick the client.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool refused = false;
    for (int turn = 0; turn < 100 && !refused && std::chrono::steady_clock::now() < deadline;
         ++turn) {
        rig.clock.ms += options.stalledMs + 1;
        EXPECT_EQ(rig.ask("NETVER\n", 4), "1.3\n");
        std::size_t ignored = 0;
        refused = sys::sendSome(stuck, "\n", ignored) != 0;
    }
    EXPECT_TRUE(ServerRig::hungUp(stuck));
}

TEST(ServerSocket, MakesRoomForNewcomersAndCountsLoginsUntilTheyLeave) {
    UpsServerOptions options;
    options.maxConnections = 3;
    options.idleMs = 60'000;
    ServerRig rig(options);
    const SocketHandle follower = rig.connect();
    ServerRig::send(follower, "USERNAME mon\nPASSWORD pw\nLOGIN ups\n");
    EXPECT_EQ(ServerRig::read(follower, 9), "OK\nOK\nOK\n");
    EXPECT_TRUE(ServerRig::eventually([&] { return rig.server().followersLoggedIn() == 1; }));
    rig.clock.ms += 1;
    const SocketHandle idle = rig.connect();
    ServerRig::send(idle, "NETVER\n");
    EXPECT_EQ(ServerRig::read(idle, 4), "1.3\n");
    rig.clock.ms += 1;
    const SocketHandle later = rig.connect();
    // Full: the newcomer takes the place of the client silent for longest that is not logged in.
    EXPECT_EQ(rig.ask("GET NUMLOGINS ups\n", 16), "NUMLOGINS ups 1\n");
    EXPECT_TRUE(ServerRig::hungUp(idle));
    ServerRig::send(later, "NETVER\n");
    EXPECT_EQ(ServerRig::read(later, 4), "1.3\n");

    rig.clock.ms += options.idleMs + 1;
    EXPECT_TRUE(ServerRig::hungUp(follower));
    EXPECT_TRUE(ServerRig::hungUp(later));
    EXPECT_TRUE(ServerRig::eventually([&] { return rig.server().followersLoggedIn() == 0; }));
}

}  // namespace
}  // namespace ups
