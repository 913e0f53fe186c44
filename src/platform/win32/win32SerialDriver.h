#pragma once
// COM ports through the communications API: COM1..COM4 as numbers 0..3, and the system's other
// ports (USB adapters appear as COM5 and up) as 4..255. No byte is ever sent or received: the
// port is opened for its modem-status lines, RTS and BREAK alone.
#include <windows.h>

#include <map>
#include <memory>

#include "links/serialDriver.h"

namespace ups {

class Win32SerialDriver : public SerialDriver {
public:
    Win32SerialDriver() = default;
    ~Win32SerialDriver() override;

    Win32SerialDriver(const Win32SerialDriver&) = delete;
    Win32SerialDriver& operator=(const Win32SerialDriver&) = delete;

    int open(int port, int rxQueue, int txQueue) override;
    void close(int port) override;
    void setBaud(int port, int baud) override;
    void setNoFlowControl(int port) override;
    void setRts(int port, bool asserted) override;
    void setBreak(int port, bool asserted) override;
    // The system cannot read RTS back: this is the level last set, clear after opening.
    int readRts(int port) override;
    int readCts(int port) override;
    int readDcd(int port) override;
    ModemLines readLines(int port) override;
    int lastError() const override { return lastError_; }
    // WaitCommEvent on a duplicate of the port's handle; closing the port cancels it.
    std::shared_ptr<SerialLineWaiter> lineWaiter(int port) override;
    // The ports the system lists in HARDWARE\DEVICEMAP\SERIALCOMM beyond COM1..COM4.
    std::vector<SerialPortName> otherPorts() override;
    std::string portName(int port) const override;
    int portNumber(std::string_view name) const override;

private:
    HANDLE handleFor(int port) const;
    int systemError(DWORD error);
    int readModemBit(int port, DWORD bit);

    std::map<int, HANDLE> handles_;
    std::map<int, bool> rts_;
    std::multimap<int, std::weak_ptr<SerialLineWaiter>> waiters_;
    int lastError_ = 0;
};

}  // namespace ups
