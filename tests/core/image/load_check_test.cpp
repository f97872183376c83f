// What a load would silently drop or misplace in the selected part, and the
// files that must load without a word said: the assembler's and our own.
#include <gtest/gtest.h>

#include "image/hex_load.h"
#include "image/hex_write.h"
#include "image/load_check.h"
#include "test_files.h"

namespace {

using K = LoadFindingKind;

DeviceSelection Part(const char *name)
{
    return {std::string_view(name).starts_with("PIC18"), FindDevice(name)};
}

struct Want {
    K kind;
    long line;
    uint32_t first, last;
    long earlier = 0;
};

struct Case {
    const char *what;
    const char *device;
    std::vector<std::string> lines;
    std::vector<Want> want;
};

std::string Text(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &l : lines)
        text += l + "\r\n";
    return text + ":00000001FF\r\n";
}

const std::vector<uint8_t> Word{0x34, 0x12};

} // namespace

TEST(LoadCheck, EachKindWithItsLineAndRange)
{
    const std::vector<Case> cases = {
        {"a word beyond the 2048 words of a PIC16F628A", "PIC16F628A", {Record(0x3E00, 0, Word)},
         {{K::OutsidePart, 1, 0x1F00, 0x1F00}}},
        {"a record across the end of program memory: only its tail", "PIC16F628A",
         {Record(0x0FFC, 0, {1, 0, 2, 0, 3, 0, 4, 0})}, {{K::OutsidePart, 1, 0x0800, 0x0801}}},
        {"EEPROM beyond the part's 128 bytes", "PIC16F628A", {Record(0x4300, 0, {1, 0})},
         {{K::OutsidePart, 1, 0x2180, 0x2180}}},
        {"above the word image: dropped by the loader", "PIC16F628A", {Record(0x4400, 0, Word)},
         {{K::OutsidePart, 1, 0x2200, 0x2200}}},
        {"configuration words a part without a second one does not have", "PIC16F628A",
         {Record(0x400E, 0, {0x3F, 0x1F}), Record(0x4010, 0, Word)}, {{K::OutsidePart, 2, 0x2008, 0x2008}}},
        {"EEPROM words with a high byte, at both EEPROM addresses", "PIC16F628A",
         {Record(0x4200, 0, {0x12, 0x00, 0x34, 0x01}), Record(0x8004, 0, {0x56, 0xFF})},
         {{K::EepromHighByte, 1, 0x2101, 0x2101}, {K::EepromHighByte, 2, 0x2102, 0x2102}}},
        {"a PIC18 file read by the PIC10/12/16 loader", "PIC16F877A",
         {":020000040030CA", Record(0x0000, 0, {0x3F, 0x1F}), Record(0x0008, 0, {0xFF, 0xFF})},
         {{K::Pic18Image, 1, 0x300000, 0x300009}}},
        {"an extended address that wraps onto word 0, and one back to 0", "PIC16F877A",
         {":020000040001F9", Record(0x0000, 0, Word), ":020000040000FA", Record(0x0000, 0, Word)},
         {{K::ExtendedWraps, 1, 0x10000, 0x10001}}},
        {"a segment address on a PIC10/12/16 part", "PIC16F877A", {":020000021000EC", Record(0x0010, 0, Word)},
         {{K::SegmentIgnored, 1, 0x10010, 0x10011}}},
        {"an address record with no data after it changes nothing", "PIC16F877A",
         {Record(0x0000, 0, Word), ":020000040030CA"}, {}},
        {"half words: an odd count, an odd address, a high byte alone", "PIC16F877A",
         {Record(0x0000, 0, {1, 2, 3}), Record(0x0011, 0, {1, 0}), Record(0x0021, 0, {0x12})},
         {{K::OddBytes, 1, 0x0001, 0x0001}, {K::OddBytes, 2, 0x0008, 0x0009}, {K::OddBytes, 3, 0x0010, 0x0010}}},
        {"a word's bytes in two records, EEPROM too, are whole words", "PIC16F877A",
         {Record(0x0000, 0, {1, 2, 3}), Record(0x0003, 0, {0}), Record(0x4201, 0, {0x00, 0x05}),
          Record(0x4200, 0, {0x07}), Record(0x4203, 0, {0x00})},
         {}},
        {"overlap with other values; the same values are no overlap", "PIC16F877A",
         {Record(0x0000, 0, {1, 0, 2, 0}), Record(0x0002, 0, {2, 0, 3, 0}), Record(0x0004, 0, {4, 0})},
         {{K::Overlap, 3, 0x0002, 0x0002, 2}}},
        {"PIC18: program, ID, configuration and EEPROM bounds", "PIC18F4550",
         {Record(0x7FFF, 0, {1, 2}), ":020000040020DA", Record(0x000F, 0, {1, 2}), ":020000040030CA",
          Record(0x000C, 0, {1, 2, 3}), ":0200000400F00A", Record(0x00FF, 0, {1, 2}), ":020000040021D9",
          Record(0x0000, 0, {1})},
         {{K::OutsidePart, 1, 0x8000, 0x8000},
          {K::OutsidePart, 3, 0x200010, 0x200010},
          {K::OutsidePart, 5, 0x30000E, 0x30000E},
          {K::OutsidePart, 7, 0xF00100, 0xF00100},
          {K::OutsidePart, 9, 0x210000, 0x210000}}},
        {"PIC18: odd counts are fine, segments are not, overlaps are seen", "PIC18F4550",
         {Record(0x0000, 0, {1, 2, 3}), Record(0x0002, 0, {4}), ":020000020100FB", Record(0x0000, 0, {1})},
         {{K::Overlap, 2, 0x0002, 0x0002, 1}, {K::SegmentIgnored, 3, 0x1000, 0x1000}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const LoadFindings f = CheckHexText(Text(c.lines), Part(c.device));
        ASSERT_EQ(f.Count, static_cast<long>(c.want.size()));
        bool changes = false;
        for (size_t i = 0; i < c.want.size(); ++i) {
            const LoadFinding &got = f.List[i];
            EXPECT_EQ(got.Kind, c.want[i].kind) << i;
            EXPECT_EQ(got.Line, c.want[i].line) << i;
            EXPECT_EQ(got.First, c.want[i].first) << std::hex << i;
            EXPECT_EQ(got.Last, c.want[i].last) << std::hex << i;
            EXPECT_EQ(got.EarlierLine, c.want[i].earlier) << i;
            changes = changes || c.want[i].kind != K::Overlap;
        }
        EXPECT_EQ(f.ChangesWhatIsWritten(), changes);
    }
    EXPECT_TRUE(CheckHexText(Text({Record(0x3E00, 0, Word)}), {false, -1}).Empty());
}

TEST(LoadCheck, TextsNameLineRangeAndEarlierRecord)
{
    const LoadFindings f = CheckHexText(
        Text({Record(0x3E00, 0, {1, 0, 2, 0}), Record(0x3E00, 0, {1, 0}), Record(0x0000, 0, Word),
              Record(0x0000, 0, {0x35, 0x12})}),
        Part("PIC16F628A"));
    ASSERT_EQ(f.Count, 3);
    EXPECT_EQ(LoadFindingText(f.List[0]), "1 行目 (0x1F00-0x1F01): " + LoadFindingReason(K::OutsidePart));
    EXPECT_EQ(LoadFindingText(f.List[2]),
              "4 行目 (0x0000): 3 行目のレコードと重なり、値が異なります（後の値が使われます）。");
    EXPECT_EQ(LoadFindingsText("a.hex", "PIC16F628A", f),
              "ファイル \"a.hex\" の 3 件のレコードがデバイス PIC16F628A にそのとおりには入りません。");
    const LoadFindings wrap = CheckHexText(Text({":020000040030CA", Record(0, 0, Word)}), Part("PIC16F628A"));
    EXPECT_EQ(LoadFindingText(wrap.List[0]), "1 行目 (0x300000-0x300001): " + LoadFindingReason(K::Pic18Image));
}

// Files an assembler made for the part, and files we wrote ourselves, hold
// nothing the part cannot take.
TEST(LoadCheck, AssembledAndSavedFilesAreClean)
{
    const std::pair<const char *, const char *> assembled[] = {
        {"p10f200", "PIC10F200"}, {"p12f675", "PIC12F675"}, {"p16f877a", "PIC16F877A"}, {"p18f4550", "PIC18F4550"}};
    for (const auto &[file, device] : assembled) {
        SCOPED_TRACE(file);
        MemoryBuffer b;
        LoadOutcome out;
        out.Device = Part(device);
        LoadNewFile(std::string(TARNVIK_HEX_FIXTURES) + "/" + file + ".hex", b, false, out);
        EXPECT_TRUE(out.Findings.Empty()) << LoadFindingText(out.Findings.List.front());
    }
    for (const char *device : {"PIC10F200", "PIC12F509", "PIC12F675", "PIC16F628A", "PIC16F877A"}) {
        SCOPED_TRACE(device);
        const TDeviceSpec &d = DeviceTable[static_cast<size_t>(FindDevice(device))];
        WordImage words{};
        for (size_t i = 0; i < words.size(); ++i)
            words[i] = static_cast<uint16_t>(i * 7 & d.BlankWord);
        std::string text;
        for (const std::string &line : Hex16Lines(words, d, true))
            text += line + "\r\n";
        EXPECT_TRUE(CheckHexText(text, Part(device)).Empty());
    }
    const TDeviceSpec18 &d = DeviceTable18[static_cast<size_t>(FindDevice("PIC18F4550"))];
    std::vector<uint8_t> program(d.ProgramSize, 0x12), eedata(d.EEDataSize, 0x34);
    std::array<uint8_t, 16> id{};
    std::array<uint8_t, 14> config{};
    std::string text;
    for (const std::string &line : Hex18Lines(program, eedata, id, config, d, true))
        text += line + "\r\n";
    EXPECT_TRUE(CheckHexText(text, Part("PIC18F4550")).Empty());
}

// A reload whose tag selects another row is judged for the row it ends with.
TEST(LoadCheck, ReloadJudgesTheDeviceTheTagSelects)
{
    TempDir dir;
    const std::string path = dir.Write("big.hex", Lines({";PIC16F877A", Record(0x1000, 0, Word), ":00000001FF"}));
    MemoryBuffer b;
    LoadOutcome out;
    out.Device = Part("PIC16F628A");
    LoadCurrentFile(path, b, false, out);
    EXPECT_EQ(out.Findings.Count, 1);
    out.Device = Part("PIC16F628A");
    LoadCurrentFile(path, b, true, out);
    EXPECT_EQ(out.Device, Part("PIC16F877A"));
    EXPECT_TRUE(out.Findings.Empty());
}

TEST(LoadCheck, AssembledPic18FileForAPic16PartIsRefused)
{
    MemoryBuffer b;
    LoadOutcome out;
    out.Device = Part("PIC16F877A");
    LoadNewFile(std::string(TARNVIK_HEX_FIXTURES) + "/p18f4550.hex", b, false, out);
    ASSERT_FALSE(out.Findings.Empty());
    EXPECT_TRUE(out.Findings.ChangesWhatIsWritten());
    size_t pic18Windows = 0;
    for (const LoadFinding &f : out.Findings.List)
        pic18Windows += f.Kind == K::Pic18Image;
    EXPECT_EQ(pic18Windows, 3u); // ID, configuration and EEPROM windows
}
