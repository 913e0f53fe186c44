#pragma once
// What the serial library needs from the operating system: open and close a COM port by its
// zero-based number, set the line parameters, and drive or read the modem-status lines. The
// platform layer implements it (termios on Linux); tests use a fake UPS.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ups {

inline constexpr int kSioSystemError = -103;  // a system error; lastError() holds its code
inline constexpr int kSioBadPort = -1;        // no port has that number
// Numbers 0..3 are COM1..COM4; the system's other ports (USB adapters) have numbers from 4 up to
// below this, which only the platform gives meaning to (win32: COM5..COM256 as 4..255).
inline constexpr int kSerialPortNumbers = 300;

// A port beyond COM1..COM4 as the user knows it ("COM7", "/dev/ttyUSB0").
struct SerialPortName {
    int port = -1;
    std::string name;
};

// CTS and DCD as one read gives them, each as the line reads of SerialDriver give it.
struct ModemInputs {
    int cts = 0;
    int dcd = 0;
};

// RTS, CTS and DCD at one moment, each as the single reads give it.
struct ModemLines {
    int rts = 0;
    int cts = 0;
    int dcd = 0;
};

enum class LineWaitEnd {
    Changed,    // CTS or DCD may have changed: read them again (a wake with nothing new is allowed)
    Cancelled,  // cancel() was called, or the port was closed
    Failed,     // the port is gone (an adapter pulled out) or cannot be waited on
};

// A wait on the modem-status inputs of one open port, for a thread that only watches them. It keeps
// a hold on the port of its own, so the thread that owns the port may close it at any moment;
// closing the port cancels the wait.
class SerialLineWaiter {
public:
    virtual ~SerialLineWaiter() = default;
    // Blocks until CTS or DCD changes, until cancel(), or until the port fails.
    virtual LineWaitEnd waitForChange() = 0;
    virtual ModemInputs readInputs() = 0;
    // From any thread: ends a wait under way, and every later one at once.
    virtual void cancel() = 0;
};

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
    // The three lines from one request to the system where it can; by default the three reads.
    virtual ModemLines readLines(int port) { return {readRts(port), readCts(port), readDcd(port)}; }
    // A waiter on the open port's CTS and DCD; null when the port is not open or the system has no
    // way to wait on its lines (the per-tick reads go on either way).
    virtual std::shared_ptr<SerialLineWaiter> lineWaiter(int /*port*/) { return nullptr; }

    // The system's serial ports beyond COM1..COM4, in the order to offer them; none by default.
    virtual std::vector<SerialPortName> otherPorts() { return {}; }
    // A number beyond COM1..COM4 and its name, both ways: empty and -1 when there is no such
    // port number or name on this system.
    virtual std::string portName(int /*port*/) const { return {}; }
    virtual int portNumber(std::string_view /*name*/) const { return -1; }
};

}  // namespace ups
