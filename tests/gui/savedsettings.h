// Settings a test prepares before the window starts: the window's own
// settings are written only when it closes, so these are saved when the
// object goes away (at the end of the statement for a temporary).
#pragma once

#include "settings/settings.h"

struct SavedSettings : SettingsFile {
    using SettingsFile::SettingsFile;
    ~SavedSettings() { Save(); }
};
