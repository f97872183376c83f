// What the link to the programmer says: a lost or slow line, a port the
// user may not open, an adapter's latency, the device found by its ID and
// the communication trace's file.
#pragma once

#include <string>

namespace texts {

// A programmer that stopped confirming commands or sending data, the same
// from every operation and from the window's unplug watch.
std::string LinkLost();
// The programmer's answers arrive late, so the waits allow for holdMs.
std::string LinkHeldBack(int holdMs);

// The ports the user may not open; description is the node's mode, owner
// and group, left out when the node could not be looked at.
std::string PortNotPermitted(const std::string &devices, bool described, const std::string &description);
// The remedies that follow: joining the node's group; a rule for a UART on
// the board (tty its kernel name); the packaged udev rule, with an
// adapter's ids when they are known (usb).
std::string PermissionJoinGroup(const std::string &group);
std::string PermissionBuiltInRule(const std::string &tty);
std::string PermissionUdevRule(const std::string &rule, bool usb, const std::string &vendorId,
                               const std::string &productId);

// A USB serial adapter whose latency timer slows every echo.
std::string LatencyTooHigh(const std::string &devicePath, const std::string &ms,
                           const std::string &latencyPath);

// The trace file is one the command reads or writes, or a symbolic link.
std::string TraceSameFile(const std::string &clash);
std::string TraceNoSymlink();
// The trace could not be written to its end.
std::string TraceIncomplete(const std::string &path, const std::string &reason);

// The device chosen by the ID read from the chip; id is in hexadecimal,
// names lists the devices concerned.
std::string DevicePicked(const std::string &id, const std::string &names);
std::string DeviceIdAmbiguous(const std::string &id, const std::string &names);
std::string DeviceIdUnknown(const std::string &id, const std::string &names);
std::string DeviceIdUnreadable(const std::string &names);

} // namespace texts
