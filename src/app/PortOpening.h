// Choosing and opening a run's port, for the Session and for the window,
// which keeps its own port record: the settings' fixed port or the search,
// a port named, and the open itself, each ending in a PortChosen.
#pragma once

#include <string>
#include <vector>

#include "AppSettings.h"
#include "Reports.h"
#include "link/discovery.h"

class SettingsFile;

// The port a run starts with: the settings' fixed port, else the search.
PortChoice StartingPortChoice(const SettingsFile &settings, const AppSettings::Port &saved);

// The probe of COM1 ... COM10 and the device nodes the user may not open.
struct PortSearch {
    PortsProbe probe;
    std::vector<std::string> denied;
};
PortSearch SearchForProgrammer(Link &link, const SettingsFile &settings, const ModemOptions &modem,
                               ProbeListener listener = {});

// Opens the port the choice names, or for the search the port it found
// (search must then be given). The port's notice stays with the port.
PortChosen OpenChosenPort(SerialPort &port, const ModemOptions &modem, const PortChoice &choice,
                          const PortSearch *search = nullptr);
