// The adapter behind a port, found in a prepared sysfs tree: its USB ids
// through the device links, its latency timer lowered where it may be
// written and the advice given once where it may not.
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "link/UsbAdapter.h"
#include "link/serial.h"

namespace fs = std::filesystem;

namespace {

// A tree like the kernel's: /sys/class/tty/NAME/device links to the
// usb-serial port inside the USB device's interface.
class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::path(testing::TempDir()) / ("sysfs-" + std::to_string(getpid()) + "-" +
                                                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        setenv("TARNVIK_SYSFS_ROOT", root_.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("TARNVIK_SYSFS_ROOT");
        fs::remove_all(root_);
    }
    static void Write(const fs::path &path, const std::string &text)
    {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text << "\n";
    }
    // latency: "" for none, a number, or "readonly" for an attribute that
    // refuses writes (a link to a file even root may not write).
    fs::path AddUsbTty(const std::string &tty, const std::string &latency)
    {
        const fs::path usb = root_ / "sys/devices/pci0000:00/usb1/1-2";
        Write(usb / "idVendor", "0403");
        Write(usb / "idProduct", "6001");
        Write(usb / "serial", "A50285BI");
        Write(usb / "product", "FT232R USB UART");
        const fs::path port = usb / "1-2:1.0" / tty;
        fs::create_directories(port);
        if (latency == "readonly")
            fs::create_symlink("/proc/sys/kernel/cap_last_cap", port / "latency_timer");
        else if (!latency.empty())
            Write(port / "latency_timer", latency);
        fs::create_directories(root_ / "sys/class/tty" / tty);
        fs::create_directory_symlink(port, root_ / "sys/class/tty" / tty / "device");
        return port;
    }
    fs::path root_;
};

} // namespace

TEST_F(FakeSysfs, FindsTheUsbDeviceAndItsLatency)
{
    AddUsbTty("ttyUSB0", "16");
    fs::create_directories(root_ / "sys/class/tty/ttyS0/device");
    const auto usb = FindUsbAdapter("/dev/ttyUSB0");
    ASSERT_TRUE(usb);
    EXPECT_EQ(usb->tty, "ttyUSB0");
    EXPECT_EQ(usb->vendorId, "0403");
    EXPECT_EQ(usb->productId, "6001");
    EXPECT_EQ(usb->serial, "A50285BI");
    EXPECT_EQ(usb->latencyMs, 16);
    // A built-in UART: a tty without USB device or timer.
    const auto uart = FindUsbAdapter("/dev/ttyS0");
    ASSERT_TRUE(uart);
    EXPECT_EQ(uart->vendorId, "");
    EXPECT_EQ(uart->latencyMs, -1);
    EXPECT_FALSE(FindUsbAdapter("/dev/ttyUSB7"));
}

TEST_F(FakeSysfs, LowersTheTimerOrAdvisesOnce)
{
    struct Case {
        const char *tty;
        const char *latency;
        LatencyOutcome outcome;
        bool advice;
    } cases[] = {
        {"ttyUSB0", "16", LatencyOutcome::Lowered, false},
        {"ttyUSB1", "1", LatencyOutcome::Fine, false},
        {"ttyUSB2", "", LatencyOutcome::Fine, false},
        {"ttyUSB3", "readonly", LatencyOutcome::TooHigh, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.tty);
        AddUsbTty(c.tty, c.latency);
        const std::string device = std::string("/dev/") + c.tty;
        auto adapter = FindUsbAdapter(device);
        ASSERT_TRUE(adapter);
        const int before = adapter->latencyMs;
        EXPECT_EQ(LowerLatency(*adapter), c.outcome);
        if (c.outcome == LatencyOutcome::Lowered) {
            EXPECT_EQ(ReadLatencyMs(*adapter), 1);
        }
        const std::string notice = LatencyNoticeOnOpen(device);
        EXPECT_EQ(!notice.empty(), c.advice) << notice;
        if (c.advice) {
            EXPECT_NE(notice.find(std::to_string(before) + " ms"), std::string::npos) << notice;
            EXPECT_NE(notice.find("ATTR{latency_timer}=\"1\""), std::string::npos) << notice;
            EXPECT_NE(notice.find((root_ / "sys/class/tty" / c.tty / "device/latency_timer").string()), std::string::npos)
                << notice;
            // Said once for each adapter.
            EXPECT_EQ(LatencyNoticeOnOpen(device), "");
        }
    }
}

// The port says how long its adapter holds bytes back, as the timer stands
// after the open: lowered to 1, left where it may not be written, nothing
// for a tty sysfs knows no adapter of.
TEST_F(FakeSysfs, OpenPortKnowsTheTimerLeft)
{
    int master = -1, slave = -1;
    char name[64] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    const std::string tty = fs::path(name).filename().string();
    for (const char *latency : {"none", "16", "readonly"}) {
        SCOPED_TRACE(latency);
        fs::remove_all(root_);
        int want = 0;
        if (std::string(latency) != "none") {
            AddUsbTty(tty, latency);
            want = std::string(latency) == "16" ? 1 : ReadLatencyMs(*FindUsbAdapter(name));
            ASSERT_GT(want, 0);
        }
        SerialPort port(MakePosixSerialBackend(), [&](const std::string &) { return std::string(name); });
        ASSERT_EQ(port.OpenPort("COM1"), 0);
        EXPECT_EQ(port.HeldBackMs(), want);
        port.ClosePort();
        EXPECT_EQ(port.HeldBackMs(), 0);
    }
    close(master);
    close(slave);
}
