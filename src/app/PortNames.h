// The names a port goes by: COM1 ... COM10 through the settings file's map,
// and for the command line's -p a path, a by-id name or usb:SERIAL.
#pragma once

#include <string>

#include "link/SerialDevices.h"

class SettingsFile;

std::string ComName(int n);
// "COM1" ... "COM10" in any letter case; 0 for anything else.
int ComNumber(const std::string &name);
// Two paths that reach one device: the same text, or the same node once
// by-id links and the like are followed.
bool SameDevice(const std::string &a, const std::string &b);
// The device a -p value stands for: a COM name through the settings file's
// map, anything else as LookUpSerialDevice finds it.
DeviceLookup PortArgumentDevice(const SettingsFile &settings, const std::string &port);
