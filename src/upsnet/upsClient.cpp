#include "upsnet/upsClient.h"

#include <algorithm>
#include <chrono>

#include "upsnet/protocolText.h"

namespace ups {

namespace {

// The longest a wait sleeps before it looks at the interrupt flag again.
constexpr int kSliceMs = 50;
constexpr std::size_t kReadChunk = 1024;

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

UpsStatusWords readStatusWords(std::string_view value) {
    UpsStatusWords words;
    const std::optional<std::vector<std::string>> split = splitWords(value);
    if (!split) return words;
    for (const std::string& word : *split) {
        if (word == "OB") words.lineOk = false;
        if (word == "LB") words.batteryLow = true;
        if (word == "FSD") words.forcedShutdown = true;
    }
    return words;
}

std::optional<std::string> variableValue(const std::vector<std::string>& answer,
                                         std::string_view ups, std::string_view name) {
    if (answer.size() != 4 || answer[0] != "VAR" || answer[1] != ups || answer[2] != name) {
        return std::nullopt;
    }
    return answer[3];
}

std::string networkProblem(int error) {
    switch (error) {
        case sys::kErrConnectionRefused:
            return "conexión rechazada";
        case sys::kErrTimedOut:
            return "sin respuesta";
        case sys::kErrConnectionReset:
            return "conexión cortada";
        case sys::kErrNetworkUnreachable:
        case sys::kErrHostUnreachable:
            return "equipo inalcanzable";
        default:
            return "error de red " + std::to_string(error);
    }
}

bool UpsClient::fail(std::string problem) {
    close();
    problem_ = std::move(problem);
    return false;
}

void UpsClient::close() {
    if (socket_ != sys::kNoSocket) sys::closeSocket(socket_);
    socket_ = sys::kNoSocket;
    received_.clear();
}

UpsClient::Wait UpsClient::waitFor(bool write, std::int64_t deadlineMs) {
    for (;;) {
        if (interrupt_.load(std::memory_order_acquire)) return Wait::interrupted;
        const std::int64_t left = deadlineMs - nowMs();
        if (left <= 0) return Wait::timedOut;
        sys::PollEntry entry;
        entry.socket = socket_;
        entry.wantRead = !write;
        entry.wantWrite = write;
        const int slice = static_cast<int>(std::min<std::int64_t>(left, kSliceMs));
        if (sys::waitSockets(&entry, 1, slice) != 0) return Wait::failed;
        if (entry.readable || entry.writable) return Wait::ready;
    }
}

bool UpsClient::connect(const std::string& host, int port, int timeoutMs) {
    close();
    problem_.clear();
    const std::int64_t deadline = nowMs() + timeoutMs;
    sys::Endpoint remote;
    remote.port = static_cast<std::uint16_t>(port);
    if (port < 1 || port > 65535 || !sys::resolveIpv4(host, remote.address)) {
        return fail("equipo desconocido");
    }
    int error = 0;
    socket_ = sys::openTcpSocket(error);
    if (socket_ == sys::kNoSocket) return fail(networkProblem(error));
    if ((error = sys::setNonBlocking(socket_, true)) != 0) return fail(networkProblem(error));
    error = sys::startConnect(socket_, remote);
    if (error == sys::kErrWouldBlock) {
        switch (waitFor(true, deadline)) {
            case Wait::ready:
                error = sys::connectResult(socket_);
                break;
            case Wait::timedOut:
                return fail("sin respuesta");
            case Wait::interrupted:
                return fail("interrumpido");
            case Wait::failed:
                return fail("error de red");
        }
    }
    if (error != 0) return fail(networkProblem(error));
    return true;
}

bool UpsClient::sendAll(std::string_view data, std::int64_t deadlineMs) {
    while (!data.empty()) {
        std::size_t sent = 0;
        const int error = sys::sendSome(socket_, data, sent);
        if (error != 0 && error != sys::kErrWouldBlock) return fail(networkProblem(error));
        data.remove_prefix(sent);
        if (data.empty()) break;
        const Wait wait = waitFor(true, deadlineMs);
        if (wait == Wait::timedOut) return fail("sin respuesta");
        if (wait == Wait::interrupted) return fail("interrumpido");
        if (wait == Wait::failed) return fail("error de red");
    }
    return true;
}

std::optional<std::string> UpsClient::readLine(std::int64_t deadlineMs) {
    for (;;) {
        const std::size_t end = received_.find('\n');
        if (end != std::string::npos) {
            std::string line = received_.substr(0, end);
            received_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        if (received_.size() > kMaxLine) {
            fail("respuesta demasiado larga");
            return std::nullopt;
        }
        std::string chunk;
        int error = 0;
        switch (sys::readSome(socket_, kReadChunk, chunk, error)) {
            case sys::StreamRead::Data:
                received_ += chunk;
                continue;
            case sys::StreamRead::Closed:
                fail("el servidor cerró la conexión");
                return std::nullopt;
            case sys::StreamRead::Failed:
                fail(networkProblem(error));
                return std::nullopt;
            case sys::StreamRead::Nothing:
                break;
        }
        const Wait wait = waitFor(false, deadlineMs);
        if (wait == Wait::ready) continue;
        fail(wait == Wait::timedOut      ? "sin respuesta"
             : wait == Wait::interrupted ? "interrumpido"
                                         : "error de red");
        return std::nullopt;
    }
}

std::optional<std::vector<std::string>> UpsClient::request(std::string_view line, int timeoutMs) {
    if (!connected()) {
        problem_ = "sin conexión";
        return std::nullopt;
    }
    const std::int64_t deadline = nowMs() + timeoutMs;
    if (!sendAll(std::string(line) + "\n", deadline)) return std::nullopt;
    const std::optional<std::string> answer = readLine(deadline);
    if (!answer) return std::nullopt;
    std::optional<std::vector<std::string>> words = splitWords(*answer);
    if (!words || words->empty()) {
        fail("respuesta ilegible");
        return std::nullopt;
    }
    return words;
}

void UpsClient::logout(int timeoutMs) {
    if (!connected()) return;
    const std::int64_t deadline = nowMs() + timeoutMs;
    // Whatever answer is still on its way is read and dropped: a socket closed with unread data
    // is reset, and a reset may cost the server the LOGOUT itself.
    if (sendAll("LOGOUT\n", deadline)) {
        while (readLine(deadline)) {
        }
    }
    close();
}

}  // namespace ups
