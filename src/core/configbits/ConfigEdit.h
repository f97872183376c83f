// Storing typed configuration words into the buffer (the "Set" command of
// the Configuration Memory tab). Values are stored as typed: programming
// applies the device's masks, verify and blank check compare through them.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/DeviceSpec.h"
#include "image/buffer.h"

// One to four hexadecimal digits, either case, nothing else.
std::optional<uint16_t> ParseConfigField(std::string_view text);

// PIC10/12/16: Config1 goes to word 0x0FFF on a 12-bit core, else to the
// device's ConfigAddress1; Config2 to ConfigAddress2 when the device has one.
// A field that does not hold four hex digits leaves its word unchanged.
void StoreConfigWords(MemoryBuffer &buffer, const TDeviceSpec &device, std::string_view config1,
                      std::string_view config2);

// PIC18: field k (0..6) becomes CONFIG(k+1)L = low byte, CONFIG(k+1)H = high
// byte. A field that is not a hex number leaves its byte pair unchanged.
void StoreConfigBytes18(MemoryBuffer &buffer, const std::array<std::string, 7> &values);
