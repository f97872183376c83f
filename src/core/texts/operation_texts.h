// What the device operations say around their work: the connection check
// before each, a lost link, the memories a program keeps of the chip, and
// the program's own end. The reads, the erase and the chains have theirs in
// read_texts, erase_texts and chain_texts.
#pragma once

#include <string>

#include "texts/Audience.h"

namespace texts {

// ---- the connection check ----
std::string NoDeviceSelected();
std::string SelectDeviceStatus();
std::string DeviceIdUnconfirmed();
std::string DeviceIdUnconfirmedStatus();
std::string DeviceIdDiffers();
std::string DeviceIdDiffersStatus();
std::string PortNotOpen();
// The status of a command that found no port open: the window's status line
// and the Small Box dialog say it differently.
std::string OpenPortStatus(Audience who);
// No programmer answered on the port, as the front end names it.
std::string ProgrammerNotFound(const std::string &port);
std::string CheckConnectionStatus(Audience who);
// The firmware drives no PIC18 part: the log's line, and the status's.
std::string Pic18UnsupportedLog();
std::string Pic18Unsupported();

// ---- a lost link ----
// The kind of reply that came back wrong, after texts::LinkLost().
std::string EchoMismatch();
std::string ChecksumMismatch();
std::string ReadFailedStatus();
std::string WriteFailedStatus();
// The programmer may still hold part of a command, or the chip may still be
// in programming mode, and nothing may be sent that could finish it.
std::string PowerCycleProgrammer();

// ---- what a program keeps of the chip ----
// The memories kept: the data EEPROM, the configuration or both.
std::string KeptMemories(bool eeprom, bool config);
std::string KeptEepromProtected();
std::string KeptEepromProtectedStatus();
std::string KeptCopyUnwritableStatus();
std::string KeptCopyUnwritable(const std::string &folder, const std::string &reason);
std::string KeptCopySaved(const std::string &memories, const std::string &path);
// The file gave the memory otherwise; the chip's goes back instead.
std::string KeptOverFile(const std::string &memory);
// An earlier program's copy that never went back to a chip of this kind.
std::string KeptCopyPending(const std::string &device, const std::string &deviceId,
                            const std::string &memories, const std::string &time, const std::string &path);
// This chain's copy that did not go back.
std::string KeptNotWrittenBack(const std::string &memories, const std::string &path);

// ---- program ----
std::string BufferWritten();
std::string DeviceWritten();
// A file without configuration words: summary is what is written instead.
std::string MissingConfiguration(const std::string &file, const std::string &summary);

} // namespace texts
