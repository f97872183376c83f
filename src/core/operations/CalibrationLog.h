// The calibration log: every factory calibration value read from a chip,
// kept in the user's data folder so that a value an erase could not put back
// is never lost for good. One line per value, appended, never rewritten.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CalibrationEntry {
    std::string time;     // local time, "YYYY-MM-DD HH:MM:SS"
    std::string device;   // catalogue name
    std::string deviceId; // DEVICE-ID with its revision bits, 4 hex digits; "----" without one
    uint16_t address = 0;
    uint16_t value = 0;
};

// $XDG_DATA_HOME/tarnvik/calibration.log, with ~/.local/share as the base
// when XDG_DATA_HOME is unset or not absolute.
std::string CalibrationLogPath();

// Appends the entries, creating the folder when needed, and waits until they
// are on the disk: empty when they are, else why not, in the user's words
// (only a plain file is a log: a FIFO or a device in its place is refused).
std::string AppendCalibration(const std::vector<CalibrationEntry> &entries);

// The last value logged for a chip kind at an address whose calibration bits
// (mask) are not all set: the last factory value, not an erased one.
std::optional<CalibrationEntry> LastCalibration(const std::string &device, uint16_t address, uint16_t mask);

// "YYYY-MM-DD HH:MM:SS" now, local time.
std::string CalibrationTimeNow();

// The DEVICE-ID field of an entry: the ID the check read from this very
// chip, 4 hex digits, or "----" when none was read.
std::string CalibrationDeviceId(std::optional<uint16_t> id);
