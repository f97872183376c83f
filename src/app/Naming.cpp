#include "Naming.h"

#include <filesystem>

#include "catalogue/DeviceSpec.h"
#include "configbits/ConfigEdit.h"
#include "support/textutil.h"

std::string SelectedDeviceName(DeviceSelection device)
{
    return DeviceName(device);
}

DeviceSelection FindCatalogueDevice(const std::string &name)
{
    for (int i = 1; i < DeviceTableSize; ++i)
        if (SameTextIgnoringCase(DeviceTable[i].Name, name)) return {false, i};
    for (int i = 1; i < DeviceTable18Size; ++i)
        if (SameTextIgnoringCase(DeviceTable18[i].Name, name)) return {true, i};
    return {false, -1};
}

std::string FileBaseName(const std::string &path)
{
    return std::filesystem::path(path).filename().string();
}

std::optional<uint16_t> CalibrationWord(const std::string &digits)
{
    return digits.size() == 4 ? ParseConfigField(digits) : std::nullopt;
}

std::string DeviceIdText(uint16_t id)
{
    return Hex(id & ~0x1Fu, 4) + " rev " + std::to_string(id & 0x1F);
}
