// resolveIpv4 of net/sockets.h, the same on both systems: their resolver calls differ only in the
// headers that declare them.
#include "net/sockets.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace ups::sys {

bool resolveIpv4(const std::string& host, std::uint32_t& address) {
    in_addr in{};
    if (::inet_pton(AF_INET, host.c_str(), &in) == 1) {
        address = ntohl(in.s_addr);
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    address = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return true;
}

}  // namespace ups::sys
