#include "production/SerialNumber.h"

#include <cctype>
#include <charconv>

#include "support/textutil.h"

namespace {

constexpr uint16_t Retlw14 = 0x3400;
constexpr uint16_t Retlw12 = 0x0800;
constexpr uint8_t Retlw18High = 0x0C;
constexpr uint32_t Pic18EepromBase = 0xF00000;

// Where the cells of a layout live: the word image, or the PIC18 program or
// EEPROM bytes.
enum class Area { Words, Program18, EEData18 };

struct Place {
    Area area;
    uint32_t first;    // index into the area's array
    uint32_t count;    // cells
    uint32_t limit;    // cells the area offers from its start
    uint32_t base = 0; // where the area starts in the word image
};

int WordBits(const TDeviceSpec &d)
{
    return d.Is12Bit() ? 12 : 14;
}

uint32_t CellsFor(const SerialLayout &l, const SerialTarget &t)
{
    const auto bytes = static_cast<uint32_t>(l.bytes);
    switch (l.format) {
    case SerialFormat::Retlw:
    case SerialFormat::Ascii:
        return t.device18 ? bytes * 2 : bytes;
    case SerialFormat::Word:
        if (t.device18) return (bytes + 1) / 2 * 2;
        return (bytes * 8 + WordBits(*t.device) - 1) / WordBits(*t.device);
    case SerialFormat::Eeprom:
        break;
    }
    return bytes;
}

Place PlaceOf(const SerialLayout &l, const SerialTarget &t)
{
    const uint32_t count = CellsFor(l, t);
    if (l.format == SerialFormat::Eeprom) {
        // The offset within the EEPROM, or the address the HEX file and the
        // dumps use for it.
        if (t.device18) {
            const uint32_t at = l.address >= Pic18EepromBase ? l.address - Pic18EepromBase : l.address;
            return {Area::EEData18, at, count, t.device18->EEDataSize};
        }
        const uint32_t at = l.address >= EEDataAreaStart ? l.address - EEDataAreaStart : l.address;
        return {Area::Words, at, count, t.device->EEDataSize, EEDataAreaStart};
    }
    if (t.device18) return {Area::Program18, l.address, count, t.device18->ProgramSize};
    const TDeviceSpec &d = *t.device;
    // The last word of a part with its oscillator calibration there is never
    // programmed, so a number placed on it would not reach the chip.
    const bool calibWord = d.CalibAddress1 != 0 && d.CalibAddress1 < 0x1000;
    return {Area::Words, l.address, count, d.ProgramSize - (calibWord ? 1 : 0)};
}

bool ReturnsBytes(SerialFormat f)
{
    return f == SerialFormat::Retlw || f == SerialFormat::Ascii;
}

// The bytes a RETLW table returns for a number, in address order.
std::vector<uint8_t> TableBytes(const SerialLayout &l, uint64_t number)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(l.bytes));
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (l.format == SerialFormat::Ascii) {
            bytes[bytes.size() - 1 - i] = static_cast<uint8_t>('0' + number % 10);
            number /= 10;
        } else {
            bytes[i] = static_cast<uint8_t>(number >> (8 * i) & 0xFF);
        }
    }
    return bytes;
}

// The number of a RETLW table's bytes; nullopt for a character that is no digit.
std::optional<uint64_t> TableNumber(const SerialLayout &l, const std::vector<uint8_t> &bytes)
{
    uint64_t number = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (l.format != SerialFormat::Ascii) {
            number |= uint64_t{bytes[i]} << (8 * i);
        } else if (bytes[i] >= '0' && bytes[i] <= '9') {
            number = number * 10 + static_cast<uint64_t>(bytes[i] - '0');
        } else {
            return std::nullopt;
        }
    }
    return number;
}

// The cells' values for a number, in address order.
std::vector<uint16_t> Encode(const SerialLayout &l, const SerialTarget &t, uint64_t number)
{
    std::vector<uint16_t> cells;
    const uint32_t count = CellsFor(l, t);
    if (ReturnsBytes(l.format)) {
        for (const uint8_t byte : TableBytes(l, number)) {
            if (t.device18) {
                cells.push_back(byte);
                cells.push_back(Retlw18High);
            } else {
                cells.push_back((t.device->Is12Bit() ? Retlw12 : Retlw14) | byte);
            }
        }
        return cells;
    }
    const int bits = l.format == SerialFormat::Eeprom || t.device18 ? 8 : WordBits(*t.device);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t shift = i * static_cast<uint32_t>(bits);
        cells.push_back(shift >= 64 ? 0 : static_cast<uint16_t>(number >> shift & ((1u << bits) - 1)));
    }
    return cells;
}

// Cell i of a place: its value in the image, and whether it is erased there.
uint16_t CellValue(const Place &p, const MemoryBuffer &image, uint32_t i)
{
    switch (p.area) {
    case Area::Words:
        return image.Words[p.base + p.first + i];
    case Area::Program18:
        return image.Program18[p.first + i];
    case Area::EEData18:
        break;
    }
    return image.EEData18[p.first + i];
}

bool CellBlank(const Place &p, const SerialTarget &t, const MemoryBuffer &image, uint32_t i)
{
    const uint16_t v = CellValue(p, image, i);
    if (p.area == Area::Words && p.base == 0) return (v & t.device->BlankWord) == t.device->BlankWord;
    return (v & 0xFF) == 0xFF;
}

void SetCell(const Place &p, MemoryBuffer &image, uint32_t i, uint16_t value)
{
    switch (p.area) {
    case Area::Words:
        image.Words[p.base + p.first + i] = value;
        return;
    case Area::Program18:
        image.Program18[p.first + i] = static_cast<uint8_t>(value);
        return;
    case Area::EEData18:
        image.EEData18[p.first + i] = static_cast<uint8_t>(value);
        return;
    }
}

