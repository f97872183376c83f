#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

#include "image/hex.h"
#include "image/hex_load.h"
#include "catalogue/DeviceSelection.h"
#include "test_files.h"

namespace {

int Row(const char *name)
{
    return FindDevice(name);
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

// A device-information record: the name in bytes 1..8, byte 8 zero, then bytes 9.. as given.
std::string InfoRecord(const char *name, std::vector<uint8_t> tail = {})
{
    std::vector<uint8_t> d(9, 0);
    for (size_t i = 0; name[i] && i < 8; ++i)
        d[1 + i] = static_cast<uint8_t>(name[i]);
    d.insert(d.end(), tail.begin(), tail.end());
    d.resize(16, 0);
    return Record(0xFF00, 0, d);
}

} // namespace

TEST(ParseHexLine, StatusOfEachKindOfLine)
{
    EXPECT_EQ(ParseHexLine("").LineStatus, HexEmptyLine);
    EXPECT_EQ(ParseHexLine("0400000001").LineStatus, HexNoColon);
    EXPECT_EQ(ParseHexLine(":0400000001").LineStatus, HexTooShort);
    EXPECT_EQ(ParseHexLine(":02400E00C43FZD").LineStatus, HexTooShort); // decoding stops at "ZD"
    EXPECT_EQ(ParseHexLine(":00000001FE").LineStatus, HexBadChecksum);
    EXPECT_EQ(ParseHexLine(":00000006FA").LineStatus, HexBadType);
    EXPECT_EQ(ParseHexLine(";pic16f877a").LineStatus, HexComment); // tags are upper case
    EXPECT_EQ(ParseHexLine(";PIC14").LineStatus, HexComment);

    TIntelHex r = ParseHexLine("junk :02400e00c43fad ; trailing text");
    EXPECT_EQ(r.LineStatus, HexLineOk);
    EXPECT_EQ(r.Count, 2);
    EXPECT_EQ(r.Address(), 0x400E);
    EXPECT_EQ(r.Data[0], 0xC4);
    EXPECT_EQ(r.Data[2], 0xAD); // the checksum byte follows the data
    EXPECT_EQ(r.Sum, 0x200);

    TIntelHex tag = ParseHexLine(";PIC18F4550 made by hand");
    EXPECT_EQ(tag.LineStatus, HexLineOk);
    EXPECT_EQ(tag.Tag, "PIC18F4550 made "); // 16 characters, untrimmed
}

// Every kind of damaged or foreign input, read as LOAD reads it: what was
// skipped, where first and why, whether any HEX was there, and that what
// is not a file (a device, a FIFO) is refused before anything is read.
TEST(HexRead, SkippedLinesAreCountedWithTheirReason)
{
    const std::string end = ":00000001FF";
    const std::string good = Record(0, 0, {0x34, 0x12});
    const std::string max = Record(0x100, 0, std::vector<uint8_t>(255, 0xA5));
    std::string binary;
    for (int i = 0; i < 3000; ++i) {
        const char c = static_cast<char>(i * 7 % 256);
        binary += c == '\n' || c == '\r' ? '\0' : c;
    }
    struct Case {
        const char *name;
        std::string text;
        long skipped;
        long firstLine;
        HexSkip why;
        bool noData;
        uint16_t word0; // word 0 afterwards (0x3FFF: untouched)
    };
    const Case cases[] = {
        {"clean", Lines({good, end}), 0, 0, HexSkip::NoColon, false, 0x1234},
        {"bad checksum", Lines({":020000003412B9", end}), 1, 1, HexSkip::BadChecksum, false, 0x3FFF},
        {"bad digit", Lines({good, ":0200020034G2B6", end}), 1, 2, HexSkip::BadDigit, false, 0x1234},
        {"cut short", Lines({":0200000034", good, end}), 1, 1, HexSkip::CutShort, false, 0x1234},
        {"255 bytes", Lines({max, end}), 0, 0, HexSkip::NoColon, false, 0x3FFF},
        {"over-long", Lines({good, ":" + std::string(5000, '0'), end}), 1, 2, HexSkip::TooLong, false,
         0x1234},
        {"no end record", Lines({good, good}), 1, 3, HexSkip::NoEndRecord, false, 0x1234},
        {"bad info checksum", Lines({":10FF000000313646", good, end}), 1, 1, HexSkip::CutShort, false,
         0x1234},
        {"binary", binary, 1, 1, HexSkip::TooLong, true, 0x3FFF},
        {"empty", "", 0, 0, HexSkip::NoColon, true, 0x3FFF},
        {"assembly", "; blink\n\tlist p=16f84a\nstart:\n\tgoto start\n\tend\n", 4, 2, HexSkip::NoColon, true,
         0x3FFF},
    };
    TempDir dir;
    for (const Case &c : cases) {
        MemoryBuffer b;
        b.Clear(DeviceTable[Row("PIC16F84A")]);
        LoadOutcome out;
        out.Device = {false, Row("PIC16F84A")};
        LoadNewFile(dir.Write("f.hex", c.text), b, true, out);
        EXPECT_EQ(out.Read.Skipped, c.skipped) << c.name;
        EXPECT_EQ(out.Read.NoData(), c.noData) << c.name;
        EXPECT_EQ(b.Words[0], c.word0) << c.name;
        EXPECT_EQ(out.Device.Index, Row("PIC16F84A")) << c.name; // nothing damaged selects a device
        if (c.skipped == 0) continue;
        ASSERT_FALSE(out.Read.Lines.empty()) << c.name;
        EXPECT_EQ(out.Read.Lines[0].Line, c.firstLine) << c.name;
        EXPECT_EQ(out.Read.Lines[0].Why, c.why) << c.name;
    }
    EXPECT_EQ(ParseHexLine(max).Data[254], 0xA5);
    EXPECT_EQ(SkippedLinesText("a.hex", LoadOutcome{}.Read),
              "ファイル \"a.hex\" の 0 行を読み込めませんでした（最初は 0 行目）。");

    // Not files: refused at once, the FIFO without waiting for a writer.
    const std::string fifo = dir.File("fifo.hex");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string &path : {std::string("/dev/zero"), fifo}) {
        MemoryBuffer b;
        LoadOutcome out;
        try {
            LoadNewFile(path, b, true, out);
            ADD_FAILURE() << path << " read";
        } catch (const HexFileError &e) {
            EXPECT_EQ(e.Reason(), NotRegularFileReason) << path;
        }
    }
}

