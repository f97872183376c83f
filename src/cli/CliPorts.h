// The ports of tarnvik-cli: what -p names (a COM name, a path, a by-id name
// or usb:SERIAL) and, for --repeat, the wait for a board that was unplugged
// between chips. The ports command and the port opening of CliSession live
// in CliPorts.cpp beside them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/SerialDevices.h"

class SettingsFile;

// The device a -p value stands for: a COM name through the settings file's
// map, anything else as LookUpSerialDevice finds it.
DeviceLookup PortArgumentDevice(const SettingsFile &settings, const std::string &port);

// --repeat: a board unplugged while its chip is changed is waited for
// before the next chips. Only a device that was there before is waited for
// (a path that never led anywhere is the round's to report), and only ports
// named on the command line: the probe looks afresh anyway.
class BoardReturn {
public:
    // Notes which of the ports' devices are there now.
    BoardReturn(const std::string &settingsPath, std::vector<std::string> ports);
    ~BoardReturn();
    // Waits until every noted device that has gone is back, polling its
    // path every pollMs with one line on stderr while it is missing; false
    // when stop() said so first (a signal). Notes the devices afresh.
    bool Wait(const std::function<bool()> &stop, int pollMs = 100);

private:
    bool Present(const std::string &port) const;
    std::unique_ptr<SettingsFile> settings_;
    std::vector<std::string> ports_;
    std::vector<bool> noted_;
};
