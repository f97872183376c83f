// The checksum the parts' programming documents define, which device
// programmers and the build tools print for an image: a check that the file
// on the desk and the chip in the socket hold the same program.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/DeviceSelection.h"
#include "catalogue/DeviceSpec.h"
#include "image/buffer.h"

// PIC10/12/16: the 16-bit sum of every program memory word (core width) and
// of the configuration words under the part's configuration masks.
uint16_t ImageChecksum(const MemoryBuffer &buffer, const TDeviceSpec &device);
// PIC18: the 16-bit sum of every program memory byte and of the
// configuration bytes under the part's configuration masks.
uint16_t ImageChecksum(const MemoryBuffer &buffer, const TDeviceSpec18 &device);
// The selected device's; 0 when none is selected.
uint16_t ImageChecksum(const MemoryBuffer &buffer, DeviceSelection device);

// "チェックサム 1A2B"
std::string ChecksumText(uint16_t checksum);
