#include "catalogue/DeviceSelection.h"

#include "catalogue/DeviceSpec.h"
#include "support/textutil.h"

// Family switch rows are list entries, not devices.
bool IsDeviceRow16(int index)
{
    return index > 0 && index < DeviceTableSize;
}

bool IsDeviceRow18(int index)
{
    return index > 0 && index < DeviceTable18Size;
}

bool IsDevice(DeviceSelection device)
{
    return device.Pic18 ? IsDeviceRow18(device.Index) : IsDeviceRow16(device.Index);
}

int FindInTable(std::string_view name, bool pic18)
{
    if (pic18) {
        for (int i = 1; i < DeviceTable18Size; ++i)
            if (SameTextIgnoringCase(name, DeviceTable18[i].Name)) return i;
    } else {
        for (int i = 1; i < DeviceTableSize; ++i)
            if (SameTextIgnoringCase(name, DeviceTable[i].Name)) return i;
    }
    return -1;
}

DeviceSelection DeviceForScannedName(std::string_view name)
{
    DeviceSelection d;
    d.Pic18 = UpperCase(name.substr(0, 5)) == "PIC18";
    d.Index = FindInTable(name, d.Pic18);
    return d;
}

int DeviceForLoaderTag(std::string_view tag, bool pic18Family)
{
    return FindInTable(tag.substr(0, tag.find('\0')), pic18Family);
}

const char *DeviceName(DeviceSelection device)
{
    if (device.Index < 0) return "";
    const size_t row = static_cast<size_t>(device.Index);
    if (device.Pic18) return row < static_cast<size_t>(DeviceTable18Size) ? DeviceTable18[row].Name : "";
    return row < static_cast<size_t>(DeviceTableSize) ? DeviceTable[row].Name : "";
}
