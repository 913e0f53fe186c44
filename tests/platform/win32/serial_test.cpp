#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "platform/win32/win32SerialDriver.h"

namespace ups {
namespace {

// The Wine prefix of scripts/test-windows leaves COM1, COM3 and COM4 without a device and puts
// COM2 on a pseudo-terminal when UPS_TEST_COM2 says so.
// What the system itself says about opening the port and giving it queues. (Wine opens a port
// without a device and refuses the first communications call on it.)
DWORD openError(const char* path) {
    HANDLE handle =
        CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return GetLastError();
    const DWORD error = SetupComm(handle, 128, 128) ? ERROR_SUCCESS : GetLastError();
    CloseHandle(handle);
    return error;
}

TEST(Win32SerialDriver, APortWithoutADeviceGivesTheSystemError) {
    Win32SerialDriver driver;
    for (int port : {0, 2, 3}) {
        const std::string path = "\\\\.\\COM" + std::to_string(port + 1);
        const DWORD expected = openError(path.c_str());
        ASSERT_NE(expected, static_cast<DWORD>(ERROR_SUCCESS)) << path;
        EXPECT_EQ(driver.open(port, 128, 128), kSioSystemError) << path;
        EXPECT_EQ(driver.lastError(), static_cast<int>(expected)) << path;
    }
    EXPECT_EQ(driver.open(256, 128, 128), kSioBadPort);
    EXPECT_EQ(driver.open(-1, 128, 128), kSioBadPort);
    for (int (Win32SerialDriver::*read)(int) :
         {&Win32SerialDriver::readRts, &Win32SerialDriver::readCts, &Win32SerialDriver::readDcd}) {
        EXPECT_EQ((driver.*read)(0), kSioSystemError);
        EXPECT_EQ(driver.lastError(), ERROR_INVALID_HANDLE);
    }
}

// A pseudo-terminal has no modem lines to drive, so only the open and the RTS level kept for the
// caller show here.
TEST(Win32SerialDriver, AnOpenedPortStartsWithRtsClear) {
    if (std::getenv("UPS_TEST_COM2") == nullptr) GTEST_SKIP() << "COM2 has no device";
    Win32SerialDriver driver;
    ASSERT_EQ(driver.open(1, 512, 512), 0) << driver.lastError();
    driver.setBaud(1, 9600);
    driver.setNoFlowControl(1);
    EXPECT_EQ(driver.readRts(1), 0);
    driver.close(1);
    EXPECT_EQ(driver.readRts(1), kSioSystemError);
}

// A USB adapter appears as COM5 and up: scripts/test-windows puts COM5 on the same
// pseudo-terminal as COM2. Wine lists every COM name of its prefix, device or not (COM6..COM8
// have none, and the one it gave /dev/ttyS0 is /dev/null in the namespace of winePrefix.bash):
// the list starts at COM5, by name and by a number that opens it, and never offers COM1..COM4.
TEST(Win32SerialDriver, OffersTheSystemsOtherPortsAndOpensThemByNumber) {
    if (std::getenv("UPS_TEST_COM2") == nullptr) GTEST_SKIP() << "COM5 has no device";
    Win32SerialDriver driver;
    const std::vector<SerialPortName> ports = driver.otherPorts();
    ASSERT_FALSE(ports.empty());
    EXPECT_EQ(ports[0].name, "COM5");
    EXPECT_EQ(ports[0].port, 4);
    for (std::size_t i = 1; i < ports.size(); ++i) EXPECT_GT(ports[i].port, ports[i - 1].port);
    EXPECT_EQ(driver.portNumber("com12"), 11);
    EXPECT_EQ(driver.portNumber("COM257"), -1);
    EXPECT_EQ(driver.portNumber("COM1x"), -1);
    EXPECT_EQ(driver.portName(255), "COM256");
    ASSERT_EQ(driver.open(ports[0].port, 512, 512), 0) << driver.lastError();
    EXPECT_EQ(driver.readRts(4), 0);
    driver.close(4);
}

// The wait on a port's lines stays pending on a pseudo-terminal whose lines do not change, until
// the port closes or the wait is cancelled. Wine gives a pseudo-terminal modem lines only with the
// modem-lines library preloaded (LD_PRELOAD); without them the wait fails at once.
TEST(Win32SerialDriver, ClosingThePortEndsTheWaitOnItsLines) {
    if (std::getenv("UPS_TEST_COM2") == nullptr) GTEST_SKIP() << "COM2 has no device";
    Win32SerialDriver driver;
    for (bool byClose : {true, false}) {
        ASSERT_EQ(driver.open(1, 512, 512), 0) << driver.lastError();
        const std::shared_ptr<SerialLineWaiter> waiter = driver.lineWaiter(1);
        ASSERT_NE(waiter, nullptr);
        // A promise, not std::async: a wait that never ends fails the test instead of hanging it.
        auto ended = std::make_shared<std::promise<LineWaitEnd>>();
        std::future<LineWaitEnd> end = ended->get_future();
        std::thread([waiter, ended] { ended->set_value(waiter->waitForChange()); }).detach();
        if (end.wait_for(std::chrono::milliseconds(200)) == std::future_status::ready) {
            EXPECT_EQ(end.get(), LineWaitEnd::Failed);
            GTEST_SKIP() << "COM2 has no modem lines (the modem-lines library is not preloaded)";
        }
        if (byClose) {
            driver.close(1);
        } else {
            waiter->cancel();
        }
        ASSERT_EQ(end.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        EXPECT_EQ(end.get(), LineWaitEnd::Cancelled);
        driver.close(1);
    }
}

}  // namespace
}  // namespace ups
