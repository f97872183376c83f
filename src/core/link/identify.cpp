#include "link/identify.h"

std::vector<int> DevicesWithId(bool pic18, uint16_t id)
{
    // Row 0 of each table is the family switch, not a device.
    std::vector<int> rows;
    if (pic18) {
        const uint16_t masked = id & DeviceIdMask18;
        if (masked == 0) return rows;
        for (int i = 1; i < DeviceTable18Size; ++i)
            if (DeviceTable18[i].DeviceId == masked) rows.push_back(i);
    } else {
        const uint16_t masked = id & DeviceIdMask16;
        if (masked == 0) return rows;
        for (int i = 1; i < DeviceTableSize; ++i)
            if (DeviceTable[i].DeviceId == masked) rows.push_back(i);
    }
    return rows;
}

std::vector<ChipIdentity> IdentifyChip(Link &link)
{
    std::vector<ChipIdentity> found;
    // The ID read needs only an entry form from the row; any row carrying an
    // ID with that form will do.
    for (int entryMode = 0; entryMode <= 1; ++entryMode) {
        const TDeviceSpec *reader = nullptr;
        for (int i = 1; i < DeviceTableSize && !reader; ++i)
            if (DeviceTable[i].DeviceId != 0 && DeviceTable[i].EntryMode == entryMode)
                reader = &DeviceTable[i];
        if (!reader) continue;
        const uint16_t id = ReadDeviceId(link, *reader);
        if ((id & DeviceIdMask16) == 0) continue;
        bool seen = false;
        for (const ChipIdentity &c : found)
            seen = seen || (!c.Pic18 && c.Id == id);
        if (!seen) found.push_back({false, id, DevicesWithId(false, id)});
    }
    if (CheckPic18Support(link) == 10) {
        const uint16_t id = ReadDeviceId18(link);
        if ((id & DeviceIdMask18) != 0) found.push_back({true, id, DevicesWithId(true, id)});
    }
    return found;
}
