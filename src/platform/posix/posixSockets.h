#pragma once
// What the POSIX socket calls share with the ICMP echo, which opens sockets of its own.
#include <netinet/in.h>

#include "net/sockets.h"

namespace ups::sys {

// A system error number in the Winsock numbering the core knows.
int winsockCode(int err);
Endpoint fromSockaddr(const sockaddr_in& sa);

}  // namespace ups::sys
