// Loading a HEX file into a buffer, for the Session and for the window,
// which keeps its own buffer: one read of the file, the device it ends
// with, and what the load found, as a LoadReport.
#pragma once

#include <string>

#include "Reports.h"
#include "image/buffer.h"

enum class LoadMode {
    New,     // the buffer cleared for the file's device, then the file
    Over,    // the file as a new one over the buffer (cleared for another device)
    Current, // over the buffer as it is
};

// Throws HexFileError when the file cannot be read; the buffer and the
// device are then as they were.
LoadReport LoadHex(MemoryBuffer &buffer, DeviceSelection device, const std::string &path, LoadMode mode,
                   bool autoSelect);
// Clears the buffer for device; false when there is none.
bool ClearFor(MemoryBuffer &buffer, DeviceSelection device);
