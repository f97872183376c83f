#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "image/dump.h"
#include "support/textutil.h"

namespace {

const std::string Dot = std::string(DumpPlaceholder);

std::string Repeat(const std::string &s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

const TDeviceSpec &Row(const char *name)
{
    return DeviceTable.at(FindDevice(name));
}

const TDeviceSpec18 &Row18(const char *name)
{
    return DeviceTable18.at(FindDevice(name));
}

} // namespace

TEST(DumpText, FourteenBitProgramAndDataShowLowByteFirstAndPlaceholders)
{
    const TDeviceSpec &dev = Row("PIC16F628A");
    MemoryBuffer buf;
    buf.Clear(dev);
    buf.Words[0] = 0x4142;
    buf.Words[2047] = 0x0020;
    buf.Words[EEDataAreaStart + 0] = 0x41;
    buf.Words[EEDataAreaStart + 1] = 0x20;
    buf.Words[EEDataAreaStart + 2] = 0x7F;
    buf.Words[EEDataAreaStart + 3] = 0x80;
    buf.Words[EEDataAreaStart + 127] = 0x7E;

    auto program = Lines(ProgramDumpText(buf, dev));
    ASSERT_EQ(program.size(), 256u);
    EXPECT_EQ(program[0], "000000: 4142 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF BA" + Repeat(Dot + "?", 7));
    EXPECT_EQ(program[255],
              "0007F8: 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 0020 " + Repeat(Dot + "?", 7) + " " + Dot);

    auto data = Lines(DataDumpText(buf, dev));
    ASSERT_EQ(data.size(), 8u);
    EXPECT_EQ(data[0], "0000: 41 20 7F 80 FF FF FF FF FF FF FF FF FF FF FF FF A " + Repeat(Dot, 14));
    EXPECT_EQ(data[7], "0070: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF 7E " + Repeat(Dot, 15) + "~");
}

TEST(DumpText, FourteenBitConfigurationViewPadsMissingSlots)
{
    MemoryBuffer buf;
    const TDeviceSpec &eight = Row("PIC16F628A");
    buf.Clear(eight);
    buf.Words[0x2007] = 0x3F10;
    EXPECT_EQ(ConfigDumpText(buf, eight),
              "002000: 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3F10 " + Repeat(Dot + "?", 7) + Dot + "?");

    const TDeviceSpec &ten = Row("PIC16F883");
    buf.Clear(ten);
    buf.Words[0x2009] = 0x3441;
    auto lines = Lines(ConfigDumpText(buf, ten));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "002008: 3FFF 3441 " + std::string(30, ' ') + Dot + "?A4");

    const TDeviceSpec &nine = Row("PIC12F683");
    buf.Clear(nine);
    lines = Lines(ConfigDumpText(buf, nine));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "002008: 3FFF " + std::string(35, ' ') + Dot + "?");
}

TEST(DumpText, TwelveBitDevice)
{
    const TDeviceSpec &dev = Row("PIC10F200");
    MemoryBuffer buf;
    buf.Clear(dev);
    buf.Words[Config12BitWord] = 0x0FEB;
    buf.Words[0x100] = 0x0041;

    auto program = Lines(ProgramDumpText(buf, dev));
    ASSERT_EQ(program.size(), 32u);
    EXPECT_EQ(program[1], "000008: 0FFF 0FFF 0FFF 0FFF 0FFF 0FFF 0FFF 0FFF " + Repeat(Dot, 16));

    EXPECT_EQ(DataDumpText(buf, dev), "");

    // User-ID words right after program memory, the configuration word under
    // its chip address with a fixed ASCII tail.
    auto config = Lines(ConfigDumpText(buf, dev));
    ASSERT_EQ(config.size(), 2u);
    EXPECT_EQ(config[0], "000100: 0041 0FFF 0FFF 0FFF 0FFF " + std::string(15, ' ') + "A" + Repeat(Dot, 9));
    EXPECT_EQ(config[1], "0001FF: 0FEB" + std::string(36, ' ') + Dot + Dot);

    const TDeviceSpec &four = Row("PIC16F57");
    buf.Clear(four);
    config = Lines(ConfigDumpText(buf, four));
    EXPECT_EQ(config[0], "000800: 0FFF 0FFF 0FFF 0FFF " + std::string(20, ' ') + Repeat(Dot, 8));
    EXPECT_EQ(config[1], "000FFF: 0FFF" + std::string(36, ' ') + Dot + Dot);
}

