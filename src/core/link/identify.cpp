#include "link/identify.h"

#include <algorithm>

#include "support/textutil.h"
#include "texts/link_texts.h"

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

DevicePick PickDevice(const std::vector<ChipIdentity> &found)
{
    DevicePick pick;
    std::vector<DeviceSelection> rows;
    for (const ChipIdentity &chip : found) {
        if (pick.Outcome == DevicePick::NoId) {
            pick.Outcome = DevicePick::Unknown;
            pick.Id = chip.Id;
        }
        for (int row : chip.Rows) {
            const DeviceSelection d{chip.Pic18, row};
            if (std::find(rows.begin(), rows.end(), d) != rows.end()) continue;
            if (rows.empty()) pick.Id = chip.Id;
            rows.push_back(d);
        }
    }
    if (rows.size() == 1) {
        pick.Outcome = DevicePick::Picked;
        pick.Device = rows.front();
    } else if (rows.size() > 1) {
        pick.Outcome = DevicePick::Several;
        pick.Candidates = rows;
    } else {
        // A part without a DEVICE-ID reads whatever its memory gives there
        // (an erased word, a pulled-down line): any of them may be in the socket.
        for (int i = 1; i < DeviceTableSize; ++i)
            if (DeviceTable[static_cast<size_t>(i)].DeviceId == 0) pick.Candidates.push_back({false, i});
    }
    return pick;
}

namespace {

std::string Names(const std::vector<DeviceSelection> &rows)
{
    std::string names;
    for (const DeviceSelection &d : rows)
        names += (names.empty() ? "" : ", ") +
                 std::string(d.Pic18 ? DeviceTable18[static_cast<size_t>(d.Index)].Name
                                     : DeviceTable[static_cast<size_t>(d.Index)].Name);
    return names;
}

} // namespace

std::string DevicePickText(const DevicePick &pick)
{
    const std::string id = Hex(pick.Id & ~0x1Fu, 4);
    switch (pick.Outcome) {
    case DevicePick::Picked:
        return texts::DevicePicked(id, Names({pick.Device}));
    case DevicePick::Several:
        return texts::DeviceIdAmbiguous(id, Names(pick.Candidates));
    case DevicePick::Unknown:
        return texts::DeviceIdUnknown(id, Names(pick.Candidates));
    case DevicePick::NoId:
        return texts::DeviceIdUnreadable(Names(pick.Candidates));
    }
    return {};
}
