#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "hex.h"
#include "hex_test_util.h"
#include "test_files.h"

namespace {

int Row(const char *name)
{
    return FindDevice(name);
}

const TDeviceSpec &Device(const char *name)
{
    return DeviceTable[static_cast<size_t>(Row(name))];
}

const TDeviceSpec18 &Device18(const char *name)
{
    return DeviceTable18[static_cast<size_t>(Row(name))];
}

struct Load16 {
    WordImage words{};
    std::string tag;
    DeviceInformation info{};

    explicit Load16(const std::string &text)
    {
        words.fill(0x3FFF);
        Hex16Loader loader(words, tag, info);
        ForEachHexLine(text, [&](std::string_view line) { loader.Line(line); });
    }
};

struct Load18 {
    std::vector<uint8_t> program, eedata;
    std::array<uint8_t, 16> id{};
    std::array<uint8_t, 14> config{};
    std::string tag;

    Load18(const std::string &text, size_t programSize, size_t eedataSize)
        : program(programSize, 0xFF), eedata(eedataSize, 0xFF)
    {
        id.fill(0xFF);
        config.fill(0xFF);
        Hex18Loader loader(program, eedata, id, config, tag);
        ForEachHexLine(text, [&](std::string_view line) { loader.Line(line); });
    }
};

} // namespace

// ---- Line parsing --------------------------------------------------------

TEST(ParseHexLine, StatusOfEachKindOfLine)
{
    EXPECT_EQ(ParseHexLine("").LineStatus, HexEmptyLine);
    EXPECT_EQ(ParseHexLine("0400000001").LineStatus, HexNoColon);
    EXPECT_EQ(ParseHexLine(":0400000001").LineStatus, HexTooShort);
    EXPECT_EQ(ParseHexLine(":").LineStatus, HexTooShort);
    EXPECT_EQ(ParseHexLine(":00000001FE").LineStatus, HexBadChecksum);
    EXPECT_EQ(ParseHexLine(":00000006FA").LineStatus, HexBadType);
    EXPECT_EQ(ParseHexLine("; a comment").LineStatus, HexComment);
    EXPECT_EQ(ParseHexLine(";pic16f877a").LineStatus, HexComment);  // tags are upper case
    EXPECT_EQ(ParseHexLine(";PIC14").LineStatus, HexComment);

    TIntelHex eof = ParseHexLine(":00000001FF");
    EXPECT_EQ(eof.LineStatus, HexLineOk);
    EXPECT_EQ(eof.RecordType, 1);
    EXPECT_EQ(eof.Sum, 0x100);
}

TEST(ParseHexLine, DecodesFieldsInEitherCaseAfterTheFirstColon)
{
    TIntelHex r = ParseHexLine("junk :02400e00c43fad");
    EXPECT_EQ(r.LineStatus, HexLineOk);
    EXPECT_EQ(r.Count, 2);
    EXPECT_EQ(r.Address(), 0x400E);
    EXPECT_EQ(r.RecordType, 0);
    EXPECT_EQ(r.Data[0], 0xC4);
    EXPECT_EQ(r.Data[1], 0x3F);
    EXPECT_EQ(r.Data[2], 0xAD);  // the checksum byte follows the data
    EXPECT_TRUE(r.Tag.empty());

    // Decoding stops at the first pair that is not hexadecimal; trailing text is harmless.
    EXPECT_EQ(ParseHexLine(":02400E00C43FAD  ; comment").LineStatus, HexLineOk);
    EXPECT_EQ(ParseHexLine(":02400E00C43FZD").LineStatus, HexTooShort);
    EXPECT_EQ(ParseHexLine(":02400E00C43FA").LineStatus, HexTooShort);
}

TEST(ParseHexLine, DeviceTagsKeepUpToSixteenCharactersUntrimmed)
{
    TIntelHex r = ParseHexLine(";PIC16F877A  ");
    EXPECT_EQ(r.LineStatus, HexLineOk);
    EXPECT_EQ(r.Tag, "PIC16F877A  ");
    EXPECT_EQ(ParseHexLine(";PIC18F4550 made by hand, long text").Tag, "PIC18F4550 made ");
    EXPECT_EQ(ParseHexLine(";PIC10").Tag, "PIC10");
}

