// Hostile loads against a UPS network protocol server on loopback, for scripts/soak:
//   ups-upsnet-load lines PORT COUNT     COUNT random request lines on one connection, answers read
//   ups-upsnet-load long PORT MEGABYTES  one line of that size without a line end
//   ups-upsnet-load idle PORT COUNT SECONDS   COUNT connections that say nothing, held SECONDS
//   ups-upsnet-load noread PORT SECONDS  requests sent and their answers never read
// Each prints one line "KIND key=value ..." with what happened.
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "net/sockets.h"

namespace {

using Clock = std::chrono::steady_clock;
using ups::sys::SocketHandle;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

SocketHandle connectTo(int port) {
    int error = 0;
    const SocketHandle socket = ups::sys::openTcpSocket(error);
    if (socket == ups::sys::kNoSocket) return socket;
    ups::sys::setNonBlocking(socket, true);
    const int started =
        ups::sys::startConnect(socket, {0x7F000001u, static_cast<std::uint16_t>(port)});
    if (started != 0 && started != ups::sys::kErrWouldBlock) {
        ups::sys::closeSocket(socket);
        return ups::sys::kNoSocket;
    }
    ups::sys::PollEntry entry{socket, false, true};
    ups::sys::waitSockets(&entry, 1, 5000);
    if (ups::sys::connectResult(socket) != 0) {
        ups::sys::closeSocket(socket);
        return ups::sys::kNoSocket;
    }
    return socket;
}

// Sends `data` while reading whatever comes back; false once the server hung up.
bool push(SocketHandle socket, const std::string& data, std::size_t& received, bool read) {
    std::size_t done = 0;
    while (done < data.size()) {
        ups::sys::PollEntry entry{socket, read, true};
        ups::sys::waitSockets(&entry, 1, 1000);
        if (read && entry.readable) {
            std::string chunk;
            int error = 0;
            const auto got = ups::sys::readSome(socket, 65536, chunk, error);
            if (got == ups::sys::StreamRead::Closed || got == ups::sys::StreamRead::Failed)
                return false;
            received += chunk.size();
        }
        if (!entry.writable) {
            if (!read) return true;  // the server stopped taking it: the caller decides
            continue;
        }
        std::size_t sent = 0;
        if (ups::sys::sendSome(socket, std::string_view(data).substr(done), sent) != 0)
            return false;
        done += sent;
    }
    return true;
}

// Reads what comes until the server hangs up (true) or waitMs pass; `received` counts it.
bool hungUp(SocketHandle socket, int waitMs, std::size_t* received = nullptr) {
    const auto end = Clock::now() + std::chrono::milliseconds(waitMs);
    do {
        ups::sys::PollEntry entry{socket, true, false};
        ups::sys::waitSockets(&entry, 1, waitMs > 0 ? 100 : 0);
        std::string chunk;
        int error = 0;
        const auto got = ups::sys::readSome(socket, 1 << 20, chunk, error);
        if (got == ups::sys::StreamRead::Closed || got == ups::sys::StreamRead::Failed) return true;
        if (received) *received += chunk.size();
    } while (Clock::now() < end);
    return false;
}

int lines(int port, int count) {
    static const char* const kWords[] = {"GET",  "LIST",     "VAR",      "ups",      "ups.status",
                                         "SET",  "USERNAME", "PASSWORD", "LOGIN",    "INSTCMD",
                                         "FSD",  "\"",       "\\",       "UPS",      "CMD",
                                         "TYPE", "NETVER",   "\r",       "NUMLOGINS"};
    std::mt19937 random(24);
    std::string data;
    for (int i = 0; i < count; ++i) {
        const int words = 1 + static_cast<int>(random() % 6);
        for (int w = 0; w < words; ++w) {
            if (random() % 3 == 0) {
                for (int c = static_cast<int>(random() % 30); c > 0; --c) {
                    const char octet = static_cast<char>(1 + random() % 254);
                    data += octet == '\n' ? 'n' : octet;
                }
            } else {
                data += kWords[random() % std::size(kWords)];
            }
            data += ' ';
        }
        data += '\n';
    }
    const auto start = Clock::now();
    SocketHandle socket = connectTo(port);
    std::size_t received = 0;
    int connections = 1;
    std::size_t begin = 0;
    // A random line may be LOGOUT or run past the line cap: the server hangs up, and the rest of
    // the lines go on a new connection.
    while (socket != ups::sys::kNoSocket && begin < data.size()) {
        const std::size_t end = std::min(data.size(), begin + 4096);
        const std::size_t cut = data.rfind('\n', end - 1);
        const std::size_t stop = cut != std::string::npos && cut >= begin ? cut + 1 : end;
        if (!push(socket, data.substr(begin, stop - begin), received, true) ||
            (stop == data.size() && hungUp(socket, 500, &received))) {
            ups::sys::closeSocket(socket);
            socket = connectTo(port);
            ++connections;
        }
        begin = stop;
    }
    ups::sys::closeSocket(socket);
    std::printf("lines count=%d octets=%zu answers_octets=%zu connections=%d seconds=%.2f\n", count,
                data.size(), received, connections, secondsSince(start));
    return 0;
}

int longLine(int port, int megabytes) {
    const auto start = Clock::now();
    const SocketHandle socket = connectTo(port);
    const std::string block(65536, 'x');
    std::size_t received = 0;
    std::size_t offered = 0;
    bool refused = false;
    for (int i = 0; i < megabytes * 16 && !refused; ++i) {
        refused = !push(socket, block, received, true);
        offered += block.size();
    }
    const bool closed = refused || hungUp(socket, 5000);
    ups::sys::closeSocket(socket);
    std::printf("long megabytes=%d offered=%zu answer_octets=%zu hung_up=%s seconds=%.2f\n",
                megabytes, offered, received, closed ? "yes" : "no", secondsSince(start));
    return closed ? 0 : 1;
}

int idle(int port, int count, int seconds) {
    std::vector<SocketHandle> sockets;
    for (int i = 0; i < count; ++i) {
        const SocketHandle socket = connectTo(port);
        if (socket != ups::sys::kNoSocket) sockets.push_back(socket);
    }
    std::printf("idle opened=%zu\n", sockets.size());
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    int closed = 0;
    for (const SocketHandle socket : sockets) {
        closed += hungUp(socket, 0);
        ups::sys::closeSocket(socket);
    }
    std::printf("idle held=%d closed_by_server=%d\n", count, closed);
    return 0;
}

int noRead(int port, int seconds) {
    const auto start = Clock::now();
    const SocketHandle socket = connectTo(port);
    std::string requests;
    for (int i = 0; i < 1000; ++i) requests += "LIST VAR ups\n";
    std::size_t sent = 0;
    std::size_t ignored = 0;
    bool dropped = false;
    while (secondsSince(start) < seconds && !dropped) {
        ups::sys::PollEntry entry{socket, false, true};
        ups::sys::waitSockets(&entry, 1, 200);
        if (!entry.writable) continue;
        std::size_t taken = 0;
        if (ups::sys::sendSome(socket, requests, taken) != 0) dropped = true;
        sent += taken;
        (void)ignored;
    }
    const double at = secondsSince(start);
    if (!dropped) dropped = hungUp(socket, 0);
    ups::sys::closeSocket(socket);
    std::printf("noread requests_octets=%zu dropped=%s seconds=%.2f\n", sent,
                dropped ? "yes" : "no", at);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4 || !ups::SocketInterfaceStartup()) {
        std::fprintf(stderr, "usage: ups-upsnet-load lines|long|idle|noread PORT N [SECONDS]\n");
        return 2;
    }
    const std::string kind = argv[1];
    const int port = std::stoi(argv[2]);
    const int n = std::stoi(argv[3]);
    if (kind == "lines") return lines(port, n);
    if (kind == "long") return longLine(port, n);
    if (kind == "idle" && argc > 4) return idle(port, n, std::stoi(argv[4]));
    if (kind == "noread") return noRead(port, n);
    return 2;
}
