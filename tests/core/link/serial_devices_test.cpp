// The serial devices of a prepared /dev and sysfs: listed by their stable
// names, and found again by each form a user may name them in.
#include <gtest/gtest.h>

#include <fstream>

#include "FakeDevTree.h"
#include "link/SerialDevices.h"
#include "settings/settings.h"

namespace {

const std::string Ft232 = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
const std::string DualA = "usb-FTDI_Dual_RS232-HS_FT2X-if00-port0";
const std::string DualB = "usb-FTDI_Dual_RS232-HS_FT2X-if01-port0";

// An FT232R and a two-port FT2232 sharing one serial number, a CDC board
// udev named nothing, a real UART and a driver's empty UART slot.
void Populate(FakeDevTree &tree)
{
    tree.AddUsbTty("ttyUSB3", {.serial = "A50285BI"}, Ft232);
    FakeDevTree::Usb dual{
        .product = "6010", .serial = "FT2X", .name = "Dual RS232-HS", .maker = "FTDI", .bus = "1-3"};
    tree.AddUsbTty("ttyUSB0", dual, DualA);
    tree.AddUsbTty("ttyUSB1", dual, DualB);
    tree.AddUsbTty("ttyACM0", {.vendor = "04d8",
                               .product = "000a",
                               .serial = "",
                               .name = "CDC RS-232",
                               .maker = "Microchip",
                               .bus = "1-4"});
    tree.AddUart("ttyS0", false);
    tree.AddUart("ttyS5", true);
}

} // namespace

TEST(SerialDevices, ListsByIdNamesFirstThenTheOtherTtys)
{
    FakeDevTree tree("serial-devices-list");
    Populate(tree);
    const std::vector<SerialDevice> devices = ListSerialDevices();
    struct Expected {
        std::string path, node, serial;
    } expected[] = {
        {tree.ById(DualA), tree.Dev("ttyUSB0"), "FT2X"},     {tree.ById(DualB), tree.Dev("ttyUSB1"), "FT2X"},
        {tree.ById(Ft232), tree.Dev("ttyUSB3"), "A50285BI"}, {tree.Dev("ttyACM0"), tree.Dev("ttyACM0"), ""},
        {tree.Dev("ttyS0"), tree.Dev("ttyS0"), ""},
    };
    ASSERT_EQ(devices.size(), std::size(expected));
    for (size_t i = 0; i < devices.size(); ++i) {
        EXPECT_EQ(devices[i].Path(), expected[i].path) << i;
        EXPECT_EQ(devices[i].node, expected[i].node) << i;
        EXPECT_EQ(devices[i].adapter.serial, expected[i].serial) << i;
    }
    EXPECT_EQ(UsbDescription(devices[2].adapter), "FTDI FT232R USB UART, 0403:6001, usb:A50285BI");
    EXPECT_EQ(UsbDescription(devices[3].adapter), "Microchip CDC RS-232, 04d8:000a");
    EXPECT_EQ(UsbDescription(devices[4].adapter), "");
    EXPECT_EQ(NodePath(tree.ById(Ft232)), tree.Dev("ttyUSB3"));
}

TEST(SerialDevices, NamesAUserMayGive)
{
    FakeDevTree tree("serial-devices-names");
    Populate(tree);
    struct Case {
        std::string name, path, error; // error: a part of the text
    } cases[] = {
        {"usb:A50285BI", tree.ById(Ft232), ""},
        {Ft232, tree.ById(Ft232), ""},
        {"/dev/ttyUSB9", "/dev/ttyUSB9", ""},
        {"tarnbox", "tarnbox", ""}, // no by-id name: a path like any other
        {"usb:a50285bi", "", "no serial device"},
        {"usb:", "", "no serial device"},
        // Both ports of the FT2232: which one only the by-id name says.
        {"usb:FT2X", "", "2 serial devices have this USB serial number (" + tree.ById(DualA) + ", "},
    };
    for (const Case &c : cases) {
        const DeviceLookup found = LookUpSerialDevice(c.name);
        EXPECT_EQ(found.path, c.path) << c.name;
        if (c.error.empty())
            EXPECT_EQ(found.error, "") << c.name;
        else
            EXPECT_NE(found.error.find(c.error), std::string::npos) << c.name << ": " << found.error;
    }

    // The [ports] map takes the same forms.
    const std::string ini = testing::TempDir() + "serial-devices-ports.ini";
    std::ofstream(ini) << "[ports]\ncom5=usb:A50285BI\ncom6=" << DualB << "\ncom7=usb:FT2X\n";
    SettingsFile settings(ini);
    EXPECT_EQ(ComPortDevice(settings, "COM5"), tree.ById(Ft232));
    EXPECT_EQ(ComPortDevice(settings, "COM6"), tree.ById(DualB));
    EXPECT_EQ(ComPortDevice(settings, "COM7"), "");
    EXPECT_EQ(ComPortDevice(settings, "COM1"), "/dev/ttyS0");
}