TEST(Hex16Loader, StoresBytesAtTheirByteAddressWithinTheImage)
{
    std::string badSum = Record(0x0010, 0, {0x01, 0x02});
    badSum.back() = badSum.back() == '0' ? '1' : '0';
    Load16 l(Lines({Record(0x400E, 0, {0x3F, 0x1F}), Record(0x0002, 0, {0x34, 0x12, 0x78}), ":0400000001",
                    badSum, ":020000040030CA", ":00000001FF", Record(0x8000, 0, {0xAB, 0x00}),
                    Record(0x81FE, 0, {0xCD, 0x00}), Record(0x43FC, 0, {0x11, 0x00}),
                    Record(0x4400, 0, {0x22, 0x00}), Record(0x8200, 0, {0x33, 0x00}),
                    Record(0xF000, 0, {0x44, 0x00})}));
    EXPECT_EQ(l.words[0x2007], 0x1F3F);
    EXPECT_EQ(l.words[1], 0x1234);
    EXPECT_EQ(l.words[2], 0x3F78); // an odd last byte is the next word's low byte
    EXPECT_EQ(l.words[0x2100], 0x00AB);
    EXPECT_EQ(l.words[0x21FF], 0x00CD);
    EXPECT_EQ(l.words[0x21FE], 0x0011);
    int changed = 0;
    for (uint16_t w : l.words)
        changed += w != 0x3FFF;
    EXPECT_EQ(changed, 6); // bad lines and records above 0x43FF changed nothing

    // A PIC18 file: extended addresses are ignored, so ID bytes land at word 0.
    EXPECT_EQ(Load16(Lines({":020000040020DA", Record(0, 0, {1, 2, 3, 4})})).words[1], 0x0403);
}

