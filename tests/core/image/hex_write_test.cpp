#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <random>

#include <sys/stat.h>
#include <unistd.h>

#include "support/atomic_file.h"
#include "image/hex.h"
#include "image/hex_load.h"
#include "image/hex_write.h"
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

std::vector<std::string> Lines18(const MemoryBuffer &b, const TDeviceSpec18 &d, bool saveAll)
{
    return Hex18Lines(b.Program18, b.EEData18, b.Id18, b.Config18, d, saveAll);
}

// Sixteen words as record data, low byte first, word i replaced by special.
std::vector<uint8_t> Words(uint16_t fill, int i = -1, uint16_t special = 0)
{
    std::vector<uint8_t> d;
    for (int k = 0; k < 16; ++k) {
        uint16_t w = k == i ? special : fill;
        d.push_back(static_cast<uint8_t>(w));
        d.push_back(static_cast<uint8_t>(w >> 8));
    }
    return d;
}

} // namespace

TEST(FormatHexRecord, MatchesTheRecordsAnAssemblerWrites)
{
    TIntelHex r;
    r.Count = 4;
    r.Data = {0x05, 0xEF, 0x00, 0xF0};
    EXPECT_EQ(FormatHexRecord(r), ":0400000005EF00F018");
    r.Count = 2;
    r.SetAddress(0x400E);
    r.Data = {0xC4, 0x3F};
    EXPECT_EQ(FormatHexRecord(r), ":02400E00C43FAD");
    r.Count = 123;
    EXPECT_EQ(ParseHexLine(FormatHexRecord(r)).LineStatus, HexLineOk);
}

TEST(Hex16Writer, BlankBufferAndSaveAll)
{
    MemoryBuffer b;
    const TDeviceSpec &d = Device("PIC16F877A");
    b.Clear(d);
    EXPECT_EQ(Hex16Lines(b.Words, d, false), (std::vector<std::string>{":00000001FF"}));

    auto all = Hex16Lines(b.Words, d, true);
    ASSERT_EQ(all.size(), 512u + 1 + 16 + 1);
    EXPECT_EQ(all[0], Record(0x0000, 0, Words(0x3FFF)));
    EXPECT_EQ(all[1].substr(0, 9), ":20002000");
    EXPECT_EQ(all[512].substr(0, 9), ":10400000"); // configuration area, 8 words at 0x4000
    EXPECT_EQ(all[513], Record(0x4200, 0, Words(0x00FF)));
    EXPECT_EQ(all.back(), ":00000001FF");
}

TEST(Hex16Writer, NonBlankBlocksAreWrittenWhole)
{
    MemoryBuffer b;
    const TDeviceSpec &d = Device("PIC16F84A");
    b.Clear(d);
    b.Words[0x25] = 0x2805;
    b.Words[0x2110] = 0x3F00; // EEPROM byte 0x00; stray high bits are not written
    b.Words[0x2120] = 0x12FF; // erased EEPROM byte: blank whatever the high byte
    EXPECT_EQ(Hex16Lines(b.Words, d, false),
              (std::vector<std::string>{Record(0x0040, 0, Words(0x3FFF, 5, 0x2805)),
                                        Record(0x4220, 0, Words(0x00FF, 0, 0x0000)), ":00000001FF"}));
}

TEST(Hex16Writer, TwelveBitConfigurationWordAfterUserIds)
{
    MemoryBuffer b;
    const TDeviceSpec &d = Device("PIC10F200");
    b.Clear(d);
    b.Words[0x100] = 0x0001; // User-ID 0, right after program memory
    b.Words[Config12BitWord] = 0x0FEB;
    EXPECT_EQ(Hex16Lines(b.Words, d, false),
              (std::vector<std::string>{
                  Record(0x0200, 0, {0x01, 0x00, 0xFF, 0x0F, 0xFF, 0x0F, 0xFF, 0x0F, 0xFF, 0x0F}),
                  ":021FFE00EB0FE7", ":00000001FF"}));
}

