// The ports of tarnvik-cli: what -p names (a COM name, a path, a by-id name
// or usb:SERIAL) and, for --repeat, the wait for a board that was unplugged
// between chips. The ports command and the port opening of CliSession live
// in CliPorts.cpp beside them.
#pragma once

#include <functional>
#include <string>
#include <vector>

class SettingsFile;

// The device a -p value stands for: a COM name through the settings file's
// map, anything else as LookUpSerialDevice finds it. Empty, with error set
// when something can say why, when it stands for none.
std::string PortArgumentPath(const SettingsFile &settings, const std::string &port, std::string &error);

// Before the next chips of a --repeat run: every port named by path (or
// usb:SERIAL) whose device has gone is waited for, its path polled every
// pollMs, with one line on stderr while it is missing. False when stop()
// said so first (a signal); true once every device is there. Ports found by
// the probe (an empty entry) are not waited for: the probe looks afresh.
bool WaitForBoards(const SettingsFile &settings, const std::vector<std::string> &ports,
                   const std::function<bool()> &stop, int pollMs = 100);
