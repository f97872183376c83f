// What of the chip a command touches (program memory, EEPROM, User-IDs,
// configuration), and what the user is told before a configuration the
// file does not give reaches the chip.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "catalogue/DeviceSelection.h"
#include "image/buffer.h"

// The memories of a chip as a set of bits.
enum Region : unsigned {
    RegionCode = 1,
    RegionEEData = 2,
    RegionUserId = 4,
    RegionConfig = 8,
    RegionAll = RegionCode | RegionEEData | RegionUserId | RegionConfig,
};

// "code,eeprom,id,config", any subset in any order; nullopt on an unknown or
// empty name.
std::optional<unsigned> ParseRegions(std::string_view text);

// The warning before a file without configuration is programmed, the same
// on the command line and in the window.
std::string MissingConfigurationText(const std::string &fileName, DeviceSelection device,
                                     const MemoryBuffer &buffer);

// Whether the buffer's configuration turns on code or data protection: a
// protection field of the part's configuration names (CP, CPn, CPB, CPD)
// away from its OFF setting. False for a part whose names are not at hand.
bool ConfigurationProtects(DeviceSelection device, const MemoryBuffer &buffer);
using ProtectionTest = bool (*)(DeviceSelection device, const MemoryBuffer &buffer);
