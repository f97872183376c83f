// Writing the buffer out as Intel HEX: records, blank records left out, and
// the file replaced only by a complete new one.
#pragma once

#include <string>
#include <vector>

#include "catalogue/DeviceSelection.h"
#include "image/buffer.h"
#include "image/hex.h"

// ---- Writing -------------------------------------------------------------

// One line of text for a record, without line end; the checksum is computed.
std::string FormatHexRecord(const TIntelHex &record);

// Word records: blank when every data word (low byte, high byte) equals key.
bool IsBlankRecord16(const TIntelHex &record, uint16_t key, bool saveAll);
// Byte records: blank when every data byte is 0xFF.
bool IsBlankRecord18(const TIntelHex &record, bool saveAll);

// The memories a file is written with: all of them for SAVE; only some for a
// copy of what a program keeps of a chip.
enum HexArea : unsigned {
    HexAreaProgram = 1,
    HexAreaConfig = 2, // User-IDs and configuration words
    HexAreaEEData = 4,
    HexAreaAll = HexAreaProgram | HexAreaConfig | HexAreaEEData,
};

std::vector<std::string> Hex16Lines(const WordImage &words, const TDeviceSpec &device, bool saveAll,
                                    unsigned areas = HexAreaAll);
std::vector<std::string> Hex18Lines(const std::vector<uint8_t> &program, const std::vector<uint8_t> &eedata,
                                    const std::array<uint8_t, 16> &id, const std::array<uint8_t, 14> &config,
                                    const TDeviceSpec18 &device, bool saveAll, unsigned areas = HexAreaAll);

// Writes every line with CR LF to a temporary file and renames it over path
// when complete: a failure leaves an existing file as it was. A pipe or a
// device (standard output) is written directly.
void WriteHexLines(const std::string &path, const std::vector<std::string> &lines);
void SaveHex16(const std::string &path, const WordImage &words, const TDeviceSpec &device, bool saveAll);
void SaveHex18(const std::string &path, const std::vector<uint8_t> &program,
               const std::vector<uint8_t> &eedata, const std::array<uint8_t, 16> &id,
               const std::array<uint8_t, 14> &config, const TDeviceSpec18 &device, bool saveAll);

// SAVE's core: writes the live half for the selected device. Returns false,
// writing nothing, when no device is selected.
bool SaveBuffer(const std::string &path, const MemoryBuffer &buffer, DeviceSelection device, bool saveAll);
