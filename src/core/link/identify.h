// Naming the chip in the socket from its DEVICE-ID, without a device chosen
// beforehand. The revision bits of the ID are never compared.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/DeviceSelection.h"

#include "link/PICCommand.h"

// The masked DEVICE-ID of each family: five low revision bits dropped.
constexpr uint16_t DeviceIdMask16 = 0x3FE0;
constexpr uint16_t DeviceIdMask18 = 0xFFE0;

// Rows of the family's table whose DeviceId equals the masked id; an id that
// masks to zero matches nothing (devices without an ID carry 0 there).
std::vector<int> DevicesWithId(bool pic18, uint16_t id);

struct ChipIdentity {
    bool Pic18 = false;
    uint16_t Id = 0;       // as read, revision bits included
    std::vector<int> Rows; // matching rows of that family's table
};

// Reads the DEVICE-ID at 0x2006 in both programming-mode entry forms of the
// PIC10/12/16 family and, on firmware that supports PIC18, at 0x3FFFFE.
// Every reading that masks to a non-zero ID is returned, in that order.
std::vector<ChipIdentity> IdentifyChip(Link &link);

// The device the chip in the socket names, for picking the part from the
// chip instead of by name.
struct DevicePick {
    enum Result {
        Picked,  // one catalogue row carries the ID read
        Several, // the ID read is carried by more than one row
        Unknown, // an ID was read that no row carries
        NoId,    // no ID at all: a part without a DEVICE-ID, or an empty socket
    } Outcome = NoId;
    DeviceSelection Device;                  // Picked
    uint16_t Id = 0;                         // the ID behind Picked, Several and Unknown, as read
    std::vector<DeviceSelection> Candidates; // Several: its rows; Unknown, NoId: the rows without a DEVICE-ID
};

// Judges IdentifyChip's readings. Rows that several readings name count once.
DevicePick PickDevice(const std::vector<ChipIdentity> &found);

// Japanese texts of a pick, the same for every front end.
std::string DevicePickText(const DevicePick &pick);
