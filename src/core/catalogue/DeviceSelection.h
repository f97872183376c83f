// Which row of which family's table is selected: the device every command
// works on. A file's device tag or loader tag can choose it.
#pragma once

#include <string_view>

struct DeviceSelection {
    bool Pic18 = false;
    int Index = -1; // row of the family's table; -1 = none
    bool operator==(const DeviceSelection &) const = default;
};

// Family switch rows are list entries, not devices.
bool IsDeviceRow16(int index);
bool IsDeviceRow18(int index);
bool IsDevice(DeviceSelection device);
// The selected row's catalogue name; "" for none.
const char *DeviceName(DeviceSelection device);

// The row of a family's table with this name (case ignored), or -1.
int FindInTable(std::string_view name, bool pic18);

// The device a scanned name selects on LOAD: a name beginning "PIC18" is a
// PIC18 name, any other a PIC10/12/16 name. Index -1 when the name is not in
// that table (family switch rows are never chosen).
DeviceSelection DeviceForScannedName(std::string_view name);
// The row of the current family's table that a loader tag names, compared
// whole (blanks count; anything from a NUL on is left out), or -1.
int DeviceForLoaderTag(std::string_view tag, bool pic18Family);
