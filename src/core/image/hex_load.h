// Loading a HEX file into the buffer for the selected device.
#pragma once

#include <string>
#include <string_view>

#include "catalogue/DeviceSelection.h"
#include "image/buffer.h"
#include "image/hex.h"
#include "image/load_check.h"

struct LoadOutcome {
    DeviceSelection Device;     // the selected device after the load
    bool DeviceChanged = false; // family or row differs from before the load
    std::string Tag;            // the loader's tag out
    bool DeviceInformationApplied = false;
    HexReadReport Read; // what the file held besides its records
    // What the records give that the part would not get as the file says,
    // judged for Device after the load.
    LoadFindings Findings;
    // The file gave the selected part's configuration word(s) (PIC18: any
    // configuration byte), by a record or by device information. Without it
    // the buffer's configuration is only what it held before the load.
    bool ConfigurationSet = false;
};

// LOAD's core (the dialog, list refill, redraw and messages are the caller's).
// outcome.Device holds the current selection on entry. The file is read once,
// before anything changes. With autoSelect the file's device is chosen; when
// that changes the device the buffer is cleared for it first, so nothing of
// the previous part (PIC18 ID and configuration bytes included) stays.
void LoadNewFile(const std::string &path, MemoryBuffer &buffer, bool autoSelect, LoadOutcome &outcome);
// The same for a file's text already read with ReadHexFile.
void LoadNewText(std::string_view text, MemoryBuffer &buffer, bool autoSelect, LoadOutcome &outcome);
// Loads over the buffer without clearing; with autoSelect, a loader tag naming
// a row of the current family selects it afterwards (the family never changes;
// a PIC18 part of another size gets its arrays and the file read into them).
void LoadCurrentFile(const std::string &path, MemoryBuffer &buffer, bool autoSelect, LoadOutcome &outcome);
