// Files made by gpasm from tests/data/asm: the loaders must put code,
// configuration, ID and EEPROM data where the assembler placed them.
#include <gtest/gtest.h>

#include <map>

#include "image/hex.h"
#include "image/hex_load.h"
#include "test_files.h"

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
    // The configuration record at the odd byte address 5 sets the high byte of
    // word 2 and the low byte of word 3.
    ExpectWords(b, 0, {0xADDE, 0xEFBE, 0x8155, 0x8881, 0xC00F, 0xE00F, 0x400F, 0xD7FE});
    EXPECT_EQ(b.Words[0x7F], 0xA55A);
}

namespace {

// The data bytes of a PIC10/12/16 file by byte address.
std::map<uint32_t, uint8_t> DataBytes(const std::string &text)
{
    std::map<uint32_t, uint8_t> bytes;
    ForEachHexLine(text, [&](std::string_view line) {
        const TIntelHex r = ParseHexLine(line);
        if (r.LineStatus == HexLineOk && r.Tag.empty() && r.RecordType == HexDataRecord)
            for (uint32_t i = 0; i < r.Count; ++i)
                bytes[r.Address() + i] = r.Data[i];
    });
    return bytes;
}

// The same bytes in records of at most size bytes, cut wherever the size
// falls (odd sizes split words) and at each gap.
std::string Recut(const std::map<uint32_t, uint8_t> &bytes, size_t size)
{
    std::string text;
    std::vector<uint8_t> run;
    uint32_t start = 0;
    const auto flush = [&] {
        if (!run.empty()) text += Record(start, 0, run) + "\r\n";
        run.clear();
    };
    for (const auto &[at, value] : bytes) {
        if (!run.empty() && (at != start + run.size() || run.size() == size)) flush();
        if (run.empty()) start = at;
        run.push_back(value);
    }
    flush();
    return text + ":00000001FF\r\n";
}

LoadOutcome LoadText(const std::string &text, const char *device, MemoryBuffer &b)
{
    LoadOutcome out;
    out.Device = {false, FindDevice(device)};
    b.Clear(DeviceTable[static_cast<size_t>(out.Device.Index)]);
    LoadNewText(text, b, false, out);
    return out;
}

} // namespace

TEST(AssembledFiles, RecutIntoRecordsOfAnySizeLoadsTheSameWords)
{
    for (const auto &[file, device] : {std::pair{"p10f200", "PIC10F200"}, {"p12f675", "PIC12F675"},
                                       {"p16f877a", "PIC16F877A"}}) {
        SCOPED_TRACE(file);
        const std::string original = ReadAll(Fixture(file));
        MemoryBuffer want;
        LoadText(original, device, want);
        const auto bytes = DataBytes(original);
        for (size_t size = 1; size <= 255; ++size) {
            MemoryBuffer got;
            const LoadOutcome out = LoadText(Recut(bytes, size), device, got);
            ASSERT_EQ(got.Words, want.Words) << size << "-byte records";
            EXPECT_TRUE(out.Findings.Empty()) << size << "-byte records";
            EXPECT_TRUE(out.ConfigurationSet) << size << "-byte records";
            EXPECT_EQ(out.Read.Skipped, 0) << size << "-byte records";
        }
    }
}

TEST(AssembledFiles, DosEndOfFileMarkAfterTheEndRecord)
{
    const std::string original = ReadAll(Fixture("p16f877a"));
    MemoryBuffer want;
    LoadText(original, "PIC16F877A", want);
    const std::string cut = original.substr(0, original.find_last_not_of("\r\n") + 1);
    for (const std::string &text : {original + "\x1A", original + "\x1A\r\n", original + "\x1A\x1A \n",
                                    cut + "\x1A", cut + "\r\n\x1A\r\n"}) {
        MemoryBuffer got;
        const LoadOutcome out = LoadText(text, "PIC16F877A", got);
        EXPECT_EQ(out.Read.Skipped, 0);
        EXPECT_EQ(got.Words, want.Words);
    }
    // Records after the mark are no part of a DOS file's end: still reported.
    MemoryBuffer got;
    EXPECT_EQ(LoadText(original + "\x1A\r\n:00000001FF\r\n", "PIC16F877A", got).Read.Skipped, 1);
}
