// Holds a pseudo-terminal open and links it at the given path, standing in for a serial port
// that opens fine (it has no modem lines, so the monitor reads a line failure through it).
// Runs until killed; removes the link on SIGTERM.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {
const char* linkPath = nullptr;
void stop(int) {
    if (linkPath) unlink(linkPath);
    _exit(0);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LINK\n", argv[0]);
        return 2;
    }
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return 1;
    linkPath = argv[1];
    unlink(linkPath);
    if (symlink(ptsname(master), linkPath) != 0) return 1;
    std::signal(SIGTERM, stop);
    std::signal(SIGINT, stop);
    std::printf("%s\n", ptsname(master));
    std::fflush(stdout);
    for (;;) pause();
}
