// The USB serial adapter behind a port, as sysfs describes it: which tty it
// is, the USB ids and serial number of the device, and the adapter's
// latency timer. An FTDI adapter holds received bytes back until its timer
// runs out (16 ms by default), so every echo the programmer sends waits that
// long; at 1 ms the same exchange is several times faster.
//
// sysfs is read under TARNVIK_SYSFS_ROOT when it is set (a prepared tree
// for tests), under / otherwise.
#pragma once

#include <optional>
#include <string>

struct UsbAdapter {
    std::string tty;          // kernel name of the tty: "ttyUSB0"
    std::string vendorId;     // idVendor, "0403"; empty when no USB device was found above the tty
    std::string productId;    // idProduct, "6001"
    std::string serial;       // the device's serial number, empty when it has none
    std::string product;      // the device's own product text
    std::string manufacturer; // and its maker's
    std::string latencyPath;  // sysfs latency_timer; empty when the adapter has none
    int latencyMs = -1;       // its value, -1 when unknown
    bool hasDevice = false;   // sysfs shows a device behind the tty (no console or pseudo-terminal)
    bool platformDevice = false; // that device sits on the platform bus (a built-in UART's slot)
};

// The sysfs root in use: TARNVIK_SYSFS_ROOT or "" (the real /sys).
std::string SysfsRoot();

// The adapter behind a device path (symbolic links such as /dev/tarnbox
// followed); nothing when sysfs knows no tty of that name.
std::optional<UsbAdapter> FindUsbAdapter(const std::string &devicePath);

// The same for a tty by its kernel name ("ttyUSB0").
std::optional<UsbAdapter> FindTtyAdapter(const std::string &tty);

// Re-reads the adapter's latency timer; -1 when it cannot be read.
int ReadLatencyMs(const UsbAdapter &adapter);

enum class LatencyOutcome {
    Fine,      // no latency timer, or it is at 1 ms already
    Lowered,   // it was above 1 ms and now is 1
    TooHigh,   // above 1 ms and this user may not change it
};

// Sets an adapter's latency timer above 1 ms to 1 where the attribute may be
// written. adapter.latencyMs holds the value afterwards.
LatencyOutcome LowerLatency(UsbAdapter &adapter);

// What a latency timer left above 1 ms costs and how to fix it, for the
// user: one message of a few lines.
std::string LatencyAdvice(const std::string &devicePath, const UsbAdapter &adapter);

// On opening a port: lowers the adapter's latency timer where it can; where
// it cannot, returns the advice, the first time only for each adapter in
// this process (empty otherwise).
std::string LatencyNoticeOnOpen(const std::string &devicePath);
