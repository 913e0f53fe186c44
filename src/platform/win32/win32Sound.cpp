#include "platform/win32/win32Sound.h"

#include <windows.h>

namespace ups {

void Win32Sound::play() {
    MessageBeep(MB_ICONEXCLAMATION);
}

}  // namespace ups
