#pragma once

#include <string>

class SettingsFile;
// The device path of a port name: section "ports", keys "com1" ... "com10";
// without a key COM1-COM4 are /dev/ttyS0-3, COM5-COM8 /dev/ttyUSB0-3 and
// COM9-COM10 /dev/ttyACM0-1. Other names map to no device (empty).
std::string PortDevicePath(const SettingsFile &settings, const std::string &name);
