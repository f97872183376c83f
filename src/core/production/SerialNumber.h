// Per-chip serial numbers: how a number is laid out in the image and where it
// goes. Each chip is programmed from its own copy of the buffer with its
// number placed in it; the loaded buffer itself never changes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/DeviceSpec.h"
#include "image/buffer.h"

enum class SerialFormat {
    // One RETLW instruction per byte, least significant byte at the lowest
    // address, so a table read with an offset 0, 1, ... gives the number
    // from its low byte up (PIC18: RETLW words, byte address even).
    Retlw,
    // Raw program words, every bit of each word used (14 or 12 bits; 16 on a
    // PIC18), least significant bits in the first word.
    Word,
    // Bytes in data EEPROM, least significant byte first.
    Eeprom,
    // The decimal digits as characters, one RETLW each as Retlw places its
    // bytes, the most significant first and padded with '0' to the layout's
    // bytes: the number as the label prints it, for firmware to show or send.
    Ascii,
};

struct SerialLayout {
    SerialFormat format = SerialFormat::Retlw;
    uint32_t address = 0; // program word (PIC18: byte) address, or EEPROM offset
    int bytes = 4;        // 1 ... 8
    bool overwrite = false;
};

// "retlw", "word", "eeprom" or "ascii" (any letter case).
std::optional<SerialFormat> ParseSerialFormat(const std::string &text);
const char *SerialFormatName(SerialFormat format);
// "START" or "START:STEP", decimal or 0x-hexadecimal; STEP at least 1.
bool ParseSerialStart(const std::string &text, uint64_t &start, uint64_t &step);
// A number in decimal or 0x-hexadecimal, as the address options take it.
bool ParseNumber(const std::string &text, uint64_t &value);

// The largest number that fits in the layout's bytes.
uint64_t SerialMaximum(int bytes);
// The largest number the layout holds: its bytes', or for Ascii its digits'.
uint64_t SerialMaximum(const SerialLayout &layout);

// The device a layout is placed for: one row of either table.
struct SerialTarget {
    const TDeviceSpec *device = nullptr;
    const TDeviceSpec18 *device18 = nullptr;
};

// Checks the layout against the device and the loaded image: the place lies
// inside memory the program operation writes (not the calibration word), and
// unless overwrite is set every cell it takes is blank in the image. Empty
// when it may be used, else why not; overlapsFile (when given) says whether
// the refusal is data of the file, which overwrite would allow.
std::string CheckSerialPlace(const SerialLayout &layout, const SerialTarget &target,
                             const MemoryBuffer &image, bool *overlapsFile = nullptr);
// Writes the number into image at the layout's place; the place must have
// passed CheckSerialPlace and the number must fit.
void PlaceSerial(const SerialLayout &layout, const SerialTarget &target, uint64_t number,
                 MemoryBuffer &image);
// The number as the chip holds it, read back from an image; nullopt when a
// cell does not hold the layout's encoding (a RETLW with another opcode).
std::optional<uint64_t> ReadSerial(const SerialLayout &layout, const SerialTarget &target,
                                   const MemoryBuffer &image);
