// What this machine charges for a wake-up, as a reference for the idle figures: a process that
// does nothing but wake once a second (no Qt, no X, one thread). Its CPU time per hour is the
// least any program with a one-second tick can cost here.
#include <poll.h>

int main() {
    for (;;) ::poll(nullptr, 0, 1000);
}