TEST(DumpText, Pic18DumpsAreLittleEndianWordsAndBytesInMemoryOrder)
{
    const TDeviceSpec18 &dev = Row18("PIC18F452");
    MemoryBuffer buf;
    buf.Clear(dev);
    buf.Program18[0] = 0x41;
    buf.Program18[1] = 0x42;
    buf.Program18[32767] = 0x20;
    buf.EEData18[255] = 0x5A;
    buf.Id18[0] = 0x31;
    buf.Config18.fill(0xFF);
    buf.Config18[2] = 0x0F;
    buf.Config18[3] = 0x0E;

    auto program = Lines(ProgramDumpText(buf, dev));
    ASSERT_EQ(program.size(), 2048u);
    EXPECT_EQ(program[0], "000000: 4241 FFFF FFFF FFFF FFFF FFFF FFFF FFFF AB" + Repeat(Dot, 14));
    EXPECT_EQ(program[2047], "007FF0: FFFF FFFF FFFF FFFF FFFF FFFF FFFF 20FF " + Repeat(Dot, 15) + " ");

    auto data = Lines(DataDumpText(buf, dev));
    ASSERT_EQ(data.size(), 16u);
    EXPECT_EQ(data[15], "00F0: " + Repeat("FF ", 15) + "5A " + Repeat(Dot, 15) + "Z");

    auto config = Lines(ConfigDumpText18(buf));
    ASSERT_EQ(config.size(), 2u);
    EXPECT_EQ(config[0], "200000: FF31 FFFF FFFF FFFF FFFF FFFF FFFF FFFF 1" + Repeat(Dot, 15));
    EXPECT_EQ(config[1], "300000: FFFF 0E0F FFFF FFFF FFFF FFFF FFFF      " + Repeat(Dot, 14));
    EXPECT_EQ(ConfigValues18(buf)[1], "0E0F");
    EXPECT_EQ(ConfigAddresses18()[6], "000C:");
}

TEST(DumpText, HeadersAndInitialContents)
{
    EXPECT_EQ(ProgramDumpHeader(false), "ADDRESS 0000 0001 0002 0003 0004 0005 0006 0007 ----- ASCII-----");
    EXPECT_EQ(ConfigDumpHeader(true), "ADDRESS 0000 0002 0004 0006 0008 000A 000C 000E ----- ASCII-----");
    auto program = Lines(InitialProgramDumpText());
    ASSERT_EQ(program.size(), 11u);
    EXPECT_EQ(program[10], "000050: 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF " + Repeat(Dot, 16));
    auto data = Lines(InitialDataDumpText());
    ASSERT_EQ(data.size(), 8u);
    EXPECT_EQ(data[7], "0070: " + Repeat("FF ", 16) + Repeat(Dot, 16));
    EXPECT_EQ(InitialConfigDumpText(), "002000: " + Repeat("3FFF ", 8) + Repeat(Dot, 16));
}

TEST(ConfigFields, SlotsFollowTheDeviceRowAndTheTwoOptions)
{
    MemoryBuffer buf;
    const TDeviceSpec &plain = Row("PIC16F628A");
    buf.Clear(plain);
    auto slots = ConfigSlots(buf, plain, false, true);
    EXPECT_EQ(slots[0].Address, "2007:");
    EXPECT_EQ(slots[0].Value, "3FFF");
    EXPECT_EQ(slots[0].State, SlotState::Shown);
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(slots[i].Address, "----:");
        EXPECT_EQ(slots[i].Value, "----");
        EXPECT_EQ(slots[i].State, SlotState::Absent);
    }

    const TDeviceSpec &both = Row("PIC16F883");
    buf.Clear(both);
    buf.Words[0x2008] = 0xFFFF;
    slots = ConfigSlots(buf, both, true, false);
    EXPECT_EQ(slots[0].State, SlotState::Editable);
    EXPECT_EQ(slots[1].Address, "2008:");
    EXPECT_EQ(slots[1].Value, Hex(0xFFFF & both.ConfigMask2, 4));
    EXPECT_EQ(slots[1].State, SlotState::Editable);
    EXPECT_EQ(slots[2].Address, "2009:");
    EXPECT_EQ(slots[2].State, SlotState::Shown);
    EXPECT_EQ(slots[3].State, SlotState::Absent);

    // 12-bit: Config1 comes from word 0x0FFF, masked; calibration slots
    // editable with the calibration option.
    const TDeviceSpec &twelve = Row("PIC10F200");
    buf.Clear(twelve);
    buf.Words[Config12BitWord] = 0xFFEB;
    buf.Words[0x00FF] = 0x0C12;
    slots = ConfigSlots(buf, twelve, false, true);
    EXPECT_EQ(slots[0].Address, "01FF:");
    EXPECT_EQ(slots[0].Value, "0FEB");
    EXPECT_EQ(slots[2].Address, "00FF:");
    EXPECT_EQ(slots[2].Value, "0C12");
    EXPECT_EQ(slots[2].State, SlotState::Editable);
    EXPECT_EQ(slots[3].Address, "0104:");
    EXPECT_EQ(slots[3].State, SlotState::Editable);
}