TEST(ParseHexLine, RecordsLongerThanTheDecodingAreaAreTooShort)
{
    std::vector<uint8_t> data(123, 0x5A);
    EXPECT_EQ(ParseHexLine(Record(0, 0, data)).LineStatus, HexLineOk);  // 4 + 123 + 1 = 128 bytes
    data.push_back(0x5A);
    EXPECT_EQ(ParseHexLine(Record(0, 0, data)).LineStatus, HexTooShort);
    data.assign(255, 0);
    EXPECT_EQ(ParseHexLine(Record(0, 0, data)).LineStatus, HexTooShort);
}

TEST(ForEachHexLine, SplitsOnLfCrLfAndLoneCr)
{
    std::vector<std::string> got;
    ForEachHexLine("a\r\nb\nc\rd\r\n\r\ne", [&](std::string_view l) { got.emplace_back(l); });
    EXPECT_EQ(got, (std::vector<std::string>{"a", "b", "c", "d", "", "e"}));
}

// ---- PIC10/12/16 loader ------------------------------------------------

TEST(Hex16Loader, StoresWordsLowByteFirstAtHalfTheByteAddress)
{
    Load16 l(Lines({Record(0x400E, 0, {0x3F, 0x1F}), Record(0x0002, 0, {0x34, 0x12, 0x78, 0x56})}));
    EXPECT_EQ(l.words[0x2007], 0x1F3F);
    EXPECT_EQ(l.words[1], 0x1234);
    EXPECT_EQ(l.words[2], 0x5678);
    EXPECT_EQ(l.words[0], 0x3FFF);
    EXPECT_EQ(l.words[3], 0x3FFF);
}

TEST(Hex16Loader, EEDataWindowAt8000AndTheUpperLimit)
{
    Load16 l(Lines({Record(0x8000, 0, {0xAB, 0x00}), Record(0x81FE, 0, {0xCD, 0x00}),
                    Record(0x43FC, 0, {0x11, 0x00}), Record(0x4400, 0, {0x22, 0x00}),
                    Record(0x8200, 0, {0x33, 0x00}), Record(0xF000, 0, {0x44, 0x00})}));
    EXPECT_EQ(l.words[0x2100], 0x00AB);
    EXPECT_EQ(l.words[0x21FF], 0x00CD);
    EXPECT_EQ(l.words[0x21FE], 0x0011);
    int changed = 0;
    for (uint16_t w : l.words) changed += w != 0x3FFF;
    EXPECT_EQ(changed, 3);  // the records at 0x4400, 0x8200 and 0xF000 were dropped
}

TEST(Hex16Loader, OddCountsLoseTheLastByteAndBadLinesChangeNothing)
{
    std::string badSum = Record(0x0010, 0, {0x01, 0x02});
    badSum.back() = badSum.back() == '0' ? '1' : '0';
    Load16 l(Lines({Record(0x0000, 0, {0x01, 0x02, 0x03}), ":0400000001", badSum, Record(0x0020, 0, {0x01, 0x02}),
                    Record(0x0030, 0, {0x01, 0x02}) + "FF"}));
    EXPECT_EQ(l.words[0], 0x0201);
    EXPECT_EQ(l.words[1], 0x3FFF);
    EXPECT_EQ(l.words[8], 0x3FFF);       // bad checksum
    EXPECT_EQ(l.words[0x10], 0x0201);    // good
    EXPECT_EQ(l.words[0x18], 0x0201);    // trailing bytes after the checksum are ignored
}

TEST(Hex16Loader, KeepsReadingAfterTheEndRecordAndIgnoresExtendedAddresses)
{
    Load16 l(Lines({":020000040030CA", ":00000001FF", Record(0x0004, 0, {0x55, 0x00})}));
    EXPECT_EQ(l.words[2], 0x0055);

    // A PIC18 file: ID and configuration records land at the bottom of program memory.
    Load16 p(Lines({":020000040020DA", Record(0, 0, {1, 2, 3, 4}), ":00000001FF"}));
    EXPECT_EQ(p.words[0], 0x0201);
    EXPECT_EQ(p.words[1], 0x0403);
}