TEST(Hex16Loader, TagsAndDeviceInformation)
{
    Load16 tagged(Lines({";PIC12F675", ";PIC16F628A  "}));
    EXPECT_EQ(tagged.tag, "PIC16F628A  ");
    EXPECT_EQ(tagged.info[DeviceInformationValid], 0xFF);

    Load16 l(InfoRecord("16F877A", {0x02, 0x01, 0x00, 0x11, 0x00, 0x5A, 0xC3}));
    EXPECT_EQ(l.tag, std::string("PIC16F877A\0", 11));
    EXPECT_EQ(l.info[DeviceInformationValid], 0);
    EXPECT_EQ(l.info[15], 0xC3);

    // A damaged record, cut short or with a wrong checksum, names nothing.
    Load16 cut(":10FF000000313646");
    EXPECT_EQ(cut.info[DeviceInformationValid], 0xFF);
    EXPECT_EQ(cut.tag, "");
}

TEST(DeviceInformation, ComposesConfigurationAndUserIds)
{
    DeviceInformation info{};
    info[9] = 0x02;  // bits 0-1
    info[10] = 0x01; // bit 2
    info[11] = 0x00; // bit 3, inverted
    info[12] = 0x11; // bits 4 and 6
    info[14] = 0x5A;
    info[15] = 0xC3;
    WordImage words{};
    ASSERT_TRUE(ApplyDeviceInformation(info, DeviceTable[Row("PIC16F84A")], words));
    EXPECT_EQ(words[0x2007], 0x3FFE);
    EXPECT_EQ(words[0x2000], 0xFFF5);
    EXPECT_EQ(words[0x2001], 0xFFFA);
    EXPECT_EQ(words[0x2002], 0xFFFC);
    EXPECT_EQ(words[0x2003], 0xFFF3);

    info[11] = 0x01;
    ASSERT_TRUE(ApplyDeviceInformation(info, DeviceTable[Row("PIC12F508")], words));
    EXPECT_EQ(words[0x0FFF], 0x0FFE); // 12-bit: always at 0x0FFF, masked
    EXPECT_EQ(words[0x0200], 0xFFF5);

    info[DeviceInformationValid] = 1;
    words.fill(0);
    EXPECT_FALSE(ApplyDeviceInformation(info, DeviceTable[Row("PIC16F84A")], words));
    EXPECT_EQ(words[0x2007], 0);
}

TEST(Hex18Loader, PlacesBytesByExtendedAddressWithinTheArrays)
{
    Load18 l(Lines({Record(0x0010, 0, {0xA0, 0xA1}), ":020000040020DA", Record(0x000E, 0, {1, 2, 3}),
                    ":020000040030CA", Record(0x000C, 0, {4, 5, 6}), ":0200000400F00A",
                    Record(0x00FF, 0, {7, 8}), ":00000001FF", Record(0x0000, 0, {9}), ":020000040001F9",
                    Record(0x0000, 0, {0xEE}), ":020000040000FA", Record(0x01FF, 0, {0xB0, 0xB1})}),
             512, 256);
    EXPECT_EQ(l.program[0x11], 0xA1);
    EXPECT_EQ(l.id[15], 2);     // byte 16 dropped
    EXPECT_EQ(l.config[13], 5); // byte 14 dropped
    EXPECT_EQ(l.eedata[0xFF], 7);
    EXPECT_EQ(l.eedata[0], 9);     // after the end record, still read
    EXPECT_EQ(l.program[0], 0xFF); // 0x010000 is outside every window
    EXPECT_EQ(l.program[0x1FF], 0xB0);
    EXPECT_EQ(l.program.size(), 512u);

    Load18 none(Lines({":0200000400F00A", Record(0, 0, {1, 2, 3})}), 64, 0);
    EXPECT_TRUE(none.eedata.empty());

    // Neither a bad extended record nor one without its address moves the window.
    Load18 bad(Lines({":020000040020DB", ":0000000400FC", Record(0, 0, {1}), ";PIC18F452"}), 16, 0);
    EXPECT_EQ(bad.program[0], 1);
    EXPECT_EQ(bad.tag, "PIC18F452");
}

