#pragma once
// COM1..COM4 as POSIX tty devices. The device paths come from the build (UPS_COM_DEVICES) and can
// be replaced, e.g. to give a USB adapter a COM number.
#include <array>
#include <string>

#include "links/serialDriver.h"

namespace ups {

class TermiosSerialDriver : public SerialDriver {
public:
    TermiosSerialDriver();
    explicit TermiosSerialDriver(std::array<std::string, 4> devices);
    ~TermiosSerialDriver() override;

    TermiosSerialDriver(const TermiosSerialDriver&) = delete;
    TermiosSerialDriver& operator=(const TermiosSerialDriver&) = delete;

    int open(int port, int rxQueue, int txQueue) override;
    void close(int port) override;
    void setBaud(int port, int baud) override;
    void setNoFlowControl(int port) override;
    void setRts(int port, bool asserted) override;
    void setBreak(int port, bool asserted) override;
    int readRts(int port) override;
    int readCts(int port) override;
    int readDcd(int port) override;
    int lastError() const override { return lastError_; }

    static std::array<std::string, 4> defaultDevices();
    const std::array<std::string, 4>& devices() const { return devices_; }

private:
    int fdFor(int port) const;
    int readModemBit(int port, int bit);
    void setModemBit(int port, int bit, bool on);
    int systemError();

    std::array<std::string, 4> devices_;
    std::array<int, 4> fds_{-1, -1, -1, -1};
    int lastError_ = 0;
};

}  // namespace ups
