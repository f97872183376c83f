// tarnvik.ini as both programs read it: one meaning for every key, whichever
// program opens the file. The window reads it at its first show and writes
// it when it closes; the command line only reads it.
#pragma once

#include <optional>
#include <string>

#include "link/serial.h"
#include "settings/LineSettings.h"
#include "settings/settings.h"

struct SavedPlace {
    std::optional<int> top, left; // absent: the program's own choice
};

struct AppSettings {
    struct Window {
        SavedPlace place;
        std::optional<int> width, height; // the outer size, the designed frame included
        bool maximized = false;
        SavedPlace strip;          // the Small Box strip with a frame
        SavedPlace stripNoBorder;  // and without
    } window;
    struct Device {
        bool pic18 = false; // the group the device list shows
        std::string name;   // the part selected last
        bool autoselect = false;
    } device;
    struct Port {
        bool fixes = false; // use this port only, no search
        std::string name;
    } port;
    LineSettings line;
    bool smallBlock = false;
    bool smallBoxNoBorder = false;
    bool verifyUserId = false;
    std::string traceFile; // empty: no wire trace
    // The production window's run, section [production]; the texts are
    // kept as typed and judged when a run is planned from them.
    struct Production {
        std::string log;   // CSV file; empty for none
        bool erase = false; // erase and blank-check before programming
        bool serial = false;
        std::string serialFormat = "retlw";
        std::string serialAt;    // address, decimal or 0x-hexadecimal
        int serialBytes = 4;
        std::string serialStart; // START or START:STEP; empty with a list or a state file
        std::string serialList, serialState;
        std::string onPass, onFail; // the hooks' command lines
        std::string ports;          // the gang, comma-separated
    } production;
};

// 0/1 keys: 0 is off, any other integer on; a value that is no integer
// gives the default. See ReadLineSettings for the [rts-dtr] keys.
AppSettings ReadAppSettings(const SettingsFile &file);

// The keys a window's close writes, into the parsed settings (SettingsFile::
// Save puts them on disk). Without withPlaces the window's place is left as
// the file has it; the strip places are written by WriteStripPlace alone.
// False when a key was refused.
bool WriteAppSettings(SettingsFile &file, const AppSettings &settings, bool withPlaces);
bool WriteStripPlace(SettingsFile &file, bool noBorder, int top, int left);
// The [production] keys, written by the production window alone.
bool WriteProductionSettings(SettingsFile &file, const AppSettings::Production &production);

// The port a run starts with, as a wire trace's header names it: the fixed
// port, or "search".
std::string StartingPortChoice(const AppSettings &settings);

// How a port is opened with the [rts-dtr] keys: the lines and the wait both
// programs use.
ModemOptions ModemFor(const LineSettings &line);
