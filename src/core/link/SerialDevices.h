// The serial devices the system has: every tty that sysfs shows with a
// device behind it, and the stable names udev gives them under
// /dev/serial/by-id. A USB adapter's node (/dev/ttyUSB0) follows the order
// of plugging in; its by-id name, made of the maker, product and serial
// number, stays the same on every plug and every machine.
//
// /dev is read under TARNVIK_DEV_ROOT when it is set (a prepared tree for
// tests), under / otherwise; sysfs as UsbAdapter.h says.
#pragma once

#include <string>
#include <vector>

#include "link/UsbAdapter.h"

class SettingsFile;

// The /dev root in use: TARNVIK_DEV_ROOT or "" (the real /dev).
std::string DevRoot();
// The by-id folder under that root.
std::string ByIdFolder();

struct SerialDevice {
    std::string byId;   // its path under /dev/serial/by-id; empty when udev gave it none
    std::string node;   // the device node: "/dev/ttyUSB0"
    UsbAdapter adapter; // what sysfs says of the tty; vendorId empty for no USB device
    // The name to open it by and show: the by-id path where there is one.
    const std::string &Path() const { return byId.empty() ? node : byId; }
};

// The devices with a by-id name first, in the names' order, each with its
// node; then the ttys sysfs shows with a device and no by-id name, in the
// order of their names. A built-in UART's slot with no hardware behind it
// (the platform ttyS ports) is left out.
std::vector<SerialDevice> ListSerialDevices();

// The node a by-id link (or any device path) stands for, links followed
// inside the /dev tree; the path itself when it is no link.
std::string NodePath(const std::string &path);

// What -p or a [ports] value names: a path (taken as it is), a by-id name
// without its folder when /dev/serial/by-id holds it, or "usb:SERIAL", the
// one serial device whose USB serial number that is.
struct DeviceLookup {
    std::string path;    // the device to open; empty when error says why not
    std::string error;   // in the system's terms, naming what was asked for
    bool absent = false; // usb:SERIAL that no device answers to (it may be plugged in later)
};
DeviceLookup LookUpSerialDevice(const std::string &name);

// The device a COM name stands for through the [ports] map (whose values
// may be by-id names or usb:SERIAL too); empty when it stands for none.
std::string ComPortDevice(const SettingsFile &settings, const std::string &name);

// A device the way a port button's hint and the ports listing describe it:
// "FTDI FT232R USB UART, 0403:6001, usb:A50285BI"; empty for no USB device.
std::string UsbDescription(const UsbAdapter &adapter);
