// The commands of tarnvik-cli, one file each, as functions over the
// command's run; each returns the exit status.
#pragma once

#include <cstdint>
#include <string>

#include "CommandRun.h"
#include "configbits/ConfigBits.h"
#include "image/hex.h"
#include "support/textutil.h"

int PortsCommand(CommandRun &run);
int VersionCommand(CommandRun &run);
int DevicesCommand(CommandRun &run);
int KeptCommand(CommandRun &run);
int IdentifyCommand(CommandRun &run);
int ReadCommand(CommandRun &run);
int ProgramCommand(CommandRun &run);
int VerifyCommand(CommandRun &run);
int EraseCommand(CommandRun &run);
int BlankCommand(CommandRun &run);
int DumpCommand(CommandRun &run);
int ConfigCommand(CommandRun &run);
int CompareCommand(CommandRun &run);

// -d auto: selects the device the chip's DEVICE-ID names; the exit status
// of a refusal, 0 when a device was picked.
int PickDeviceFromChip(CommandRun &run);
// erase --cal1/--cal2 for a part that has no such words: the refusal's
// text, empty when the values fit the part.
std::string EraseCalibrationProblem(const CliOptions &options, DeviceSelection device);

// Configuration words as the config commands show them.
inline int ConfigDigits(const TConfigWord &w)
{
    return w.Width > 0xFF ? 4 : 2;
}
inline std::string ConfigAddressText(uint32_t address)
{
    return Hex(address, address > 0xFFFF ? 6 : 4);
}
inline std::string ConfigWordLine(const TConfigWord &w, uint16_t value)
{
    return w.Name + " (" + ConfigAddressText(w.DeviceAddress) + ") = " + Hex(value, ConfigDigits(w));
}
