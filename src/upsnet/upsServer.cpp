#include "upsnet/upsServer.h"

#include <algorithm>

#include "base/ipv4Text.h"

namespace ups {

namespace {

constexpr std::size_t kReadChunk = 4096;
// Octets taken from one client per turn, so that one busy client cannot hold the others up.
constexpr std::size_t kReadPerTurn = 16 * 1024;
// The longest wait of a turn: idle and stalled clients are looked at this often.
constexpr int kTurnMs = 250;
constexpr int kBacklog = 64;

bool validUpsName(const std::string& name) {
    if (name.empty() || name.size() > 64) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '-' || c == '.';
    });
}

}  // namespace

struct UpsServer::Connection {
    Connection(sys::SocketHandle handle, const SessionConfig& config, SessionHost& host,
               std::string peer, std::int64_t now)
        : socket(handle), session(config, host, std::move(peer)), heardAt(now), waitingSince(now) {}

    sys::SocketHandle socket;
    ServerSession session;
    std::string in;
    std::string out;
    std::int64_t heardAt;
    // Since when answers have been waiting (now while none wait).
    std::int64_t waitingSince;
    bool closing = false;
    bool gone = false;
};

bool listenEndpoints(const std::string& addresses, int port, std::vector<sys::Endpoint>& out) {
    out.clear();
    std::string word;
    const auto take = [&]() {
        if (word.empty()) return true;
        const auto address = inetAddr(word);
        word.clear();
        if (!address) return false;
        out.push_back({*address, static_cast<std::uint16_t>(port)});
        return true;
    };
    for (const char c : addresses + " ") {
        if (c == ' ' || c == ',' || c == '\t') {
            if (!take()) return false;
        } else {
            word += c;
        }
    }
    if (out.empty()) out.push_back({0x7F000001u, static_cast<std::uint16_t>(port)});
    return port >= 0 && port <= 65535;
}

bool serverOptions(const NetworkServerSettings& settings, const std::string& version,
                   UpsServerOptions& options) {
    options.session.upsName = validUpsName(settings.servedName) ? settings.servedName : "ups";
    options.session.version = version;
    options.session.users = settings.users;
    return listenEndpoints(settings.listenAddresses, settings.port, options.listen);
}

UpsServer::UpsServer(UpsServerOptions options, const Clock& clock, InstantCommandHook* hook)
    : options_(std::move(options)), clock_(clock), hook_(hook) {}

UpsServer::~UpsServer() {
    stop();
}

int UpsServer::start() {
    if (thread_.joinable()) return 0;
    bound_.clear();
    int error = 0;
    const auto fail = [this](int code) {
        for (const sys::SocketHandle listener : listeners_) sys::closeSocket(listener);
        listeners_.clear();
        bound_.clear();
        sys::closeSocket(wake_);
        wake_ = sys::kNoSocket;
        return code;
    };
    for (const sys::Endpoint& endpoint : options_.listen) {
        const sys::SocketHandle listener = sys::openTcpSocket(error);
        if (listener == sys::kNoSocket) return fail(error);
        listeners_.push_back(listener);
        sys::Endpoint local;
        if ((error = sys::setNonBlocking(listener, true)) ||
            (error = sys::setReuseAddress(listener)) ||
            (error = sys::bindSocket(listener, endpoint)) ||
            (error = sys::listenOn(listener, kBacklog)) ||
            (error = sys::localEndpoint(listener, local)))
            return fail(error);
        bound_.push_back(local);
    }
    // A datagram to this socket ends the thread's wait when stop() is called.
    wake_ = sys::openUdpSocket(error);
    if (wake_ == sys::kNoSocket) return fail(error);
    if ((error = sys::bindSocket(wake_, {0x7F000001u, 0})) ||
        (error = sys::localEndpoint(wake_, wakeAt_)))
        return fail(error);
    stopping_.store(false);
    thread_ = std::thread([this] { run(); });
    return 0;
}

void UpsServer::stop() {
    if (!thread_.joinable()) return;
    stopping_.store(true);
    sys::sendDatagram(wake_, "x", &wakeAt_);
    thread_.join();
    closeAll();
}

void UpsServer::closeAll() {
    for (const auto& connection : connections_) sys::closeSocket(connection->socket);
    connections_.clear();
    for (const sys::SocketHandle listener : listeners_) sys::closeSocket(listener);
    listeners_.clear();
    sys::closeSocket(wake_);
    wake_ = sys::kNoSocket;
    logins_.store(0, std::memory_order_release);
}

void UpsServer::setState(const ServedState& state) {
    const std::lock_guard lock(stateLock_);
    state_ = state;
}

void UpsServer::setForcedShutdown() {
    fsd_.store(true, std::memory_order_release);
}

ServedState UpsServer::state() const {
    const std::lock_guard lock(stateLock_);
    return state_;
}

int UpsServer::loginCount() const {
    return static_cast<int>(std::count_if(connections_.begin(), connections_.end(),
                                          [](const auto& c) { return c->session.loggedIn(); }));
}

std::vector<std::string> UpsServer::loggedInAddresses() const {
    std::vector<std::string> addresses;
    for (const auto& connection : connections_) {
        if (connection->session.loggedIn()) addresses.push_back(connection->session.peerAddress());
    }
    return addresses;
}

SessionHost& UpsServer::host() {
    return *this;
}

