#include "image/dump.h"

#include <algorithm>

#include "support/textutil.h"

namespace {

constexpr const char *WordHeader = "ADDRESS 0000 0001 0002 0003 0004 0005 0006 0007 ----- ASCII-----";
constexpr const char *ByteHeader = "ADDRESS 0000 0002 0004 0006 0008 000A 000C 000E ----- ASCII-----";

void AppendChar(std::string &out, uint8_t byte)
{
    if (byte >= 0x20 && byte <= 0x7E)
        out += static_cast<char>(byte);
    else
        out += DumpPlaceholder;
}

// Words outside the image read as 0 rather than past its end; no catalogue
// entry reaches there, but a dump must never read out of bounds.
uint16_t WordAt(const MemoryBuffer &buffer, uint32_t address)
{
    return address < WordImageSize ? buffer.Words[address] : 0;
}

uint8_t ByteAt(const std::vector<uint8_t> &bytes, size_t offset)
{
    return offset < bytes.size() ? bytes[offset] : 0xFF;
}

void NewLine(std::string &out)
{
    if (!out.empty()) out += '\n';
}

// One line of up to eight words from the word image, empty slots as blanks,
// ASCII column for the present words only (low byte first).
void WordLine(std::string &out, uint32_t label, const MemoryBuffer &buffer, uint32_t first, uint32_t present)
{
    NewLine(out);
    out += Hex(label, 6) + ": ";
    for (uint32_t j = 0; j < 8; ++j)
        out += j < present ? Hex(WordAt(buffer, first + j), 4) + " " : std::string(5, ' ');
    for (uint32_t j = 0; j < present; ++j) {
        uint16_t w = WordAt(buffer, first + j);
        AppendChar(out, w & 0xFF);
        AppendChar(out, w >> 8);
    }
}

} // namespace

std::string ProgramDumpHeader(bool pic18)
{
    return pic18 ? ByteHeader : WordHeader;
}

std::string ConfigDumpHeader(bool pic18)
{
    return pic18 ? ByteHeader : WordHeader;
}

std::string DataDumpHeader()
{
    return "ADDR  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ----- ASCII-----";
}

std::string ProgramDumpText(const MemoryBuffer &buffer, const TDeviceSpec &device)
{
    std::string out;
    out.reserve((device.ProgramSize / 8 + 1) * 80);
    for (uint32_t a = 0; a < device.ProgramSize; a += 8)
        WordLine(out, a, buffer, a, 8);
    return out;
}

std::string ProgramDumpText(const MemoryBuffer &buffer, const TDeviceSpec18 &device)
{
    std::string out;
    const uint32_t words = device.ProgramSize / 2;
    out.reserve((words / 8 + 1) * 80);
    for (uint32_t k = 0; k * 8 < words; ++k) {
        NewLine(out);
        const size_t base = size_t(k) * 16;
        out += Hex(uint32_t(base), 6) + ": ";
        for (size_t j = 0; j < 8; ++j)
            out +=
                Hex(ByteAt(buffer.Program18, base + 2 * j) | ByteAt(buffer.Program18, base + 2 * j + 1) << 8,
                    4) +
                " ";
        for (size_t j = 0; j < 16; ++j)
            AppendChar(out, ByteAt(buffer.Program18, base + j));
    }
    return out;
}

namespace {

template <typename ByteSource> std::string DataLines(uint32_t size, ByteSource byteAt)
{
    std::string out;
    for (uint32_t k = 0; k * 16 < size; ++k) {
        NewLine(out);
        out += Hex(k * 16, 4) + ": ";
        for (uint32_t j = 0; j < 16; ++j)
            out += Hex(byteAt(k * 16 + j), 2) + " ";
        for (uint32_t j = 0; j < 16; ++j)
            AppendChar(out, byteAt(k * 16 + j));
    }
    return out;
}

} // namespace

std::string DataDumpText(const MemoryBuffer &buffer, const TDeviceSpec &device)
{
    return DataLines(device.EEDataSize,
                     [&](uint32_t i) { return uint8_t(WordAt(buffer, EEDataAreaStart + i) & 0xFF); });
}

std::string DataDumpText(const MemoryBuffer &buffer, const TDeviceSpec18 &device)
{
    return DataLines(device.EEDataSize, [&](uint32_t i) { return ByteAt(buffer.EEData18, i); });
}

