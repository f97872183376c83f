// The [rts-dtr] keys of the settings file, read one way for the window and
// the command line alike: a hand-edited file drives the same lines and the
// same wait whichever program opens the port.
#pragma once

#include <string>

#include "settings/settings.h"

struct LineSettings {
    bool enabled = false; // "CTRL": the keys below apply
    bool rtsOn = true;    // what the RTS group shows when enable is off
    bool dtrOn = false;
    // The wait field's four characters, the value right-aligned (" 200"),
    // and the milliseconds they say.
    std::string waitText = " 200";
    int waitMs = 200;
};

// enable, rts and dtr as booleans' integers: 0 is OFF, anything else ON (a
// hand-edited 2 or -1 shows ON in the window, so it is ON on the line too).
// The wait is decimal digits only, as its field takes them: anything else
// ("0x1388", "abc") is the default 200, more than four digits the field's
// most, 9999. Without enable none of the other keys is read.
LineSettings ReadLineSettings(const SettingsFile &settings);
