// The plain whole-chip transfers: each memory read or written with the single
// commands in the most direct way. The operations never use them; the tests
// hold the operations' checked wire against them byte for byte and drive the
// simulator's chip with them.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "catalogue/DeviceSpec.h"
#include "image/buffer.h"
#include "link/PICCommand.h"

// Streams n words with ICSP read command 4 (program memory) or 5 (data
// EEPROM). Small-block mode (program memory only) reads 16-word blocks,
// ⌊n/16⌋ + 1 of them, so up to 16 words past n are received.
int ReadWords(Link &link, uint8_t readCommand, int n, std::span<uint16_t> destination, ProgressBar *progress);

int ReadPic18Eeprom(Link &link, int n, std::span<uint8_t> destination, ProgressBar *progress);

// Whole-device reads; they enter and leave programming mode themselves and
// return the number of units that did not arrive.
int ReadDeviceMemories(Link &link, const TDeviceSpec &device, std::span<uint16_t, WordImageSize> image,
                       ProgressBar *progress);

int ReadDeviceMemories18(Link &link, const TDeviceSpec18 &device, MemoryBuffer &buffer,
                         ProgressBar *progress);

// Writes 8 words as two row-write blocks; returns the second block's Status.
// form is the result of DetectRowWriteForm (0x15 or 0x08).
int32_t WriteRow(Link &link, int form, int selector, uint8_t wait, int latchCount,
                 const std::array<uint16_t, 8> &words);

void SelectFlashAccess(Link &link);

void SelectConfigAccess(Link &link);

int32_t WritePic18Config(Link &link, const std::array<uint8_t, 14> &bytes, uint8_t time);
