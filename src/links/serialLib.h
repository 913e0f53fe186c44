#pragma once
// The serial-library calls the link is written against. Each takes the zero-based port number and
// returns a 32-bit result; command codes are the ASCII letters of the library.
#include "links/serialDriver.h"

namespace ups {

class SerialLib {
public:
    explicit SerialLib(SerialDriver& driver) : driver_(driver) {}

    // >= 0 success; < 0 error, kSioSystemError meaning SioLastError() holds the system's code.
    int SioReset(int port, int rxQueue, int txQueue);
    int SioDone(int port);
    int SioBaud(int port, int baud);
    int SioFlow(int port, char mode);   // 'N': no flow control
    int SioRTS(int port, char cmd);     // 'S' assert, 'C' clear, 'R' read (0 = not asserted)
    int SioCTS(int port);               // > 0 asserted
    int SioDCD(int port);               // 0 not asserted
    int SioBrkSig(int port, char cmd);  // 'A' assert BREAK, 'C' cancel
    int SioLastError() const { return driver_.lastError(); }
    // Not one of the library's calls: RTS, CTS and DCD in one read, each as SioRTS 'R', SioCTS
    // and SioDCD give it.
    ModemLines readModemLines(int port) {
        if (!validPort(port)) return {kSioBadPort, kSioBadPort, kSioBadPort};
        return driver_.readLines(port);
    }
    // Not one of the library's calls either: the wait on CTS and DCD that the line watcher runs on.
    std::shared_ptr<SerialLineWaiter> lineWaiter(int port) {
        return validPort(port) ? driver_.lineWaiter(port) : nullptr;
    }

private:
    static bool validPort(int port) { return port >= 0 && port < kSerialPortNumbers; }
    SerialDriver& driver_;
};

}  // namespace ups