bool UpsServer::runCommand(InstantCommand command) {
    return hook_ && hook_->requestInstantCommand(command);
}

void UpsServer::run() {
    std::vector<sys::PollEntry> entries;
    while (!stopping_.load()) {
        entries.clear();
        entries.push_back({wake_, true, false});
        for (const sys::SocketHandle listener : listeners_)
            entries.push_back({listener, true, false});
        for (const auto& connection : connections_) {
            // A client whose answers pile up, or whose requests wait, is not read until they go.
            const bool wantRead = !connection->closing &&
                                  connection->out.size() < options_.pauseOctets &&
                                  connection->in.size() <= options_.maxLineOctets;
            entries.push_back({connection->socket, wantRead, !connection->out.empty()});
        }
        if (sys::waitSockets(entries.data(), entries.size(), kTurnMs) != 0) {
            // Nothing to wait on that the system accepts: a short pause, then the next turn.
            bool ignored = false;
            sys::waitReadable(wake_, kTurnMs, ignored);
            continue;
        }
        if (entries[0].readable) {
            std::string datagram;
            sys::Endpoint from;
            int error = 0;
            while (sys::readDatagram(wake_, 16, datagram, from, error) ==
                   sys::ReadOutcome::Datagram) {
            }
        }
        const std::int64_t now = clock_.monotonicMs();
        const std::size_t first = 1 + listeners_.size();
        const std::size_t served = connections_.size();
        for (std::size_t i = 0; i < served; ++i)
            serve(*connections_[i], entries[first + i].readable, now);
        for (std::size_t i = 0; i < listeners_.size(); ++i) {
            if (entries[1 + i].readable) acceptWaiting(listeners_[i]);
        }
        for (const auto& connection : connections_) {
            if (dropNow(*connection, now)) connection->gone = true;
        }
        closeGone();
        logins_.store(loginCount(), std::memory_order_release);
    }
}

void UpsServer::acceptWaiting(sys::SocketHandle listener) {
    while (true) {
        sys::Endpoint peer;
        int error = 0;
        const sys::SocketHandle socket = sys::acceptConnection(listener, peer, error);
        if (socket == sys::kNoSocket) return;
        const std::int64_t now = clock_.monotonicMs();
        closeGone();
        if (connections_.size() >= options_.maxConnections) {
            // Full: the client silent for longest makes room, unless every client is logged in.
            Connection* oldest = nullptr;
            for (const auto& connection : connections_) {
                if (!connection->session.loggedIn() &&
                    (!oldest || connection->heardAt < oldest->heardAt))
                    oldest = connection.get();
            }
            if (!oldest) {
                sys::closeSocket(socket);
                continue;
            }
            oldest->gone = true;
            closeGone();
        }
        connections_.push_back(std::make_unique<Connection>(socket, options_.session, host(),
                                                            inetNtoa(peer.address), now));
    }
}

void UpsServer::closeGone() {
    std::erase_if(connections_, [](const std::unique_ptr<Connection>& c) {
        if (!c->gone) return false;
        sys::closeSocket(c->socket);
        return true;
    });
}

void UpsServer::serve(Connection& connection, bool readable, std::int64_t now) {
    if (connection.gone) return;
    if (readable && !connection.closing) {
        std::string chunk;
        std::size_t taken = 0;
        while (taken < kReadPerTurn && connection.in.size() <= options_.maxLineOctets) {
            int error = 0;
            const sys::StreamRead read = sys::readSome(connection.socket, kReadChunk, chunk, error);
            if (read == sys::StreamRead::Nothing) break;
            if (read != sys::StreamRead::Data) {
                connection.gone = true;
                return;
            }
            connection.in += chunk;
            taken += chunk.size();
            connection.heardAt = now;
            answerLines(connection);
        }
    }
    answerLines(connection);
    if (!connection.out.empty()) {
        std::size_t sent = 0;
        if (sys::sendSome(connection.socket, connection.out, sent) != 0) {
            connection.gone = true;
            return;
        }
        if (sent > 0) {
            connection.out.erase(0, sent);
            answerLines(connection);
        }
    }
    if (connection.out.empty()) connection.waitingSince = now;
    if (connection.closing && connection.out.empty()) connection.gone = true;
}

void UpsServer::answerLines(Connection& connection) {
    while (!connection.closing && connection.out.size() < options_.pauseOctets) {
        const std::size_t end = connection.in.find('\n');
        if (end == std::string::npos) {
            // A line that runs past the cap will never be a request: say so and hang up.
            if (connection.in.size() > options_.maxLineOctets) {
                connection.out += "ERR INVALID-ARGUMENT\n";
                connection.in.clear();
                connection.closing = true;
            }
            return;
        }
        if (end > options_.maxLineOctets) {
            connection.in.clear();
            connection.out += "ERR INVALID-ARGUMENT\n";
            connection.closing = true;
            return;
        }
        const std::string line = connection.in.substr(0, end);
        connection.in.erase(0, end + 1);
        connection.session.answer(line, connection.out);
        if (connection.session.ended()) {
            connection.closing = true;
            connection.in.clear();
        }
    }
}

bool UpsServer::dropNow(const Connection& connection, std::int64_t now) const {
    if (connection.out.size() > options_.maxPendingOctets) return true;
    if (!connection.out.empty() && now - connection.waitingSince > options_.stalledMs) return true;
    return connection.out.empty() && now - connection.heardAt > options_.idleMs;
}

}  // namespace ups