TEST(Hex16Loader, TagsAndDeviceInformation)
{
    Load16 tagged(Lines({";PIC12F675", ";PIC16F628A  "}));
    EXPECT_EQ(tagged.tag, "PIC16F628A  ");  // the last tag wins, untrimmed
    EXPECT_EQ(tagged.info[DeviceInformationValid], 0xFF);

    std::vector<uint8_t> info = {0x00, '1', '6', 'F', '8', '7', '7', 'A', 0x00,
                                 0x02, 0x01, 0x00, 0x11, 0x00, 0x5A, 0xC3};
    Load16 l(Lines({Record(0xFF00, 0, info)}));
    EXPECT_EQ(l.tag, std::string("PIC16F877A\0", 11));
    for (size_t i = 0; i < 16; ++i) EXPECT_EQ(l.info[i], info[i]) << i;

    // Checksum and type do not matter for a device-information record, but
    // bytes the line does not carry never make the information usable.
    Load16 cut(":10FF000000313646");
    EXPECT_EQ(cut.info[DeviceInformationValid], 0xFF);
    EXPECT_EQ(cut.info[2], '6');
    EXPECT_EQ(cut.tag.substr(0, 6), "PIC16F");
}

TEST(DeviceInformation, ComposesConfigurationAndUserIds)
{
    DeviceInformation info{};
    info.fill(0);
    info[9] = 0x02;   // bits 0-1
    info[10] = 0x01;  // bit 2
    info[11] = 0x00;  // bit 3 inverted
    info[12] = 0x11;  // bits 4 and 6
    info[14] = 0x5A;
    info[15] = 0xC3;
    WordImage words{};
    words.fill(0x3FFF);
    ASSERT_TRUE(ApplyDeviceInformation(info, Device("PIC16F84A"), words));
    EXPECT_EQ(words[0x2007], (0x02 | 0x04 | 0x08 | 0x10 | 0x40 | 0x3FF0) & 0x3FFF);
    EXPECT_EQ(words[0x2000], 0xFFF5);
    EXPECT_EQ(words[0x2001], 0xFFFA);
    EXPECT_EQ(words[0x2002], 0xFFFC);
    EXPECT_EQ(words[0x2003], 0xFFF3);

    // 12-bit: the word goes to 0x0FFF, masked; User-IDs follow program memory.
    info[11] = 0x01;
    words.fill(0x0FFF);
    ASSERT_TRUE(ApplyDeviceInformation(info, Device("PIC12F508"), words));
    EXPECT_EQ(words[0x0FFF], (0x02 | 0x04 | 0x10 | 0x40 | 0x0FE8) & 0x0FFF);
    EXPECT_EQ(words[0x0200], 0xFFF5);
    EXPECT_EQ(words[0x03FF], 0x0FFF);  // the chip-side address is not used

    info[DeviceInformationValid] = 1;
    words.fill(0x3FFF);
    EXPECT_FALSE(ApplyDeviceInformation(info, Device("PIC16F84A"), words));
    EXPECT_EQ(words[0x2007], 0x3FFF);
}

// ---- PIC18 loader --------------------------------------------------------

TEST(Hex18Loader, PlacesBytesByExtendedAddress)
{
    Load18 l(Lines({Record(0x0010, 0, {0xA0, 0xA1}), ":020000040020DA", Record(0x000E, 0, {1, 2, 3}),
                    ":020000040030CA", Record(0x000C, 0, {4, 5, 6}), ":0200000400F00A",
                    Record(0x00FF, 0, {7, 8}), Record(0x0000, 0, {9}), ":020000040001F9",
                    Record(0x0000, 0, {0xEE}), ":020000040000FA", Record(0x01FF, 0, {0xB0, 0xB1})}),
             512, 256);
    EXPECT_EQ(l.program[0x10], 0xA0);
    EXPECT_EQ(l.program[0x11], 0xA1);
    EXPECT_EQ(l.id[14], 1);
    EXPECT_EQ(l.id[15], 2);  // byte 16 dropped
    EXPECT_EQ(l.config[12], 4);
    EXPECT_EQ(l.config[13], 5);  // byte 14 dropped
    EXPECT_EQ(l.eedata[0xFF], 7);
    EXPECT_EQ(l.eedata[0], 9);
    EXPECT_EQ(l.program[0], 0xFF);  // 0x010000 is outside every window
    EXPECT_EQ(l.program[0x1FF], 0xB0);
    EXPECT_EQ(l.program.size(), 512u);  // 0x200 dropped, nothing grows
}

