// Test images whose configuration patterns must not protect the chip by
// accident: a protected chip reads back zeros and hides what was programmed.
#pragma once

#include "configbits/ConfigBits.h"
#include "image/buffer.h"

inline void ClearImageProtection(MemoryBuffer &buffer, const char *device, bool pic18)
{
    const auto layout = ConfigLayoutFor(device, pic18);
    if (!layout) return;
    TConfigValues values = ReadConfigValues(*layout, buffer);
    ClearProtection(*layout, values);
    WriteConfigValues(*layout, values, buffer);
}
