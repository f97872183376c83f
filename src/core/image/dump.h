// Text of the hexadecimal dump views and the configuration fields, built
// from the buffer and the selected device. No toolkit here: the window and
// the command-line tool print exactly the same lines.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "catalogue/DeviceSpec.h"
#include "image/buffer.h"

// Shown in the ASCII column for every byte outside 0x20..0x7E (U+FF65).
constexpr std::string_view DumpPlaceholder = "\xEF\xBD\xA5";

std::string ProgramDumpHeader(bool pic18);
std::string ConfigDumpHeader(bool pic18);
std::string DataDumpHeader();

// Each dump is one text, lines separated by '\n' without a trailing one, so
// a view can take it in a single assignment.
std::string ProgramDumpText(const MemoryBuffer &buffer, const TDeviceSpec &device);
std::string ProgramDumpText(const MemoryBuffer &buffer, const TDeviceSpec18 &device);
// Empty for a device without data EEPROM.
std::string DataDumpText(const MemoryBuffer &buffer, const TDeviceSpec &device);
std::string DataDumpText(const MemoryBuffer &buffer, const TDeviceSpec18 &device);
std::string ConfigDumpText(const MemoryBuffer &buffer, const TDeviceSpec &device);
std::string ConfigDumpText18(const MemoryBuffer &buffer);

// What the views hold before any device has been selected.
std::string InitialProgramDumpText();
std::string InitialDataDumpText();
std::string InitialConfigDumpText();

// One configuration-field slot of the PIC10/12/16 family: Config1, Config2,
// CAL1, CAL2.
enum class SlotState { Absent = 0, Shown = 1, Editable = 2 };

struct ConfigSlot {
    std::string Address; // "2007:" or "----:"
    std::string Value;   // "3FFF" or "----"
    SlotState State = SlotState::Absent;
};

std::array<ConfigSlot, 4> ConfigSlots(const MemoryBuffer &buffer, const TDeviceSpec &device,
                                      bool configChange, bool calibChange);

// The seven PIC18 fields: addresses "0000:" .. "000C:" and the values
// CONFIGnH:CONFIGnL as four hex digits.
std::array<std::string, 7> ConfigAddresses18();
std::array<std::string, 7> ConfigValues18(const MemoryBuffer &buffer);
