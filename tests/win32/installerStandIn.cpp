// Takes the place of korvan-ups.exe in the installer's test, so the installer can be checked
// without the Qt build: it answers the one option the installer runs, through the same function
// the monitor calls, and otherwise ends at once.
#include <cstring>

#include "platform/win32/win32ConfigAccess.h"

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--grant-config-access") == 0) {
        return ups::grantUsersConfigAccess() ? 0 : 1;
    }
    return 0;
}