TEST(Hex18Loader, EEDataOnADeviceWithoutEepromIsDropped)
{
    Load18 l(Lines({":0200000400F00A", Record(0, 0, {1, 2, 3}), ":00000001FF", ":020000040000FA",
                    Record(0, 0, {0x42})}),
             64, 0);
    EXPECT_TRUE(l.eedata.empty());
    EXPECT_EQ(l.program[0], 0x42);  // after the end record, still read
}

TEST(Hex18Loader, IgnoresBadLinesAndExtendedRecordsWithoutAnAddress)
{
    Load18 l(Lines({":020000040020DB", ":0000000400FC", Record(0, 0, {1}), ";PIC18F452"}), 16, 0);
    EXPECT_EQ(l.program[0], 1);  // neither bad extended record moved the window
    EXPECT_EQ(l.tag, "PIC18F452");
}

// ---- Device-tag scan and selection ---------------------------------------

TEST(ScanDeviceTag, FirstTagOrDeviceInformationCutAtABlank)
{
    EXPECT_EQ(ScanDeviceTagText(Lines({":00000001FF", ";PIC18F4550 for the board"})), "PIC18F4550");
    EXPECT_EQ(ScanDeviceTagText(Lines({";pic16f877a", ";PIC12HV615"})), "PIC12HV615");
    EXPECT_EQ(ScanDeviceTagText(";PIC16F628A0123456789"), "PIC16F628A01");  // 12 characters
    EXPECT_EQ(ScanDeviceTagText(Lines({";PIC16F84A", ";PIC18F452"})), "PIC16F84A");
    EXPECT_EQ(ScanDeviceTagText(Lines({":00000001FF", "; nothing"})), "");

    auto info = [](const char *name) {
        std::vector<uint8_t> d(16, 0);
        for (size_t i = 0; name[i] && i < 8; ++i) d[1 + i] = static_cast<uint8_t>(name[i]);
        return Record(0xFF00, 0, d);
    };
    EXPECT_EQ(ScanDeviceTagText(info("12f629")), "PIC12f629");
    // Only PIC10F/12F/16F names count in device information.
    EXPECT_EQ(ScanDeviceTagText(Lines({info("12HV615"), info("18F452"), info("16F88")})), "PIC16F88");
}

TEST(DeviceSelection, ScannedNamesChooseTheTableByPrefix)
{
    EXPECT_EQ(DeviceForScannedName("PIC18F4550"), (DeviceSelection{true, 20}));
    EXPECT_EQ(DeviceForScannedName("pic18f452"), (DeviceSelection{true, 4}));
    EXPECT_EQ(DeviceForScannedName("PIC12f629"), (DeviceSelection{false, Row("PIC12F629")}));
    EXPECT_EQ(DeviceForScannedName("PIC16F999").Index, -1);
    EXPECT_EQ(DeviceForScannedName("").Index, -1);
    EXPECT_EQ(DeviceForScannedName("<PIC18F>").Index, -1);
}

TEST(DeviceSelection, LoaderTagsMatchWholeNamesInTheCurrentFamilyOnly)
{
    EXPECT_EQ(DeviceForLoaderTag("PIC16F877A", false), Row("PIC16F877A"));
    EXPECT_EQ(DeviceForLoaderTag("PIC16F877A ", false), -1);
    EXPECT_EQ(DeviceForLoaderTag(std::string("PIC16F877A\0", 11), false), Row("PIC16F877A"));
    // A PIC18 name must not pick the PIC16 row that happens to share its index.
    EXPECT_EQ(DeviceForLoaderTag("PIC18F452", false), -1);
    EXPECT_EQ(DeviceForLoaderTag("PIC18F452", true), 4);
    EXPECT_EQ(DeviceForLoaderTag("<PIC16/12/10F>", true), -1);
}

// ---- Files ---------------------------------------------------------------

