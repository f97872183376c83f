// What to tell a user who may not open a serial port's device node. Joining
// the node's group helps only when that group may read and write it and is
// not root's (no user should be told to join root's group); otherwise the
// remedy is a udev rule fitting the node's kind: for a USB serial adapter
// the example rule shipped with Tarnvik, with the adapter's own ids; for a
// built-in UART, which no USB ids match, a rule by its kernel name giving it
// the group dialout. The window and the command line give the same advice
// from here.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

enum class NodeKind {
    Unknown, // sysfs knows no tty behind the node
    Usb,     // a USB serial adapter
    BuiltIn, // a tty with a device that is no USB one: a built-in UART
};

// A device node as its mode bits, owner and sysfs describe it.
struct DeviceNode {
    std::string path;
    bool known = false; // false: the node could not be looked at, nothing below is set
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
    std::string ownerName; // the number as text when it has no name
    std::string groupName;
    NodeKind kind = NodeKind::Unknown;
    std::string tty;       // the kernel's name for it, "ttyS0"; empty for Unknown
    std::string vendorId;  // a USB adapter's idVendor and idProduct
    std::string productId;
};

// The node at path (following links, as opening it does).
DeviceNode LookAtDeviceNode(const std::string &path);

// True when joining the node's group would give read and write access.
bool GroupGrantsAccess(const DeviceNode &node);

// "crw-rw---- root dialout": the node as ls -l shows it.
std::string NodeDescription(const DeviceNode &node);

// The example udev rule: beside the running program's installation
// (<prefix>/share/doc/tarnvik/examples) when it is there, else where the
// package puts it.
std::string ExampleUdevRulePath();

// One Japanese text for the devices (one or several paths, joined by ", ")
// whose nodes all look like node: the group to join, or the udev rule to
// install and how.
std::string PermissionAdvice(const std::string &devices, const DeviceNode &node);

// The advice for a list of refused device paths, one text per distinct
// remedy (devices sharing a group and remedy share a text), in the order of
// their first device.
std::vector<std::string> PermissionAdviceFor(const std::vector<std::string> &paths);
