#include "image/checksum.h"

#include <algorithm>

#include "support/textutil.h"
#include "texts/image_texts.h"

uint16_t ImageChecksum(const MemoryBuffer &buffer, const TDeviceSpec &device)
{
    uint32_t sum = 0;
    const uint32_t words = std::min<uint32_t>(device.ProgramSize, ConfigAreaStart);
    // The buffer keeps words as loaded; the chip holds only the core's bits.
    for (uint32_t a = 0; a < words; ++a)
        sum += buffer.Words[a] & device.BlankWord;
    const uint32_t config1 = device.Is12Bit() ? Config12BitWord : device.ConfigAddress1;
    sum += buffer.Words[config1] & device.ConfigMask1;
    if (device.ConfigAddress2 != 0 && device.ConfigAddress2 < WordImageSize)
        sum += buffer.Words[device.ConfigAddress2] & device.ConfigMask2;
    return static_cast<uint16_t>(sum);
}

uint16_t ImageChecksum(const MemoryBuffer &buffer, const TDeviceSpec18 &device)
{
    uint32_t sum = 0;
    const size_t bytes = std::min<size_t>(device.ProgramSize, buffer.Program18.size());
    for (size_t a = 0; a < bytes; ++a)
        sum += buffer.Program18[a];
    for (size_t i = 0; i < buffer.Config18.size(); ++i)
        sum += buffer.Config18[i] & device.ConfigMask[i];
    return static_cast<uint16_t>(sum);
}

uint16_t ImageChecksum(const MemoryBuffer &buffer, DeviceSelection device)
{
    if (!IsDevice(device)) return 0;
    if (device.Pic18) return ImageChecksum(buffer, DeviceTable18[static_cast<size_t>(device.Index)]);
    return ImageChecksum(buffer, DeviceTable[static_cast<size_t>(device.Index)]);
}

std::string ChecksumText(uint16_t checksum)
{
    return texts::Checksum(Hex(checksum, 4));
}