TEST(ScanDeviceTag, FirstTagOrDeviceInformationCutAtABlank)
{
    EXPECT_EQ(ScanDeviceTagText(Lines({":00000001FF", ";PIC18F4550 for the board", ";PIC16F84A"})),
              "PIC18F4550");
    EXPECT_EQ(ScanDeviceTagText(Lines({";pic16f877a", ";PIC12HV615"})), "PIC12HV615");
    EXPECT_EQ(ScanDeviceTagText(";PIC16F628A0123456789"), "PIC16F628A01"); // 12 characters
    EXPECT_EQ(ScanDeviceTagText(";PIC16F84A\tboard"), "PIC16F84A\tbo");    // a tab does not cut
    EXPECT_EQ(ScanDeviceTagText(InfoRecord("16F84A")), "PIC16F84A");       // NUL bytes do
    EXPECT_EQ(ScanDeviceTagText(Lines({":00000001FF", "; nothing"})), "");
    EXPECT_EQ(ScanDeviceTagText(InfoRecord("12f629")), "PIC12f629");
    // Device information counts only for PIC10F/12F/16F names.
    EXPECT_EQ(ScanDeviceTagText(Lines({InfoRecord("12HV615"), InfoRecord("18F452"), InfoRecord("16F88")})),
              "PIC16F88");
}

TEST(DeviceSelection, NamesChooseRowsOfTheRightTable)
{
    EXPECT_EQ(DeviceForScannedName("pic18f452"), (DeviceSelection{true, 4}));
    EXPECT_EQ(DeviceForScannedName("PIC12f629"), (DeviceSelection{false, Row("PIC12F629")}));
    EXPECT_EQ(DeviceForScannedName("PIC16F999").Index, -1);
    EXPECT_EQ(DeviceForScannedName("<PIC18F>").Index, -1);

    EXPECT_EQ(DeviceForLoaderTag("PIC16F877A ", false), -1); // compared whole
    EXPECT_EQ(DeviceForLoaderTag(std::string("PIC16F877A\0", 11), false), Row("PIC16F877A"));
    // A PIC18 name must not pick the PIC16 row that shares its index.
    EXPECT_EQ(DeviceForLoaderTag("PIC18F452", false), -1);
    EXPECT_EQ(DeviceForLoaderTag("PIC18F452", true), 4);
    EXPECT_EQ(DeviceForLoaderTag("<PIC16/12/10F>", true), -1);
}

