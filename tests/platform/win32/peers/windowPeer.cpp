// The other application of the closing test: a process with the windows a closer must tell apart.
//   windowPeer            main, second (top-level, visible, titled), owned, hidden, untitled
//   windowPeer progman    one visible titled window of the desktop's class "Progman"
// No window closes on WM_CLOSE; each counts them. WM_APP with wParam = index answers the count of
// that window (in the order above); WM_APP + 1 ends the program.
#include <windows.h>

#include <cstring>

namespace {

constexpr int kWindows = 5;
int closeCounts[kWindows] = {};

LRESULT CALLBACK peerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            ++closeCounts[GetWindowLongPtrA(window, GWLP_USERDATA)];
            return 0;
        case WM_APP:
            return wParam < kWindows ? closeCounts[wParam] : -1;
        case WM_APP + 1:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND make(const char* className, const char* title, DWORD style, HWND owner, int index) {
    HWND window = CreateWindowExA(0, className, title, style, 10 + 30 * index, 10 + 30 * index, 200,
                                  100, owner, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, index);
    return window;
}

}  // namespace

int main(int argc, char** argv) {
    const bool progman = argc > 1 && std::strcmp(argv[1], "progman") == 0;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = peerProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = progman ? "Progman" : "KorvanPeer";
    RegisterClassA(&windowClass);
    const DWORD shown = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    if (progman) {
        make("Progman", "Korvan peer progman", shown, nullptr, 0);
    } else {
        HWND main = make("KorvanPeer", "Korvan peer main", shown, nullptr, 0);
        make("KorvanPeer", "Korvan peer second", shown, nullptr, 1);
        make("KorvanPeer", "Korvan peer owned", shown, main, 2);
        make("KorvanPeer", "", shown, nullptr, 4);
        // Last, so that the test knows all are there once it finds this one.
        make("KorvanPeer", "Korvan peer hidden", WS_OVERLAPPEDWINDOW, nullptr, 3);
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}