TEST(HexFiles, LineEndsOfEveryKindAndChunkBoundaries)
{
    TempDir dir;
    WordImage words{};
    std::string tag;
    DeviceInformation info{};

    for (const char *end : {"\n", "\r\n", "\r"}) {
        words.fill(0x3FFF);
        std::string path = dir.Write("ends.hex", Lines({Record(0, 0, {1, 0}), Record(2, 0, {2, 0})}, end) +
                                                     Record(4, 0, {3, 0}));  // no end on the last line
        LoadHex16(path, words, tag, info);
        EXPECT_EQ(words[0], 1) << int(end[0]);
        EXPECT_EQ(words[1], 2) << int(end[0]);
        EXPECT_EQ(words[2], 3) << int(end[0]);
    }

    // Long files: a CR LF may straddle two reads; every line must arrive once and whole.
    std::string text;
    for (unsigned a = 0; text.size() < 20000; a += 2) text += Record(a, 0, {static_cast<uint8_t>(a), 0}) + "\r\n";
    std::vector<std::string> got;
    for (size_t pad = 0; pad < 17; ++pad) {  // every phase of a 17-byte line
        std::string padded = std::string(pad, ' ') + text;
        got.clear();
        ForEachHexFileLine(dir.Write("long.hex", padded), [&](std::string_view l) { got.emplace_back(l); });
        std::vector<std::string> want;
        ForEachHexLine(padded, [&](std::string_view l) { want.emplace_back(l); });
        ASSERT_EQ(got, want) << "pad " << pad;
    }
}

TEST(HexFiles, UnreadableFilesRaiseWithPathAndReason)
{
    TempDir dir;
    std::string plain = dir.Write("plain.hex", ":00000001FF\r\n");
    WordImage words{};
    std::string tag;
    DeviceInformation info{};

    struct Case {
        std::string path;
        int error;
    };
    for (const Case &c : {Case{dir.File("missing.hex"), ENOENT}, Case{plain + "/under.hex", ENOTDIR},
                          Case{dir.File(""), EISDIR}}) {
        try {
            LoadHex16(c.path, words, tag, info);
            ADD_FAILURE() << c.path << " loaded";
        } catch (const HexFileError &e) {
            EXPECT_EQ(e.Path(), c.path);
            EXPECT_EQ(e.Error(), c.error) << c.path;
            EXPECT_NE(std::string(e.what()).find(c.path), std::string::npos);
            EXPECT_NE(std::string(e.what()).find(std::strerror(c.error)), std::string::npos);
        }
    }
    EXPECT_THROW(ScanDeviceTag(dir.File("")), HexFileError);
}

// ---- Load commands' core -------------------------------------------------

TEST(LoadNewFile, AutoSelectSwitchesFamilyAndPreparesTheArraysFirst)
{
    TempDir dir;
    std::string path = dir.Write("a.hex", Lines({";PIC18F4550", ":020000040000FA", Record(0x7FFE, 0, {0x12, 0x34}),
                                                 ":0200000400F00A", Record(0xFF, 0, {0x56}), ":00000001FF"}));
    MemoryBuffer b;
    b.Clear(Device("PIC16F877A"));
    b.Id18[0] = 0x77;
    LoadOutcome out;
    out.Device = {false, Row("PIC16F877A")};
    LoadNewFile(path, b, true, out);
    EXPECT_EQ(out.Device, (DeviceSelection{true, 20}));
    EXPECT_TRUE(out.DeviceChanged);
    ASSERT_EQ(b.Program18.size(), 32768u);
    EXPECT_EQ(b.Program18[0x7FFE], 0x12);
    EXPECT_EQ(b.Program18[0x7FFF], 0x34);
    EXPECT_EQ(b.EEData18[0xFF], 0x56);
    EXPECT_EQ(b.Id18[0], 0x77);  // not cleared by a load
    EXPECT_EQ(b.Words[0], 0x3FFF);

    // Without auto-select the file is read by the current family's loader.
    b.Clear(Device18("PIC18F4550"));
    out.Device = {false, Row("PIC16F877A")};
    LoadNewFile(path, b, false, out);
    EXPECT_FALSE(out.DeviceChanged);
    EXPECT_EQ(out.Tag, "PIC18F4550");
    EXPECT_EQ(b.Program18[0x7FFE], 0xFF);
}

TEST(LoadNewFile, SameDeviceOverlaysAndOtherDeviceClearsFirst)
{
    TempDir dir;
    std::string first = dir.Write("1.hex", Lines({Record(0, 0, {1, 0, 2, 0}), ":00000001FF"}));
    std::string second = dir.Write("2.hex", Lines({Record(2, 0, {3, 0}), ":00000001FF"}));
    std::string tagged = dir.Write("3.hex", Lines({";PIC12F508", Record(4, 0, {4, 0})}));
    MemoryBuffer b;
    b.Clear(Device("PIC16F84A"));
    LoadOutcome out;
    out.Device = {false, Row("PIC16F84A")};
    LoadNewFile(first, b, true, out);
    LoadNewFile(second, b, true, out);
    EXPECT_EQ(b.Words[0], 1);
    EXPECT_EQ(b.Words[1], 3);
    EXPECT_FALSE(out.DeviceChanged);

    LoadNewFile(tagged, b, true, out);
    EXPECT_TRUE(out.DeviceChanged);
    EXPECT_EQ(out.Device, (DeviceSelection{false, Row("PIC12F508")}));
    EXPECT_EQ(b.Words[0], 0x0FFF);
    EXPECT_EQ(b.Words[2], 4);
    EXPECT_EQ(b.Words[0x2000], 0x0FFF);
}

