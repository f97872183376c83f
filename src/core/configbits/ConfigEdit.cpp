#include "configbits/ConfigEdit.h"

#include "support/textutil.h"

std::optional<uint16_t> ParseConfigField(std::string_view text)
{
    if (text.empty() || text.size() > 4) return std::nullopt;
    uint16_t value = 0;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) return std::nullopt;
        value = uint16_t(value << 4 | digit);
    }
    return value;
}

void StoreConfigWords(MemoryBuffer &buffer, const TDeviceSpec &device, std::string_view config1,
                      std::string_view config2)
{
    // Exactly four digits: the first two are the high byte, the last two the low.
    auto word = [](std::string_view t) { return t.size() == 4 ? ParseConfigField(t) : std::nullopt; };
    const uint32_t target1 = device.Is12Bit() ? Config12BitWord : device.ConfigAddress1;
    if (auto v = word(config1); v && target1 < WordImageSize) buffer.Words[target1] = *v;
    if (device.ConfigAddress2 != 0 && device.ConfigAddress2 < WordImageSize)
        if (auto v = word(config2)) buffer.Words[device.ConfigAddress2] = *v;
}

void StoreConfigBytes18(MemoryBuffer &buffer, const std::array<std::string, 7> &values)
{
    for (size_t k = 0; k < values.size(); ++k) {
        if (auto v = ParseConfigField(values[k])) {
            buffer.Config18[2 * k] = uint8_t(*v & 0xFF);
            buffer.Config18[2 * k + 1] = uint8_t(*v >> 8);
        }
    }
}
