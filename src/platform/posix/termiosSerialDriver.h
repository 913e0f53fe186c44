#pragma once
// COM1..COM4 as POSIX tty devices. The device paths come from the build (UPS_COM_DEVICES) and can
// be replaced, e.g. to give a USB adapter a COM number. The system's USB adapters (ttyUSBn,
// ttyACMn in the folder of COM1's device, /dev unless the build says otherwise) are the other
// ports: ttyUSBn is number 100 + n, ttyACMn 200 + n. The legacy ttySn are never listed.
#include <array>
#include <map>
#include <memory>
#include <string>

#include "links/serialDriver.h"

namespace ups {

class TermiosSerialDriver : public SerialDriver {
public:
    TermiosSerialDriver();
    explicit TermiosSerialDriver(std::array<std::string, 4> devices);
    // `otherPortsFolder`: where the adapters' devices are looked for.
    TermiosSerialDriver(std::array<std::string, 4> devices, std::string otherPortsFolder);
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
    ModemLines readLines(int port) override;
    int lastError() const override { return lastError_; }
    // TIOCMIWAIT on a duplicate of the port's descriptor; closing the port cancels it.
    std::shared_ptr<SerialLineWaiter> lineWaiter(int port) override;
    std::vector<SerialPortName> otherPorts() override;
    std::string portName(int port) const override;
    int portNumber(std::string_view name) const override;

    static std::array<std::string, 4> defaultDevices();
    const std::array<std::string, 4>& devices() const { return devices_; }

private:
    int fdFor(int port) const;
    std::string devicePath(int port) const;
    int readModemBit(int port, int bit);
    void setModemBit(int port, int bit, bool on);
    int systemError();

    std::array<std::string, 4> devices_;
    std::string otherPortsFolder_;
    std::map<int, int> fds_;
    std::multimap<int, std::weak_ptr<SerialLineWaiter>> waiters_;
    int lastError_ = 0;
};

}  // namespace ups