TEST(HexFiles, EveryLineEndAndChunkBoundary)
{
    TempDir dir;
    WordImage words{};
    std::string tag;
    DeviceInformation info{};
    for (const char *end : {"\n", "\r\n", "\r"}) {
        words.fill(0x3FFF);
        LoadHex16(dir.Write("e.hex",
                            Lines({Record(0, 0, {1, 0}), Record(2, 0, {2, 0})}, end) + Record(4, 0, {3, 0})),
                  words, tag, info);
        EXPECT_EQ(words[0] + words[1] + words[2], 6) << int(end[0]);
    }

    // A CR LF may straddle two reads: every line must arrive once and whole.
    std::string text;
    for (unsigned a = 0; text.size() < 9000; a += 2)
        text += Record(a, 0, {static_cast<uint8_t>(a), 0}) + "\r\n";
    for (size_t pad = 0; pad < 17; ++pad) { // every phase of a 17-byte line
        std::string padded = std::string(pad, ' ') + text;
        std::vector<std::string> got, want;
        ForEachHexFileLine(dir.Write("long.hex", padded), [&](std::string_view l) { got.emplace_back(l); });
        for (size_t p = 0; p < padded.size(); p = padded.find('\n', p) + 1)
            want.push_back(padded.substr(p, padded.find('\r', p) - p));
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
    for (auto [path, error] : {std::pair{dir.File("missing.hex"), ENOENT},
                               std::pair{plain + "/x.hex", ENOTDIR}, std::pair{dir.File(""), EISDIR}}) {
        try {
            LoadHex16(path, words, tag, info);
            ADD_FAILURE() << path << " loaded";
        } catch (const HexFileError &e) {
            EXPECT_EQ(e.Path(), path);
            EXPECT_EQ(std::string(e.what()), path + ": " + std::strerror(error));
        }
    }
    EXPECT_THROW(ScanDeviceTag(dir.File("")), HexFileError);
}

TEST(LoadNewFile, AutoSelectSwitchesFamilyAndPreparesTheArraysFirst)
{
    TempDir dir;
    std::string path = dir.Write("a.hex", Lines({";PIC18F4550", Record(0x7FFE, 0, {0x12, 0x34}),
                                                 ":0200000400F00A", Record(0xFF, 0, {0x56})}));
    MemoryBuffer b;
    b.Clear(DeviceTable[Row("PIC16F877A")]);
    b.Id18[0] = 0x77;
    LoadOutcome out;
    out.Device = {false, Row("PIC16F877A")};
    LoadNewFile(path, b, false, out); // without auto-select: read as a word file
    EXPECT_FALSE(out.DeviceChanged);
    EXPECT_EQ(out.Tag, "PIC18F4550");

    LoadNewFile(path, b, true, out);
    EXPECT_EQ(out.Device, (DeviceSelection{true, 20}));
    EXPECT_TRUE(out.DeviceChanged);
    ASSERT_EQ(b.Program18.size(), 32768u);
    EXPECT_EQ(b.Program18[0x7FFF], 0x34);
    EXPECT_EQ(b.EEData18[0xFF], 0x56);
    EXPECT_EQ(b.Id18[0], 0xFF); // another part starts from its own blank image
}

TEST(LoadNewFile, SameDeviceOverlaysAndAnotherDeviceClearsFirst)
{
    TempDir dir;
    MemoryBuffer b;
    b.Clear(DeviceTable[Row("PIC16F84A")]);
    b.Words[7] = 0x1234;
    LoadOutcome out;
    out.Device = {false, Row("PIC16F84A")};
    EXPECT_THROW(LoadNewFile(dir.File("missing.hex"), b, true, out), HexFileError);
    EXPECT_EQ(out.Device, (DeviceSelection{false, Row("PIC16F84A")}));
    LoadNewFile(dir.Write("1.hex", Record(0, 0, {1, 0, 2, 0})), b, true, out);
    LoadNewFile(dir.Write("2.hex", Record(2, 0, {3, 0})), b, true, out);
    EXPECT_EQ(b.Words[0] + b.Words[1], 4);
    EXPECT_EQ(b.Words[7], 0x1234);
    EXPECT_FALSE(out.DeviceChanged);

    LoadNewFile(dir.Write("3.hex", Lines({";PIC12F508", Record(4, 0, {4, 0})})), b, true, out);
    EXPECT_TRUE(out.DeviceChanged);
    EXPECT_EQ(out.Device, (DeviceSelection{false, Row("PIC12F508")}));
    EXPECT_EQ(b.Words[0], 0x0FFF);
    EXPECT_EQ(b.Words[2], 4);
}

TEST(LoadCurrentFile, AutoSelectStaysInTheFamilyAndNeverClears)
{
    TempDir dir;
    MemoryBuffer b;
    b.Clear(DeviceTable[Row("PIC16F84A")]);
    LoadOutcome out;
    out.Device = {false, Row("PIC16F84A")};
    LoadCurrentFile(dir.Write("a.hex", Lines({";PIC16F628A  ", ";PIC18F452", Record(0, 0, {1, 0})})), b, true,
                    out);
    EXPECT_EQ(out.Device, (DeviceSelection{false, Row("PIC16F84A")}));

    LoadCurrentFile(dir.Write("b.hex", Lines({";PIC12F508", Record(2, 0, {2, 0})})), b, true, out);
    EXPECT_EQ(out.Device, (DeviceSelection{false, Row("PIC12F508")}));
    EXPECT_TRUE(out.DeviceChanged);
    EXPECT_EQ(b.Words[0] + b.Words[1], 3);
    EXPECT_EQ(b.Words[2], 0x3FFF);

    LoadCurrentFile(dir.Write("c.hex", InfoRecord("16F84A", {0x03, 0x01, 0x00, 0x00, 0x00, 0x12, 0x34})), b,
                    true, out);
    EXPECT_EQ(out.Device.Index, Row("PIC16F84A"));
    EXPECT_TRUE(out.DeviceInformationApplied);
    EXPECT_EQ(b.Words[0x2007], 0x3FFF);
    EXPECT_EQ(b.Words[0x2003], 0xFFF4);

    // PIC18: the arrays follow the newly selected device.
    b.Clear(DeviceTable18[Row("PIC18F1220")]);
    out.Device = {true, Row("PIC18F1220")};
    LoadCurrentFile(dir.Write("d.hex", Lines({";PIC18F4550", Record(0x10, 0, {0xAA})})), b, true, out);
    EXPECT_EQ(out.Device, (DeviceSelection{true, 20}));
    EXPECT_EQ(b.Program18.size(), 32768u);
    EXPECT_EQ(b.EEData18.size(), 256u);
    EXPECT_EQ(b.Program18[0x10], 0xAA);
}
