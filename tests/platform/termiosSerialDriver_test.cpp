#include "platform/posix/termiosSerialDriver.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "links/serialLink.h"
#include "support/tempDir.h"
#include "support/virtualTime.h"

using namespace ups;

namespace {

// A pseudo-terminal pair; the driver opens the slave side as it would a COM port.
struct Pty {
    int master = -1;
    std::string slavePath;
    Pty() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0)
            slavePath = ptsname(master);
    }
    ~Pty() {
        if (master >= 0) close(master);
    }
};

TEST(TermiosSerialDriver, BuildMappingGivesFourDistinctDevices) {
    auto devices = TermiosSerialDriver::defaultDevices();
    std::set<std::string> distinct(devices.begin(), devices.end());
    EXPECT_EQ(distinct.size(), 4u);
    for (const auto& d : devices) EXPECT_EQ(d.front(), '/') << d;
}

TEST(TermiosSerialDriver, MissingDeviceIsASystemErrorWithErrno) {
    test::TempDir dir{"ups-termios"};
    TermiosSerialDriver driver({(dir.path / "nope").string(), "", "", ""});
    EXPECT_EQ(driver.open(0, 128, 128), kSioSystemError);
    EXPECT_EQ(driver.lastError(), ENOENT);
}

TEST(TermiosSerialDriver, AFileThatIsNotATerminalIsRefused) {
    test::TempDir dir{"ups-termios"};
    auto file = dir.path / "plain";
    std::ofstream(file) << "x";
    TermiosSerialDriver driver({file.string(), "", "", ""});
    EXPECT_EQ(driver.open(0, 128, 128), kSioSystemError);
    EXPECT_EQ(driver.lastError(), ENOTTY);
}

TEST(TermiosSerialDriver, OpensATerminalAndReportsLineReadErrorsAsSystemErrors) {
    Pty pty;
    ASSERT_FALSE(pty.slavePath.empty());
    TermiosSerialDriver driver({pty.slavePath, "", "", ""});
    ASSERT_EQ(driver.open(0, 512, 512), 0);
    driver.setBaud(0, 9600);
    driver.setNoFlowControl(0);
    driver.setRts(0, true);
    // Pseudo-terminals have no modem lines: the read fails and says why.
    EXPECT_EQ(driver.readCts(0), kSioSystemError);
    EXPECT_EQ(driver.lastError(), ENOTTY);
    driver.close(0);
    EXPECT_EQ(driver.readCts(0), kSioSystemError);
    EXPECT_EQ(driver.lastError(), EBADF);
}

TEST(TermiosSerialDriver, ProbeThroughTheLinkRecordsEachPortsOutcome) {
    Pty pty;
    test::TempDir dir{"ups-termios"};
    auto file = dir.path / "plain";
    std::ofstream(file) << "x";
    TermiosSerialDriver driver({(dir.path / "missing").string(), pty.slavePath, file.string(),
                                (dir.path / "gone").string()});
    SerialLib sio(driver);
    test::VirtualTime time;
    SerialLink link(sio);
    CfgUps cfg{};
    EXPECT_TRUE(link.probePorts(cfg));
    EXPECT_EQ(cfg.portStatus[0], ENOENT);
    EXPECT_EQ(cfg.portStatus[1], 0);
    EXPECT_EQ(cfg.portStatus[2], ENOTTY);
    EXPECT_EQ(cfg.portStatus[3], ENOENT);
}

}  // namespace

// USB adapters beside COM1..COM4: the folder holds an adapter of each kind (a pty behind a link,
// as a real adapter is a terminal), a legacy ttyS port and names that only look alike; only the
// adapters are offered, by name, and the number the list gives opens the device.
TEST(TermiosSerialDriver, OffersTheUsbAdaptersOfItsFolderAndOpensThemByNumber) {
    Pty pty;
    ASSERT_FALSE(pty.slavePath.empty());
    test::TempDir dir{"ups-termios"};
    const std::string folder = dir.path.string();
    std::filesystem::create_symlink(pty.slavePath, dir.path / "ttyUSB0");
    for (const char* other : {"ttyACM12", "ttyS0", "ttyUSB", "ttyUSB123", "ttyUSBx", "COM1"}) {
        std::ofstream(dir.path / other) << "";
    }
    TermiosSerialDriver driver({folder + "/COM1", "", "", ""}, folder);
    const std::vector<SerialPortName> ports = driver.otherPorts();
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].name, folder + "/ttyUSB0");
    EXPECT_EQ(ports[1].name, folder + "/ttyACM12");
    for (const auto& port : ports) {
        EXPECT_GE(port.port, 4);
        EXPECT_EQ(driver.portNumber(port.name), port.port) << port.name;
        EXPECT_EQ(driver.portName(port.port), port.name);
    }
    EXPECT_EQ(driver.portNumber("/dev/elsewhere/ttyUSB0"), -1);
    EXPECT_EQ(driver.open(ports[0].port, 512, 512), 0);
    EXPECT_EQ(driver.open(ports[1].port, 512, 512), kSioSystemError);  // not a terminal
    EXPECT_EQ(driver.lastError(), ENOTTY);
    driver.close(ports[0].port);
}