TEST(Hex18Writer, FixedLinesAndRecordsInOrder)
{
    MemoryBuffer b;
    b.Clear(Device18("PIC18F2450"));
    EXPECT_EQ(Lines18(b, Device18("PIC18F2450"), false),
              (std::vector<std::string>{":020000040000FA", ":020000040020DA", ":020000040030CA",
                                        // a cleared buffer holds the erased configuration
                                        ":0E000000C035DFFFFFFB97FFFFFFFFFFFFFF95", ":0200000400F00A",
                                        ":00000001FF"}));
    EXPECT_EQ(Lines18(b, Device18("PIC18F2450"), true).size(), 5 + 16384u / 32 + 2);

    const TDeviceSpec18 &d = Device18("PIC18F4550");
    b.Clear(d);
    b.Program18[0x7FFF] = 0x12;
    b.Id18[0] = 0x11;
    b.Id18[15] = 0x99; // ID bytes 8..15 are never written
    b.Config18[0] = 0x24;
    b.EEData18[0xE0] = 0x00;
    auto lines = Lines18(b, d, false);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[1].substr(0, 11), ":207FE000FF");
    EXPECT_EQ(lines[3], Record(0, 0, {0x11, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(lines[5].substr(0, 13), ":0E0000002435");
    EXPECT_EQ(lines[7].substr(0, 13), ":2000E00000FF");

    // Arrays still sized for a smaller device read as erased, never past their end.
    b.Clear(Device18("PIC18F1220"));
    EXPECT_EQ(Lines18(b, d, true).size(), 5 + 32768u / 32 + 2 + 256u / 32);
}

TEST(HexFiles, WrittenWithCrLfAndFailuresRaiseWithPathAndReason)
{
    TempDir dir;
    std::string path = dir.File("out.hex");
    WriteHexLines(path, {":020000040000FA", ":00000001FF"});
    EXPECT_EQ(ReadAll(path), ":020000040000FA\r\n:00000001FF\r\n");
    WriteHexLines(path, {":00000001FF"});
    EXPECT_EQ(ReadAll(path), ":00000001FF\r\n");

    for (auto [where, error] : {std::pair{dir.File(""), EISDIR}, std::pair{path + "/x.hex", ENOTDIR},
                                std::pair{std::string("/dev/full"), ENOSPC}}) {
        try {
            WriteHexLines(where, {":00000001FF"});
            ADD_FAILURE() << where << " written";
        } catch (const HexFileError &e) {
            EXPECT_EQ(std::string(e.what()), where + ": " + std::strerror(error));
        }
    }

    MemoryBuffer b;
    EXPECT_FALSE(SaveBuffer(dir.File("none.hex"), b, {false, -1}, false));
    EXPECT_FALSE(SaveBuffer(dir.File("none.hex"), b, {true, 0}, false));
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.hex")));
}

// Save, clear, load: every device of both families, random contents in every
// region, a third of the blocks left blank so that skipping them is exercised.
TEST(HexFiles, SaveReplacesTheFileOnlyWhenComplete)
{
    TempDir dir;
    const std::string path = dir.Write("keep.hex", ":00000001FF\r\n");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(symlink("keep.hex", dir.File("link.hex").c_str()), 0);
    MemoryBuffer b;
    const int row = FindDevice("PIC16F877A");
    b.Clear(DeviceTable[row]);

    // The disk fills up part-way: the old file stays whole, no temporary remains.
    SetAtomicWriteFaultAfter(1000);
    EXPECT_THROW(SaveBuffer(dir.File("link.hex"), b, {false, row}, true), HexFileError);
    SetAtomicWriteFaultAfter(-1);
    EXPECT_EQ(ReadAll(path), ":00000001FF\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("")), {}), 2);

    // A complete save goes through the link and keeps the file's permissions.
    ASSERT_TRUE(SaveBuffer(dir.File("link.hex"), b, {false, row}, true));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.hex")));
    EXPECT_GT(ReadAll(path).size(), 30000u);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(RoundTrip, EveryPic16Device)
{
    TempDir dir;
    std::mt19937 rng(1234);
    for (int row = 1; row < DeviceTableSize; ++row) {
        const TDeviceSpec &d = DeviceTable[static_cast<size_t>(row)];
        SCOPED_TRACE(d.Name);
        MemoryBuffer saved;
        saved.Clear(d);
        auto word = [&](uint32_t a, uint16_t blank, uint16_t mask) {
            return (a / 16) % 3 == 1 ? blank : static_cast<uint16_t>(rng() & mask);
        };
        for (uint32_t a = 0; a < d.ProgramSize; ++a)
            saved.Words[a] = word(a, d.BlankWord, d.BlankWord);
        for (uint32_t a = 0; a < d.ConfigAreaSize; ++a)
            saved.Words[d.UserIdAddress + a] = word(0, 0, d.BlankWord);
        if (d.Is12Bit()) saved.Words[Config12BitWord] = word(0, 0, d.BlankWord);
        for (uint32_t a = 0; a < d.EEDataSize; ++a)
            saved.Words[EEDataAreaStart + a] = word(a, d.BlankWord, 0xFF);

        ASSERT_TRUE(SaveBuffer(dir.File("16.hex"), saved, {false, row}, false));
        MemoryBuffer loaded;
        loaded.Clear(d);
        LoadOutcome out;
        out.Device = {false, row};
        LoadCurrentFile(dir.File("16.hex"), loaded, true, out);
        EXPECT_FALSE(out.DeviceChanged);
        EXPECT_EQ(loaded.Words, saved.Words);
    }
}

TEST(RoundTrip, EveryPic18Device)
{
    TempDir dir;
    std::mt19937 rng(5678);
    for (int row = 1; row < DeviceTable18Size; ++row) {
        const TDeviceSpec18 &d = DeviceTable18[static_cast<size_t>(row)];
        SCOPED_TRACE(d.Name);
        MemoryBuffer saved;
        saved.Clear(d);
        auto fill = [&](auto &bytes) {
            for (size_t a = 0; a < bytes.size(); ++a)
                bytes[a] = (a / 32) % 3 == 1 ? 0xFF : static_cast<uint8_t>(rng());
        };
        fill(saved.Program18);
        fill(saved.EEData18);
        fill(saved.Config18);
        std::fill(saved.Id18.begin() + 8, saved.Id18.end(), 0xFF); // only ID 0..7 are written
        for (size_t i = 0; i < 8; ++i)
            saved.Id18[i] = static_cast<uint8_t>(rng());

        ASSERT_TRUE(SaveBuffer(dir.File("18.hex"), saved, {true, row}, false));
        MemoryBuffer loaded;
        loaded.Clear(d);
        LoadOutcome out;
        out.Device = {true, row};
        LoadCurrentFile(dir.File("18.hex"), loaded, true, out);
        EXPECT_EQ(loaded.Program18, saved.Program18);
        EXPECT_EQ(loaded.EEData18, saved.EEData18);
        EXPECT_EQ(loaded.Id18, saved.Id18);
        EXPECT_EQ(loaded.Config18, saved.Config18);
    }
}