TEST(LoadNewFile, AMissingFileChangesNeitherSelectionNorBuffer)
{
    MemoryBuffer b;
    b.Clear(Device("PIC16F84A"));
    b.Words[0] = 0x1234;
    LoadOutcome out;
    out.Device = {false, Row("PIC16F84A")};
    EXPECT_THROW(LoadNewFile("/nonexistent/x.hex", b, true, out), HexFileError);
    EXPECT_EQ(out.Device, (DeviceSelection{false, Row("PIC16F84A")}));
    EXPECT_EQ(b.Words[0], 0x1234);
}

TEST(LoadCurrentFile, AutoSelectStaysInTheFamilyAndComparesTagsWhole)
{
    TempDir dir;
    MemoryBuffer b;
    b.Clear(Device("PIC16F84A"));
    LoadOutcome out;

    out.Device = {false, Row("PIC16F84A")};
    LoadCurrentFile(dir.Write("a.hex", Lines({";PIC16F628A  ", Record(0, 0, {1, 0})})), b, true, out);
    EXPECT_EQ(out.Device.Index, Row("PIC16F84A"));  // trailing blanks: no match
    EXPECT_EQ(b.Words[0], 1);

    LoadCurrentFile(dir.Write("b.hex", Lines({";PIC18F452"})), b, true, out);
    EXPECT_EQ(out.Device, (DeviceSelection{false, Row("PIC16F84A")}));

    // Auto-select moving from a 14-bit to a 12-bit device does not clear.
    LoadCurrentFile(dir.Write("c.hex", Lines({";PIC12F508", Record(2, 0, {2, 0})})), b, true, out);
    EXPECT_EQ(out.Device, (DeviceSelection{false, Row("PIC12F508")}));
    EXPECT_TRUE(out.DeviceChanged);
    EXPECT_EQ(b.Words[1], 2);
    EXPECT_EQ(b.Words[2], 0x3FFF);
}

TEST(LoadCurrentFile, Pic18ArraysFollowTheNewlySelectedDevice)
{
    TempDir dir;
    MemoryBuffer b;
    b.Clear(Device18("PIC18F1220"));
    LoadOutcome out;
    out.Device = {true, Row("PIC18F1220")};
    LoadCurrentFile(dir.Write("a.hex", Lines({";PIC18F4550", Record(0x10, 0, {0xAA})})), b, true, out);
    EXPECT_EQ(out.Device, (DeviceSelection{true, 20}));
    EXPECT_EQ(b.Program18.size(), 32768u);
    EXPECT_EQ(b.EEData18.size(), 256u);
    EXPECT_EQ(b.Program18[0x10], 0xAA);
    EXPECT_EQ(b.Program18[0x5000], 0xFF);
}

TEST(LoadCurrentFile, AppliesDeviceInformationForTheSelectedDevice)
{
    TempDir dir;
    std::vector<uint8_t> info = {0, '1', '6', 'F', '8', '4', 'A', 0, 0, 0x03, 0x01, 0x00, 0x00, 0, 0x12, 0x34};
    MemoryBuffer b;
    b.Clear(Device("PIC16F877A"));
    LoadOutcome out;
    out.Device = {false, Row("PIC16F877A")};
    LoadCurrentFile(dir.Write("i.hex", Lines({Record(0xFF00, 0, info)})), b, true, out);
    EXPECT_EQ(out.Device.Index, Row("PIC16F84A"));
    EXPECT_TRUE(out.DeviceInformationApplied);
    EXPECT_EQ(b.Words[0x2007], (0x03 | 0x04 | 0x08 | 0x3FF0) & 0x3FFF);
    EXPECT_EQ(b.Words[0x2000], 0xFFF1);
    EXPECT_EQ(b.Words[0x2003], 0xFFF4);
}
