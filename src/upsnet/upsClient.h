#pragma once
// One session with a server of the UPS network protocol, for a thread of its own. Every call
// returns within its time-out, and sooner once the interrupt flag is raised: the socket is
// non-blocking and the waits are short slices that look at the flag between them. A request is
// one line, its answer one line, read whole (a server's line longer than any answer the
// protocol has ends the session).
#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/sockets.h"

namespace ups {

// What a UPS status value says, word by word: OL or OB, LB, FSD. A value without OB is on the
// line.
struct UpsStatusWords {
    bool lineOk = true;
    bool batteryLow = false;
    bool forcedShutdown = false;
    bool operator==(const UpsStatusWords&) const = default;
};
UpsStatusWords readStatusWords(std::string_view value);

// The protocol's answer to GET VAR <ups> <name>: the value when it is `VAR <ups> <name> "value"`
// for that very variable, nothing otherwise (an ERR, or an answer to something else).
std::optional<std::string> variableValue(const std::vector<std::string>& answer,
                                         std::string_view ups, std::string_view name);

class UpsClient {
public:
    explicit UpsClient(const std::atomic<bool>& interrupt) : interrupt_(interrupt) {}
    ~UpsClient() { close(); }
    UpsClient(const UpsClient&) = delete;
    UpsClient& operator=(const UpsClient&) = delete;

    // Connects to host:port. False with problem() saying why.
    bool connect(const std::string& host, int port, int timeoutMs);
    // Sends one request line (without its end) and returns the words of the answer line. Nothing
    // when the session broke, ran out of time or was interrupted: problem() says which, and the
    // session is closed.
    std::optional<std::vector<std::string>> request(std::string_view line, int timeoutMs);
    // Sends LOGOUT and waits up to timeoutMs for the server to answer or close, then closes:
    // the server counts this machine out at once.
    void logout(int timeoutMs);
    void close();

    bool connected() const { return socket_ != sys::kNoSocket; }
    // Why the last call failed, in a few Spanish words.
    const std::string& problem() const { return problem_; }

    // The longest answer line taken; the protocol's own are under 512 octets.
    static constexpr std::size_t kMaxLine = 4096;

private:
    enum class Wait { ready, timedOut, interrupted, failed };
    Wait waitFor(bool write, std::int64_t deadlineMs);
    bool sendAll(std::string_view data, std::int64_t deadlineMs);
    std::optional<std::string> readLine(std::int64_t deadlineMs);
    bool fail(std::string problem);

    const std::atomic<bool>& interrupt_;
    sys::SocketHandle socket_ = sys::kNoSocket;
    std::string received_;
    std::string problem_;
};

// A socket error in a few Spanish words.
std::string networkProblem(int error);

}  // namespace ups