std::string Address(uint32_t value, bool pic18)
{
    return "0x" + Hex(value, pic18 ? 6 : 4);
}

} // namespace

std::optional<SerialFormat> ParseSerialFormat(const std::string &text)
{
    for (SerialFormat f : {SerialFormat::Retlw, SerialFormat::Word, SerialFormat::Eeprom, SerialFormat::Ascii})
        if (SameTextIgnoringCase(text, SerialFormatName(f))) return f;
    return std::nullopt;
}

const char *SerialFormatName(SerialFormat format)
{
    switch (format) {
    case SerialFormat::Retlw:
        return "retlw";
    case SerialFormat::Word:
        return "word";
    case SerialFormat::Eeprom:
        return "eeprom";
    case SerialFormat::Ascii:
        return "ascii";
    }
    return "";
}

bool ParseNumber(const std::string &text, uint64_t &value)
{
    int base = 10;
    size_t at = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        at = 2;
    }
    if (at >= text.size()) return false;
    const char *end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data() + at, end, value, base);
    return ec == std::errc() && p == end;
}

bool ParseSerialStart(const std::string &text, uint64_t &start, uint64_t &step)
{
    const size_t colon = text.find(':');
    step = 1;
    if (!ParseNumber(text.substr(0, colon), start)) return false;
    if (colon == std::string::npos) return true;
    return ParseNumber(text.substr(colon + 1), step) && step >= 1;
}

uint64_t SerialMaximum(int bytes)
{
    return bytes >= 8 ? UINT64_MAX : (uint64_t{1} << (8 * bytes)) - 1;
}

uint64_t SerialMaximum(const SerialLayout &layout)
{
    if (layout.format != SerialFormat::Ascii) return SerialMaximum(layout.bytes);
    uint64_t most = 0;
    for (int i = 0; i < layout.bytes; ++i)
        most = most * 10 + 9;
    return most;
}

std::string CheckSerialPlace(const SerialLayout &layout, const SerialTarget &target,
                             const MemoryBuffer &image, bool *overlapsFile)
{
    if (overlapsFile) *overlapsFile = false;
    const bool pic18 = target.device18 != nullptr;
    const char *name = pic18 ? target.device18->Name : target.device->Name;
    if (layout.bytes < 1 || layout.bytes > 8) return "a serial number takes 1 to 8 bytes";
    const Place p = PlaceOf(layout, target);
    if (layout.format == SerialFormat::Eeprom) {
        if (p.limit == 0) return std::string(name) + " has no data EEPROM";
        if (uint64_t{p.first} + p.count > p.limit)
            return "the serial number (" + std::to_string(p.count) + " bytes at EEPROM offset " +
                   Address(p.first, false) + ") does not fit in the " + std::to_string(p.limit) +
                   "-byte data EEPROM of " + name;
    } else {
        if (pic18 && p.first % 2 != 0)
            return "a serial number in PIC18 program memory starts at an even address, not " +
                   Address(p.first, true);
        if (uint64_t{p.first} + p.count > p.limit)
            return "the serial number (" + std::to_string(p.count) + (pic18 ? " bytes" : " words") + " at " +
                   Address(p.first, pic18) + ") does not fit in the program memory of " + name + " (" +
                   Address(0, pic18) + "-" + Address(p.limit - 1, pic18) + ")";
    }
    if (layout.overwrite) return {};
    for (uint32_t i = 0; i < p.count; ++i)
        if (!CellBlank(p, target, image, i)) {
            const uint32_t at = p.first + i;
            if (overlapsFile) *overlapsFile = true;
            return "the serial number would overwrite data of the file at " +
                   (layout.format == SerialFormat::Eeprom ? "EEPROM offset " + Address(at, false)
                                                          : Address(at, pic18));
        }
    return {};
}

void PlaceSerial(const SerialLayout &layout, const SerialTarget &target, uint64_t number, MemoryBuffer &image)
{
    const Place p = PlaceOf(layout, target);
    const std::vector<uint16_t> cells = Encode(layout, target, number);
    for (uint32_t i = 0; i < p.count; ++i)
        SetCell(p, image, i, cells[i]);
}

std::optional<uint64_t> ReadSerial(const SerialLayout &layout, const SerialTarget &target,
                                   const MemoryBuffer &image)
{
    const Place p = PlaceOf(layout, target);
    uint64_t number = 0;
    if (ReturnsBytes(layout.format)) {
        std::vector<uint8_t> bytes;
        for (int i = 0; i < layout.bytes; ++i) {
            uint16_t byte;
            if (target.device18) {
                byte = CellValue(p, image, 2 * static_cast<uint32_t>(i));
                if (CellValue(p, image, 2 * static_cast<uint32_t>(i) + 1) != Retlw18High) return std::nullopt;
            } else {
                const uint16_t w = CellValue(p, image, static_cast<uint32_t>(i)) & target.device->BlankWord;
                const uint16_t op = target.device->Is12Bit() ? Retlw12 : Retlw14;
                if ((w & ~0xFF & target.device->BlankWord) != op) return std::nullopt;
                byte = w & 0xFF;
            }
            bytes.push_back(static_cast<uint8_t>(byte));
        }
        return TableNumber(layout, bytes);
    }
    const int bits = layout.format == SerialFormat::Eeprom || target.device18 ? 8 : WordBits(*target.device);
    for (uint32_t i = 0; i < p.count; ++i) {
        const uint32_t shift = i * static_cast<uint32_t>(bits);
        if (shift < 64) number |= uint64_t{CellValue(p, image, i) & ((1u << bits) - 1u)} << shift;
    }
    return number & SerialMaximum(layout.bytes);
}
