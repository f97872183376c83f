// Files made by gpasm from tests/data/asm: the loaders must put code,
// configuration, ID and EEPROM data where the assembler placed them.
#include <gtest/gtest.h>

#include "image/hex.h"
#include "image/hex_load.h"

namespace {

std::string Fixture(const char *name)
{
    return std::string(TARNVIK_HEX_FIXTURES) + "/" + name + ".hex";
}

MemoryBuffer Load(const char *file, const char *device)
{
    MemoryBuffer b;
    LoadOutcome out;
    int row = FindDevice(device);
    out.Device = {std::string_view(device).starts_with("PIC18"), row};
    if (out.Device.Pic18)
        b.Clear(DeviceTable18[static_cast<size_t>(row)]);
    else
        b.Clear(DeviceTable[static_cast<size_t>(row)]);
    LoadNewFile(Fixture(file), b, true, out);
    EXPECT_FALSE(out.DeviceChanged);
    EXPECT_FALSE(out.DeviceInformationApplied);
    return b;
}

void ExpectWords(const MemoryBuffer &b, uint32_t at, std::vector<uint16_t> words)
{
    for (size_t i = 0; i < words.size(); ++i)
        EXPECT_EQ(b.Words[at + i], words[i]) << std::hex << "word " << at + i;
}

void ExpectBytes(const std::vector<uint8_t> &bytes, size_t at, std::vector<uint8_t> want)
{
    ASSERT_LE(at + want.size(), bytes.size());
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ(bytes[at + i], want[i]) << std::hex << "byte " << at + i;
}

} // namespace

TEST(AssembledFiles, Pic10F200)
{
    MemoryBuffer b = Load("p10f200", "PIC10F200");
    ExpectWords(b, 0x000, {0x0025, 0x0CFE, 0x0006, 0x0C01, 0x01A6, 0x0A03, 0x0FFF});
    ExpectWords(b, 0x100, {0x0001, 0x0002, 0x0003, 0x0004, 0x0FFF}); // __idlocs 0x1234
    EXPECT_EQ(b.Words[Config12BitWord], 0x0FEB);
    EXPECT_EQ(b.Words[0x1FF], 0x0FFF);
}

TEST(AssembledFiles, Pic12F675)
{
    MemoryBuffer b = Load("p12f675", "PIC12F675");
    ExpectWords(b, 0x000, {0x2805, 0x3FFF, 0x3FFF, 0x3FFF, 0x0009, 0x1683, 0x23FF, 0x0090, 0x1005, 0x1283});
    ExpectWords(b, 0x2000, {0x000A, 0x000B, 0x000C, 0x000D, 0x3FFF});
    EXPECT_EQ(b.Words[0x2007], 0x3FC4);
    ExpectWords(b, 0x2100, {0x0012, 0x0034, 'H', 'i', 0x3FFF});
}

TEST(AssembledFiles, Pic16F877A)
{
    MemoryBuffer b = Load("p16f877a", "PIC16F877A");
    ExpectWords(b, 0x000, {0x018A, 0x2805, 0x3FFF, 0x3FFF, 0x0009, 0x1683, 0x0186, 0x1283, 0x0A86, 0x2808});
    ExpectWords(b, 0x800, {0x0000, 0x0008, 0x3FFF});
    EXPECT_EQ(b.Words[0x1FFF], 0x2805);
    ExpectWords(b, 0x2000, {0x0005, 0x000A, 0x0003, 0x000C});
    EXPECT_EQ(b.Words[0x2007], 0x3F72);
    ExpectWords(b, 0x2100, {0x01, 0x02, 0x03, 0xFF, 0x00, 'E', 'E', 0xA5, 0x3FFF});
}

TEST(AssembledFiles, Pic18F4550)
{
    MemoryBuffer b = Load("p18f4550", "PIC18F4550");
    ExpectBytes(b.Program18, 0x0000, {0x05, 0xEF, 0x00, 0xF0, 0xFF});
    ExpectBytes(b.Program18, 0x0008, {0x11, 0x00, 0x93, 0x6A, 0x81, 0x2A, 0xFE, 0xD7, 0xFF});
    ExpectBytes(b.Program18, 0x7FF0, {0xEF, 0xBE, 0x34, 0x12, 0xFF});
    EXPECT_EQ(b.Id18, (std::array<uint8_t, 16>{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xFF, 0xFF,
                                               0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(b.Config18, (std::array<uint8_t, 14>{0x24, 0x0E, 0x38, 0x1E, 0xFF, 0x81, 0x81, 0xFF, 0x0F, 0xC0,
                                                   0x0F, 0xE0, 0x0F, 0x40}));
    ExpectBytes(b.EEData18, 0x00, {0xDE, 0xAD, 0xBE, 0xEF, 0xFF});
    ExpectBytes(b.EEData18, 0xFD, {0xFF, 0x5A, 0xA5});
}

TEST(AssembledFiles, Pic18FileReadAsAWordFilePutsIdAndConfigurationAtTheBottom)
{
    MemoryBuffer b = Load("p18f4550", "PIC16F877A");
    // Each window restarts at offset 0; the last one (EEData) wins at word 0.
    ExpectWords(b, 0, {0xADDE, 0xEFBE, 0x8181, 0x8877, 0xC00F, 0xE00F, 0x400F, 0xD7FE});
    EXPECT_EQ(b.Words[0x7F], 0xA55A);
}
