#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "hex.h"
#include "hex_test_util.h"
#include "test_files.h"

namespace {

const TDeviceSpec &Device(const char *name)
{
    return DeviceTable[static_cast<size_t>(FindDevice(name))];
}

const TDeviceSpec18 &Device18(const char *name)
{
    return DeviceTable18[static_cast<size_t>(FindDevice(name))];
}

std::vector<std::string> Lines16(const MemoryBuffer &b, const TDeviceSpec &d, bool saveAll)
{
    return Hex16Lines(b.Words, d, saveAll);
}

std::vector<std::string> Lines18(const MemoryBuffer &b, const TDeviceSpec18 &d, bool saveAll)
{
    return Hex18Lines(b.Program18, b.EEData18, b.Id18, b.Config18, d, saveAll);
}

size_t CountPrefix(const std::vector<std::string> &lines, const std::string &prefix)
{
    size_t n = 0;
    for (const auto &l : lines) n += l.starts_with(prefix);
    return n;
}

} // namespace

TEST(FormatHexRecord, UppercaseFieldsAndChecksum)
{
    TIntelHex r;
    r.Count = 4;
    r.SetAddress(0x0000);
    r.Data = {0x05, 0xEF, 0x00, 0xF0};
    EXPECT_EQ(FormatHexRecord(r), ":0400000005EF00F018");

    r.Count = 2;
    r.SetAddress(0x400E);
    r.Data[0] = 0xC4;
    r.Data[1] = 0x3F;
    EXPECT_EQ(FormatHexRecord(r), ":02400E00C43FAD");

    TIntelHex end;
    end.RecordType = 1;
    EXPECT_EQ(FormatHexRecord(end), ":00000001FF");

    for (int count : {0, 1, 50, 123}) {
        TIntelHex any;
        any.Count = static_cast<uint8_t>(count);
        any.SetAddress(0xFFF1);
        for (int i = 0; i < count; ++i) any.Data[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 37);
        TIntelHex back = ParseHexLine(FormatHexRecord(any));
        EXPECT_EQ(back.LineStatus, HexLineOk) << count;
        EXPECT_EQ(back.Count, count);
    }
}

TEST(BlankTests, SaveAllMakesEveryRecordNonBlank)
{
    TIntelHex r;
    r.Count = 4;
    r.Data = {0xFF, 0x3F, 0xFF, 0x3F};
    EXPECT_TRUE(IsBlankRecord16(r, 0x3FFF, false));
    EXPECT_FALSE(IsBlankRecord16(r, 0x3FFF, true));
    EXPECT_FALSE(IsBlankRecord16(r, 0x0FFF, false));
    r.Data = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_TRUE(IsBlankRecord18(r, false));
    EXPECT_FALSE(IsBlankRecord18(r, true));
    r.Data[3] = 0xFE;
    EXPECT_FALSE(IsBlankRecord18(r, false));
}

TEST(Hex16Writer, BlankBufferAndSaveAll)
{
    MemoryBuffer b;
    const TDeviceSpec &d = Device("PIC16F877A");
    b.Clear(d);
    EXPECT_EQ(Lines16(b, d, false), (std::vector<std::string>{":00000001FF"}));

    auto all = Lines16(b, d, true);
    ASSERT_EQ(all.size(), 512u + 1 + 16 + 1);
    std::string ffpairs;
    for (int i = 0; i < 16; ++i) ffpairs += "FF3F";
    EXPECT_EQ(all[0].substr(0, 9 + 64), ":20000000" + ffpairs);
    EXPECT_TRUE(all[1].starts_with(":20002000"));
    EXPECT_TRUE(all[512].starts_with(":1040000"));  // configuration area, 8 words at 0x4000
    EXPECT_TRUE(all[513].starts_with(":20420000FF00"));
    EXPECT_EQ(all.back(), ":00000001FF");
}

TEST(Hex16Writer, OneWordWritesItsWholeBlock)
{
    MemoryBuffer b;
    const TDeviceSpec &d = Device("PIC16F84A");
    b.Clear(d);
    b.Words[0x25] = 0x2805;
    auto lines = Lines16(b, d, false);
    ASSERT_EQ(lines.size(), 2u);
    std::vector<uint8_t> data;
    for (int i = 0; i < 16; ++i) {
        data.push_back(i == 5 ? 0x05 : 0xFF);
        data.push_back(i == 5 ? 0x28 : 0x3F);
    }
    EXPECT_EQ(lines[0], Record(0x0040, 0, data));
}

