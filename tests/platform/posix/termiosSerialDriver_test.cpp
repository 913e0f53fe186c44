#include "platform/posix/termiosSerialDriver.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <vector>

#include "links/serialLink.h"
#include "support/childProcess.h"
#include "support/lineReports.h"
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
    const ModemLines failed = driver.readLines(0);
    EXPECT_EQ(std::vector({failed.rts, failed.cts, failed.dcd}), std::vector(3, kSioSystemError));
    driver.close(0);
    EXPECT_EQ(driver.readCts(0), kSioSystemError);
    EXPECT_EQ(driver.lastError(), EBADF);
    EXPECT_EQ(driver.readLines(0).cts, kSioSystemError);
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

namespace {

// Replaces the lines file whole, as the modem-lines library asks.
void setLines(const std::filesystem::path& file, const char* lines) {
    const std::filesystem::path next = file.string() + ".next";
    std::ofstream(next) << lines;
    std::filesystem::rename(next, file);
}

// The watch on a tty through the preloaded modem-lines library, so the real wait, its cancel by
// signal and a hang-up all run: the test runs again in a child with the library preloaded. The
// lines change; the watch ends, joined, when the link closes the port, by itself when the
// driver alone closes it, and by itself when the pseudo-terminal's other side goes away.
TEST(TermiosSerialDriver, WatchesTheLinesUntilThePortClosesOrHangsUp) {
    const char* linesFile = std::getenv("UPS_FAKE_MODEM_LINES_FILE");
    if (linesFile == nullptr) {
        const std::string library = UPS_TEST_BINARY_DIR "/tests/libups-modem-lines.so";
        if (!std::filesystem::exists(library)) GTEST_SKIP() << "modem-lines library not built";
        test::TempDir dir{"ups-watch"};
        test::ChildProcess child(
            {"/proc/self/exe", "--gtest_filter=TermiosSerialDriver.WatchesTheLines*"},
            {"LD_PRELOAD=" + library,
             "UPS_FAKE_MODEM_LINES_FILE=" + (dir.path / "lines").string()});
        EXPECT_EQ(child.waitForExit(30'000), 0);
        return;
    }
    setLines(linesFile, "cts,dcd");
    auto pty = std::make_unique<Pty>();
    TermiosSerialDriver driver({pty->slavePath, "", "", ""});
    SerialLib sio(driver);
    test::LineReports reports;
    SerialLink link(sio);
    ASSERT_TRUE(link.openSerialLink(0).opened);
    ASSERT_TRUE(link.watchLines(reports.callback()));
    setLines(linesFile, "dcd");
    EXPECT_EQ(reports.waitFor(1).size(), 1u);
    // The tick's read, one request: RTS (cleared at the open) raised again, then the lines.
    EXPECT_EQ(link.readLines(), (SerialLines{false, false}));
    EXPECT_EQ(driver.readLines(0).rts, 1);
    setLines(linesFile, "");
    const std::vector<SerialLines> changes{{false, false}, {false, true}};
    EXPECT_EQ(reports.waitFor(2), changes);
    link.closeForChange();
    EXPECT_FALSE(link.watchingLines());

    ASSERT_EQ(driver.open(0, 512, 512), 0);
    SerialLineWatcher closed(sio.lineWaiter(0), {});
    driver.close(0);
    EXPECT_TRUE(closed.waitUntilEnded(test::LineReports::kBoundMs));

    ASSERT_EQ(driver.open(0, 512, 512), 0);
    SerialLineWatcher hungUp(sio.lineWaiter(0), reports.callback());
    pty.reset();
    EXPECT_TRUE(hungUp.waitUntilEnded(test::LineReports::kBoundMs));
    EXPECT_EQ(reports.waitFor(3).back(), (SerialLines{false, false}));
}

}  // namespace