std::string ConfigDumpText(const MemoryBuffer &buffer, const TDeviceSpec &device)
{
    std::string out;
    const uint32_t count = device.ConfigAreaSize;
    if (device.ConfigAddress1 >= ConfigAreaStart) {
        for (uint32_t k = 0; k * 8 < count; ++k) {
            const uint32_t present = std::min<uint32_t>(8, count - k * 8);
            WordLine(out, ConfigAreaStart + k * 8, buffer, ConfigAreaStart + k * 8, present);
        }
        return out;
    }
    // 12-bit core: User-ID words right after program memory, and the
    // configuration word kept at 0x0FFF whatever its address on the chip.
    const uint32_t userId = (uint32_t(device.ConfigAddress1) + 1) / 2;
    WordLine(out, userId, buffer, userId, std::min<uint32_t>(8, count));
    out += "\n" + Hex(device.ConfigAddress1, 6) + ": " + Hex(WordAt(buffer, Config12BitWord), 4) +
           std::string(36, ' ');
    out += DumpPlaceholder;
    out += DumpPlaceholder;
    return out;
}

std::string ConfigDumpText18(const MemoryBuffer &buffer)
{
    std::string out = "200000: ";
    for (size_t j = 0; j < 8; ++j)
        out += Hex(buffer.Id18[2 * j] | buffer.Id18[2 * j + 1] << 8, 4) + " ";
    for (uint8_t b : buffer.Id18)
        AppendChar(out, b);
    out += "\n300000: ";
    for (size_t j = 0; j < 7; ++j)
        out += Hex(buffer.Config18[2 * j] | buffer.Config18[2 * j + 1] << 8, 4) + " ";
    out += std::string(5, ' ');
    for (uint8_t b : buffer.Config18)
        AppendChar(out, b);
    return out;
}

namespace {

std::string BlankWordLine(uint32_t label)
{
    std::string line = Hex(label, 6) + ":";
    for (int j = 0; j < 8; ++j)
        line += " 3FFF";
    line += ' ';
    for (int j = 0; j < 16; ++j)
        line += DumpPlaceholder;
    return line;
}

} // namespace

std::string InitialProgramDumpText()
{
    std::string out;
    for (uint32_t a = 0; a <= 0x50; a += 8) {
        NewLine(out);
        out += BlankWordLine(a);
    }
    return out;
}

std::string InitialDataDumpText()
{
    std::string out;
    for (uint32_t a = 0; a <= 0x70; a += 0x10) {
        NewLine(out);
        out += Hex(a, 4) + ":";
        for (int j = 0; j < 16; ++j)
            out += " FF";
        out += ' ';
        for (int j = 0; j < 16; ++j)
            out += DumpPlaceholder;
    }
    return out;
}

std::string InitialConfigDumpText()
{
    return BlankWordLine(ConfigAreaStart);
}

std::array<ConfigSlot, 4> ConfigSlots(const MemoryBuffer &buffer, const TDeviceSpec &device,
                                      bool configChange, bool calibChange)
{
    std::array<ConfigSlot, 4> slots;
    const uint16_t config1Word =
        device.ConfigAddress1 >= ConfigAreaStart ? device.ConfigAddress1 : uint16_t(Config12BitWord);
    slots[0] = {Hex(device.ConfigAddress1, 4) + ":", Hex(WordAt(buffer, config1Word) & device.ConfigMask1, 4),
                configChange ? SlotState::Editable : SlotState::Shown};

    struct Optional {
        uint16_t Address;
        uint16_t Mask;
        bool Ticked;
    };
    const Optional rest[3] = {{device.ConfigAddress2, device.ConfigMask2, configChange},
                              {device.CalibAddress1, device.CalibMask1, calibChange},
                              {device.CalibAddress2, device.CalibMask2, calibChange}};
    for (int i = 0; i < 3; ++i) {
        const Optional &o = rest[i];
        if (o.Address == 0)
            slots[i + 1] = {"----:", "----", SlotState::Absent};
        else
            slots[i + 1] = {Hex(o.Address, 4) + ":", Hex(WordAt(buffer, o.Address) & o.Mask, 4),
                            o.Ticked ? SlotState::Editable : SlotState::Shown};
    }
    return slots;
}

std::array<std::string, 7> ConfigAddresses18()
{
    std::array<std::string, 7> a;
    for (int n = 0; n < 7; ++n)
        a[n] = Hex(2 * n, 4) + ":";
    return a;
}

std::array<std::string, 7> ConfigValues18(const MemoryBuffer &buffer)
{
    std::array<std::string, 7> v;
    for (int n = 0; n < 7; ++n)
        v[n] = Hex(buffer.Config18[2 * n] | buffer.Config18[2 * n + 1] << 8, 4);
    return v;
}
