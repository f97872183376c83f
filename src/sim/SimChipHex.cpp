// A chip's memory to and from Intel HEX files, for --hex and --dump.
#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "SimChip.h"
#include "image/buffer.h"
#include "support/textutil.h"

bool LoadHexIntoChip(SimChip &chip, const std::string &path, std::string &error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    uint32_t base = 0;
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        const std::string text = TrimBlanks(line);
        if (text.empty() || text[0] != ':') continue; // device tags and comments
        std::vector<uint8_t> bytes;
        bool bad = (text.size() - 1) % 2 != 0;
        for (size_t i = 1; !bad && i + 1 < text.size(); i += 2) {
            const int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
            if (hi < 0 || lo < 0) bad = true;
            bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
        }
        if (bad || bytes.size() < 5 || bytes.size() != bytes[0] + 5u) {
            error = path + ": bad record on line " + std::to_string(lineNumber);
            return false;
        }
        uint8_t sum = 0;
        for (uint8_t b : bytes)
            sum = static_cast<uint8_t>(sum + b);
        if (sum != 0) {
            error = path + ": checksum error on line " + std::to_string(lineNumber);
            return false;
        }
        const uint32_t offset = (bytes[1] << 8) | bytes[2];
        const uint8_t type = bytes[3];
        if (type == 0x00) {
            for (uint32_t i = 0; i < bytes[0]; ++i)
                chip.PokeHexByte(base + offset + i, bytes[4 + i]);
        } else if (type == 0x01) {
            break;
        } else if (type == 0x02 && bytes[0] == 2) {
            base = ((bytes[4] << 8) | bytes[5]) << 4;
        } else if (type == 0x04 && bytes[0] == 2) {
            base = static_cast<uint32_t>((bytes[4] << 8) | bytes[5]) << 16;
        }
    }
    return true;
}

namespace {

// Intel HEX records of up to 16 bytes, with an extended linear address
// record wherever the upper half of the address changes.
class HexOut {
public:
    void Bytes(uint32_t address, const std::vector<uint8_t> &bytes)
    {
        for (size_t i = 0; i < bytes.size(); i += 16) {
            const uint32_t at = address + static_cast<uint32_t>(i);
            if (at >> 16 != upper_) {
                upper_ = at >> 16;
                Record(0, 0x04, {static_cast<uint8_t>(upper_ >> 8), static_cast<uint8_t>(upper_)});
            }
            const size_t n = std::min<size_t>(16, bytes.size() - i);
            Record(static_cast<uint16_t>(at), 0x00,
                   std::vector<uint8_t>(bytes.begin() + i, bytes.begin() + i + n));
        }
    }
    // Words low byte first at twice their address.
    void Words(uint32_t wordAddress, const std::vector<uint16_t> &words)
    {
        std::vector<uint8_t> bytes;
        for (uint16_t w : words) {
            bytes.push_back(static_cast<uint8_t>(w));
            bytes.push_back(static_cast<uint8_t>(w >> 8));
        }
        Bytes(2 * wordAddress, bytes);
    }
    std::string End()
    {
        Record(0, 0x01, {});
        return text_;
    }

private:
    void Record(uint16_t offset, uint8_t type, const std::vector<uint8_t> &data)
    {
        std::vector<uint8_t> r = {static_cast<uint8_t>(data.size()), static_cast<uint8_t>(offset >> 8),
                                  static_cast<uint8_t>(offset), type};
        r.insert(r.end(), data.begin(), data.end());
        uint8_t sum = 0;
        for (uint8_t b : r)
            sum = static_cast<uint8_t>(sum + b);
        r.push_back(static_cast<uint8_t>(-sum));
        text_ += ':';
        for (uint8_t b : r)
            text_ += Hex(b, 2);
        text_ += "\r\n";
    }

    uint32_t upper_ = 0;
    std::string text_;
};

std::vector<uint16_t> PeekWords(const SimChip &chip, uint32_t from, uint32_t to)
{
    std::vector<uint16_t> words;
    for (uint32_t a = from; a < to; ++a)
        words.push_back(chip.Peek(a));
    return words;
}

} // namespace

bool SaveChipAsHex(const SimChip &chip, const std::string &path, std::string &error)
{
    HexOut out;
    if (const auto *p16 = dynamic_cast<const Pic16Chip *>(&chip)) {
        const TDeviceSpec &d = p16->Device();
        out.Words(0, PeekWords(chip, 0, d.ProgramSize));
        if (d.Is12Bit()) {
            out.Words(d.ProgramSize, PeekWords(chip, d.ProgramSize, d.ConfigAddress1));
            out.Words(Config12BitWord, {chip.Peek(d.ConfigAddress1)});
        } else {
            out.Words(ConfigAreaStart, PeekWords(chip, ConfigAreaStart, ConfigAreaStart + 16));
            std::vector<uint16_t> ee;
            for (uint32_t i = 0; i < d.EEDataSize; ++i)
                ee.push_back(chip.Eeprom(i));
            out.Words(EEDataAreaStart, ee);
        }
    } else if (const auto *p18 = dynamic_cast<const Pic18Chip *>(&chip)) {
        const TDeviceSpec18 &d = p18->Device();
        auto bytes = [&](uint32_t from, uint32_t n) {
            std::vector<uint8_t> b;
            for (uint32_t i = 0; i < n; ++i)
                b.push_back(static_cast<uint8_t>(chip.Peek(from + i)));
            return b;
        };
        out.Bytes(0, bytes(0, d.ProgramSize));
        out.Bytes(0x200000, bytes(0x200000, 8));
        out.Bytes(0x300000, bytes(0x300000, 14));
        std::vector<uint8_t> ee;
        for (uint32_t i = 0; i < d.EEDataSize; ++i)
            ee.push_back(chip.Eeprom(i));
        out.Bytes(0xF00000, ee);
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << out.End();
    file.flush();
    if (!file) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}