TEST(Hex16Writer, TwelveBitConfigurationWordAfterUserIdsBeforeEEData)
{
    MemoryBuffer b;
    const TDeviceSpec &d = Device("PIC10F200");
    b.Clear(d);
    b.Words[0x100] = 0x0001;        // User-ID 0, right after program memory
    b.Words[Config12BitWord] = 0x0FEB;
    auto lines = Lines16(b, d, false);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[0].starts_with(":0A020000010"));  // 5 words at byte address 0x200
    EXPECT_EQ(lines[1], ":021FFE00EB0FE7");
    EXPECT_EQ(lines[2], ":00000001FF");
}

TEST(Hex16Writer, EEDataIsBytesWithZeroHighBytes)
{
    MemoryBuffer b;
    const TDeviceSpec &d = Device("PIC16F84A");  // 64 bytes of EEPROM
    b.Clear(d);
    b.Words[0x2110] = 0x3F00;  // 0x00 with stray high bits
    b.Words[0x2120] = 0x12FF;  // erased byte, stray high bits: still blank
    auto lines = Lines16(b, d, false);
    ASSERT_EQ(lines.size(), 2u);
    std::vector<uint8_t> data;
    for (int i = 0; i < 16; ++i) {
        data.push_back(i == 0 ? 0x00 : 0xFF);
        data.push_back(0x00);
    }
    EXPECT_EQ(lines[0], Record(0x4220, 0, data));
}

TEST(Hex18Writer, BlankBufferGivesTheFiveFixedLines)
{
    MemoryBuffer b;
    const TDeviceSpec18 &d = Device18("PIC18F2450");
    b.Clear(d);
    EXPECT_EQ(Lines18(b, d, false), (std::vector<std::string>{":020000040000FA", ":020000040020DA", ":020000040030CA",
                                                               ":0200000400F00A", ":00000001FF"}));
    auto all = Lines18(b, d, true);
    EXPECT_EQ(all.size(), 5 + 16384u / 32 + 1 + 1);
    EXPECT_EQ(CountPrefix(all, ":08000000"), 1u);  // ID record: 8 bytes of the 16
    EXPECT_EQ(CountPrefix(all, ":0E000000"), 1u);
}

