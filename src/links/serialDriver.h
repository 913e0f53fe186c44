#pragma once
// What the serial library needs from the operating system: open and close a COM port by its
// zero-based number, set the line parameters, and drive or read the modem-status lines. The
// platform layer implements it (termios on Linux); tests use a fake UPS.

namespace ups {

inline constexpr int kSioSystemError = -103;  // a system error; lastError() holds its code
inline constexpr int kSioBadPort = -1;        // not one of COM1..COM4

class SerialDriver {
public:
    virtual ~SerialDriver() = default;
    // 0 on success; kSioSystemError with lastError() set, or another negative code.
    virtual int open(int port, int rxQueue, int txQueue) = 0;
    virtual void close(int port) = 0;
    virtual void setBaud(int port, int baud) = 0;
    virtual void setNoFlowControl(int port) = 0;
    virtual void setRts(int port, bool asserted) = 0;
    virtual void setBreak(int port, bool asserted) = 0;
    // Line reads: 1 asserted, 0 not asserted, negative on error.
    virtual int readRts(int port) = 0;
    virtual int readCts(int port) = 0;
    virtual int readDcd(int port) = 0;
    virtual int lastError() const = 0;
};

}  // namespace ups
