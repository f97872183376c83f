// Copies of what a program keeps of a chip across its erase (the data
// EEPROM, the configuration words), on the disk before the erase starts.
// Held only in memory, the chip's own data would be gone with a lost link,
// a kill or a power cut between the erase and the write-back; on the disk a
// copy waits until the write-back is done, and every check of a chip of the
// same kind and DEVICE-ID names the copies still waiting, with the command
// that puts them back.
//
// Each copy is an Intel HEX file of the kept memories alone, in the folder
// beside the calibration log, named
//   DEVICE_ID_YYYYMMDD-HHMMSS_WHAT.hex   (PIC16F877A_0E22_20261209-223000_eeprom.hex)
// with ID "----" for a part without one and WHAT eeprom, config or
// eeprom+config. A copy whose data went back to the chip is removed.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "catalogue/DeviceSelection.h"
#include "image/buffer.h"

struct KeptCopy {
    std::string path;
    std::string device;   // catalogue name
    std::string deviceId; // 4 hex digits, "----" without one
    std::string time;     // "YYYY-MM-DD HH:MM:SS", local time
    unsigned regions = 0; // RegionEEData and/or RegionConfig
};

// $XDG_DATA_HOME/tarnvik/kept (~/.local/share/tarnvik/kept).
std::string KeptFolder();

// "eeprom", "config" or "eeprom,config": the memories as --only names them.
std::string KeptRegionNames(unsigned regions);

// "EEPROM", "Configuration" or "EEPROMとConfiguration", as the texts name them.
std::string KeptMemoriesText(unsigned regions);

// Writes the kept memories of buffer (the chip's data, for device) to a new
// copy and waits until it is on the disk. Empty reason and the copy filled
// when it is; else why not, in the user's words, and nothing left behind.
std::string SaveKeptCopy(const MemoryBuffer &buffer, DeviceSelection device, const std::string &deviceId,
                         unsigned regions, KeptCopy &copy);

// Every copy in the folder still waiting for its write-back, oldest first.
std::vector<KeptCopy> ListKeptCopies();

// The waiting copies of a chip kind with this DEVICE-ID ("----" for none).
std::vector<KeptCopy> KeptCopiesFor(const std::string &device, const std::string &deviceId);

// Whether path names a copy in the folder (the file a restore programs).
std::optional<KeptCopy> KeptCopyAt(const std::string &path);

// The copy's data is on the chip again: the copy goes. Empty when it is
// gone, else why not.
std::string ForgetKeptCopy(const KeptCopy &copy);