TEST(Hex18Writer, RecordsInOrderWithIdAndEEData)
{
    MemoryBuffer b;
    const TDeviceSpec18 &d = Device18("PIC18F4550");
    b.Clear(d);
    b.Program18[0x7FFF] = 0x12;
    b.Id18[0] = 0x11;
    b.Id18[15] = 0x99;  // never written
    b.Config18[0] = 0x24;
    b.EEData18[0xE0] = 0x00;
    auto lines = Lines18(b, d, false);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], ":020000040000FA");
    EXPECT_TRUE(lines[1].starts_with(":207FE000FF"));
    EXPECT_EQ(lines[2], ":020000040020DA");
    EXPECT_EQ(lines[3], Record(0, 0, {0x11, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(lines[4], ":020000040030CA");
    EXPECT_TRUE(lines[5].starts_with(":0E00000024FF"));
    EXPECT_EQ(lines[6], ":0200000400F00A");
    EXPECT_TRUE(lines[7].starts_with(":2000E00000FF"));
    EXPECT_EQ(lines[8], ":00000001FF");
}

TEST(Hex18Writer, ArraysShorterThanTheDeviceReadAsErased)
{
    MemoryBuffer b;
    b.Clear(Device18("PIC18F1220"));
    b.Program18[0] = 0;
    auto lines = Lines18(b, Device18("PIC18F4550"), true);
    EXPECT_EQ(lines.size(), 5 + 32768u / 32 + 1 + 1 + 256u / 32);
}

TEST(HexFiles, WrittenWithCrLfAndFailuresRaiseWithPathAndReason)
{
    TempDir dir;
    std::string path = dir.File("out.hex");
    WriteHexLines(path, {":020000040000FA", ":00000001FF"});
    EXPECT_EQ(ReadAll(path), ":020000040000FA\r\n:00000001FF\r\n");
    WriteHexLines(path, {":00000001FF"});  // truncates
    EXPECT_EQ(ReadAll(path), ":00000001FF\r\n");

    struct Case {
        std::string path;
        int error;
    };
    for (const Case &c : {Case{dir.File(""), EISDIR}, Case{path + "/under.hex", ENOTDIR}, Case{"/dev/full", ENOSPC}}) {
        try {
            WriteHexLines(c.path, {":00000001FF"});
            ADD_FAILURE() << c.path << " written";
        } catch (const HexFileError &e) {
            EXPECT_EQ(e.Path(), c.path);
            EXPECT_EQ(e.Error(), c.error) << c.path;
            EXPECT_EQ(std::string(e.what()), c.path + ": " + std::strerror(c.error));
        }
    }
}

TEST(SaveBuffer, WritesTheLiveHalfOnlyForARealDevice)
{
    TempDir dir;
    MemoryBuffer b;
    b.Clear(Device18("PIC18F452"));
    b.Clear(Device("PIC16F84A"));
    EXPECT_FALSE(SaveBuffer(dir.File("none.hex"), b, {false, -1}, false));
    EXPECT_FALSE(SaveBuffer(dir.File("none.hex"), b, {true, 0}, false));
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.hex")));
    ASSERT_TRUE(SaveBuffer(dir.File("16.hex"), b, {false, FindDevice("PIC16F84A")}, false));
    EXPECT_EQ(ReadAll(dir.File("16.hex")), ":00000001FF\r\n");
    ASSERT_TRUE(SaveBuffer(dir.File("18.hex"), b, {true, FindDevice("PIC18F452")}, false));
    EXPECT_EQ(ReadAll(dir.File("18.hex")).size(), 4 * 17 + 13u);
}

// Save, clear, load: every device of both families, random contents in every region.
TEST(RoundTrip, EveryPic16DeviceReproducesItsRegions)
{
    TempDir dir;
    std::mt19937 rng(1234);
    for (int row = 1; row < DeviceTableSize; ++row) {
        const TDeviceSpec &d = DeviceTable[static_cast<size_t>(row)];
        SCOPED_TRACE(d.Name);
        MemoryBuffer saved;
        saved.Clear(d);
        // Each region gets random words, some left blank so blank blocks are skipped.
        auto word = [&] { return rng() % 4 == 0 ? d.BlankWord : static_cast<uint16_t>(rng() & d.BlankWord); };
        for (uint32_t a = 0; a < d.ProgramSize; ++a) saved.Words[a] = (a / 16) % 3 == 1 ? d.BlankWord : word();
        for (uint32_t a = 0; a < d.ConfigAreaSize; ++a) saved.Words[d.UserIdAddress + a] = word();
        if (d.Is12Bit()) saved.Words[Config12BitWord] = word();
        for (uint32_t a = 0; a < d.EEDataSize; ++a)
            saved.Words[EEDataAreaStart + a] = (a / 16) % 3 == 1 ? 0x00FF : static_cast<uint16_t>(rng() & 0xFF);

        std::string path = dir.File("rt16.hex");
        ASSERT_TRUE(SaveBuffer(path, saved, {false, row}, false));
        MemoryBuffer loaded;
        loaded.Clear(d);
        LoadOutcome out;
        out.Device = {false, row};
        LoadCurrentFile(path, loaded, true, out);
        EXPECT_EQ(out.Device.Index, row);

        for (uint32_t a = 0; a < d.ProgramSize; ++a) ASSERT_EQ(loaded.Words[a], saved.Words[a]) << "program " << a;
        for (uint32_t a = 0; a < d.ConfigAreaSize; ++a)
            ASSERT_EQ(loaded.Words[d.UserIdAddress + a], saved.Words[d.UserIdAddress + a]) << "config " << a;
        EXPECT_EQ(loaded.Words[Config12BitWord], saved.Words[Config12BitWord]);
        for (uint32_t a = 0; a < d.EEDataSize; ++a)
            ASSERT_EQ(loaded.Words[EEDataAreaStart + a] & 0xFF, saved.Words[EEDataAreaStart + a]) << "EEData " << a;
    }
}

TEST(RoundTrip, EveryPic18DeviceReproducesItsRegions)
{
    TempDir dir;
    std::mt19937 rng(5678);
    for (int row = 1; row < DeviceTable18Size; ++row) {
        const TDeviceSpec18 &d = DeviceTable18[static_cast<size_t>(row)];
        SCOPED_TRACE(d.Name);
        MemoryBuffer saved;
        saved.Clear(d);
        auto byte = [&] { return static_cast<uint8_t>(rng()); };
        for (size_t a = 0; a < saved.Program18.size(); ++a) saved.Program18[a] = (a / 32) % 3 == 1 ? 0xFF : byte();
        for (size_t a = 0; a < saved.EEData18.size(); ++a) saved.EEData18[a] = (a / 32) % 3 == 1 ? 0xFF : byte();
        for (auto &v : saved.Id18) v = byte();
        for (auto &v : saved.Config18) v = byte();

        std::string path = dir.File("rt18.hex");
        ASSERT_TRUE(SaveBuffer(path, saved, {true, row}, false));
        MemoryBuffer loaded;
        loaded.Clear(d);
        LoadOutcome out;
        out.Device = {true, row};
        LoadCurrentFile(path, loaded, true, out);

        EXPECT_EQ(loaded.Program18, saved.Program18);
        EXPECT_EQ(loaded.EEData18, saved.EEData18);
        EXPECT_TRUE(std::equal(saved.Id18.begin(), saved.Id18.begin() + 8, loaded.Id18.begin()));
        EXPECT_EQ(loaded.Id18[8], 0xFF);
        EXPECT_EQ(loaded.Config18, saved.Config18);
    }
}
