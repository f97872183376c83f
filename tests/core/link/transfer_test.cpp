#include <gtest/gtest.h>

#include <memory>

#include "WireOracle.h"
#include "fakes.h"
#include "link/transfer.h"

namespace {

uint16_t Pattern(int i)
{
    return static_cast<uint16_t>(0xC000 | (i * 7));
}

const TDeviceSpec &Device(const char *name)
{
    return DeviceTable[FindDevice(name)];
}

TEST(Receive, ShortfallIsCountedAndMissingUnitsKeepTheirValue)
{
    LinkFixture f;
    // Two words, then one byte of a third and silence.
    f.play(Talk().reply({0x34, 0x12, 0x78, 0x56, 0x9A}).reply({}));
    std::vector<uint16_t> words(5, 0xAAAA);
    EXPECT_EQ(ReceiveWords(f.link, 5, words, &f.ui.main), 3);
    EXPECT_EQ(words, (std::vector<uint16_t>{0x1234, 0x5678, 0xAAAA, 0xAAAA, 0xAAAA}));
    EXPECT_EQ(f.link.missing, 3);
    EXPECT_EQ(f.ui.main.maximum, 5);
    // The silence after the partial word ends the stream: the last two words
    // are not waited for one time-out each.
    EXPECT_EQ(f.ui.main.steps, 3);
    EXPECT_EQ(f.ui.main.position, 0);
    EXPECT_EQ(f.ui.pumped, 3);

    std::vector<uint8_t> bytes(3, 0);
    f.play(Talk().reply({1, 2, 3}));
    EXPECT_EQ(ReceiveBytes(f.link, 3, bytes, nullptr), 0);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(f.link.missing, 3);
}

TEST(Receive, UnitsBeyondTheDestinationAreReadButNotStored)
{
    LinkFixture f;
    f.play(Talk().reply({1, 2, 3, 4}));
    std::array<uint8_t, 2> small{};
    EXPECT_EQ(ReceiveBytes(f.link, 4, small, nullptr), 0);
    EXPECT_EQ(small, (std::array<uint8_t, 2>{1, 2}));
    EXPECT_TRUE(f.line->replies.empty());
}

TEST(StreamReads, NormalAndSmallBlockProgramMemory)
{
    LinkFixture f;
    std::vector<uint16_t> dest(1040, 0);
    f.play(Talk().stream(4, 1032).words(1032, Pattern));
    EXPECT_EQ(ReadWords(f.link, 4, 1032, dest, &f.ui.main), 0);
    EXPECT_EQ(f.line->writes, Talk().stream(4, 1032).out);
    EXPECT_EQ(dest[1031], Pattern(1031));
    EXPECT_EQ(dest[1032], 0);

    LinkFixture s;
    s.link.smallBlock = true;
    Talk t;
    for (int k = 0; k < 65; ++k)
        t.stream(4, 16).words(16, Pattern);
    s.play(t);
    std::fill(dest.begin(), dest.end(), 0);
    EXPECT_EQ(ReadWords(s.link, 4, 1032, dest, &s.ui.main), 0);
    EXPECT_EQ(s.line->writes, t.out);
    EXPECT_EQ(dest[1039], Pattern(15));
    EXPECT_EQ(s.ui.main.maximum, 1032);
    EXPECT_EQ(s.ui.main.steps, 1040);
    EXPECT_EQ(s.ui.main.position, 0);
}

TEST(StreamReads, SmallBlockAlwaysReadsOneBlockAndSkipsDataEeprom)
{
    LinkFixture s;
    s.link.smallBlock = true;
    std::vector<uint16_t> dest(16, 0);
    s.play(Talk().stream(4, 16).words(16, Pattern));
    EXPECT_EQ(ReadWords(s.link, 4, 0, dest, nullptr), 0);
    EXPECT_EQ(dest[15], Pattern(15));

    LinkFixture e;
    e.link.smallBlock = true;
    e.play(Talk().stream(5, 20).words(20, Pattern));
    std::vector<uint16_t> ee(20, 0);
    EXPECT_EQ(ReadWords(e.link, 5, 20, ee, nullptr), 0);
    EXPECT_EQ(e.line->writes, Talk().stream(5, 20).out);
}

TEST(StreamReads, Pic18TableBytesInBlocksOf256)
{
    LinkFixture s;
    s.link.smallBlock = true;
    Talk t;
    for (uint32_t k = 0; k < 64; ++k)
        t.tablePtr(256 * k).tableRead(256).reply(Bytes(256, uint8_t(k)));
    s.play(t);
    std::vector<uint8_t> dest(16384, 0xFF);
    EXPECT_EQ(ReadBytes(s.link, 0, 16384, dest, &s.ui.main), 0);
    EXPECT_EQ(s.line->writes, t.out);
    EXPECT_EQ(dest[256 * 63 + 5], 63);
    EXPECT_EQ(s.ui.main.maximum, 64);
    EXPECT_EQ(s.ui.main.steps, 64);

    // A tail shorter than a block is never asked for; the caller hears of it.
    LinkFixture r;
    r.link.smallBlock = true;
    r.play(Talk().tablePtr(0).tableRead(256).reply(Bytes(256, 1)));
    dest.assign(300, 0);
    EXPECT_EQ(ReadBytes(r.link, 0, 300, dest, nullptr), 44);

    // Elsewhere than program memory the stream is always one command.
    LinkFixture n;
    n.link.smallBlock = true;
    n.play(Talk().tablePtr(0x200000).tableRead(16).reply(Bytes(16, 9)));
    std::array<uint8_t, 16> id{};
    EXPECT_EQ(ReadBytes(n.link, 0x200000, 16, id, nullptr), 0);
    EXPECT_EQ(n.line->writes, Talk().tablePtr(0x200000).tableRead(16).out);
}

TEST(StreamReads, Pic18EepromCountTravelsAsItsLowByte)
{
    for (int n : {256, 128}) {
        LinkFixture f;
        Talk t = Talk().echo({0x0E}).block({0, 0}).echo({0x0F}).send({uint8_t(n)}).reply(Bytes(n, 0x5A));
        f.play(t);
        std::vector<uint8_t> dest(n, 0);
        EXPECT_EQ(ReadPic18Eeprom(f.link, n, dest, nullptr), 0);
        EXPECT_EQ(f.line->writes, t.out);
        EXPECT_EQ(dest[n - 1], 0x5A);
    }
}

TEST(DeviceReads, TwelveBitCore)
{
    const TDeviceSpec &d = Device("PIC10F200"); // 256 words, no EEPROM
    LinkFixture f;
    Talk t = Talk().enter(0).icsp(6).stream(4, 264).words(264, Pattern).exit(0);
    t.enter(0).readWord(0xFFEB).exit(0);
    f.play(t);
    auto image = std::make_unique<MemoryBuffer>();
    image->Words.fill(0x1111);
    EXPECT_EQ(ReadDeviceMemories(f.link, d, image->Words, nullptr), 0);
    EXPECT_EQ(f.line->writes, t.out);
    EXPECT_EQ(image->Words[263], Pattern(263) & 0x0FFF);
    EXPECT_EQ(image->Words[264], 0x1111);
    EXPECT_EQ(image->Words[Config12BitWord], 0x0FEB);
}

TEST(DeviceReads, FourteenBitCoreWithEeprom)
{
    const TDeviceSpec &d = Device("PIC12F629"); // 1024 words, 128 bytes, entry mode 1
    LinkFixture f;
    f.link.smallBlock = false;
    Talk t = Talk().enter(1).stream(4, 1032).words(1032, Pattern).exit(1);
    t.enter(1).stream(5, 128).words(128, Pattern).exit(1);
    // The sixteen configuration words come as one stream.
    t.enter(1).load(0, 0).stream(4, 16).words(16, [](int i) { return uint16_t(0xC000 + i); }).exit(1);
    f.play(t);
    auto image = std::make_unique<MemoryBuffer>();
    EXPECT_EQ(ReadDeviceMemories(f.link, d, image->Words, nullptr), 0);
    EXPECT_EQ(f.line->writes, t.out);
    EXPECT_EQ(image->Words[5], Pattern(5) & 0x3FFF);
    EXPECT_EQ(image->Words[EEDataAreaStart + 127], Pattern(127) & 0x00FF);
    EXPECT_EQ(image->Words[ConfigAreaStart + 15], 0x000F);
}

TEST(DeviceReads, SilentProgrammerIsReportedNotHidden)
{
    const TDeviceSpec &d = Device("PIC10F200");
    LinkFixture f;
    auto image = std::make_unique<MemoryBuffer>();
    EXPECT_EQ(ReadDeviceMemories(f.link, d, image->Words, nullptr), 264 + 1);
    EXPECT_EQ(f.link.missing, 265);
}

TEST(DeviceReads, Pic18WholeDevice)
{
    const TDeviceSpec18 &d = DeviceTable18[9]; // PIC18F1220: 4096 bytes, 256 EEPROM
    LinkFixture f;
    Talk t = Talk().enter(0).tablePtr(0).tableRead(4096).reply(Bytes(4096, 0x11));
    t.echo({0x0E}).block({0, 0}).echo({0x0F}).send({0x00}).reply(Bytes(256, 0x22));
    t.tablePtr(0x200000).tableRead(16).reply(Bytes(16, 0x33));
    t.tablePtr(0x300000).tableRead(14).reply(Bytes(14, 0x44)).exit(0);
    f.play(t);
    MemoryBuffer buffer;
    buffer.Clear(d);
    EXPECT_EQ(ReadDeviceMemories18(f.link, d, buffer, nullptr), 0);
    EXPECT_EQ(f.line->writes, t.out);
    EXPECT_EQ(buffer.Program18.back(), 0x11);
    EXPECT_EQ(buffer.EEData18.back(), 0x22);
    EXPECT_EQ(buffer.Id18[15], 0x33);
    EXPECT_EQ(buffer.Config18[13], 0x44);
}

TEST(DeviceIds, BothFamilies)
{
    LinkFixture none;
    EXPECT_EQ(ReadDeviceId(none.link, Device("PIC16F84")), 0);
    EXPECT_TRUE(none.line->writes.empty());

    LinkFixture f;
    Talk t = Talk().enter(0).load(0, 0).repeat(6).readWord(0x0563).exit(0);
    f.play(t);
    EXPECT_EQ(ReadDeviceId(f.link, Device("PIC16F84A")), 0x0563);
    EXPECT_EQ(f.line->writes, t.out);

    // Silent after LoadConfig(0): the record still holds 0.
    LinkFixture s;
    s.play(Talk().enter(0).load(0, 0).repeat(6));
    EXPECT_EQ(ReadDeviceId(s.link, Device("PIC16F84A")), 0);
    EXPECT_EQ(s.link.missing, 1);

    LinkFixture p;
    Talk u = Talk().enter(0).tablePtr(0x3FFFFE).tableRead(2).reply({0x27, 0x04}).exit(0);
    p.play(u);
    EXPECT_EQ(ReadDeviceId18(p.link), 0x0427);
    EXPECT_EQ(p.line->writes, u.out);
}

TEST(CalibrationSlots, ReadPositionsAndMasks)
{
    // PIC12F629: slot 1 at 0x03FF (program memory), slot 2 at 0x2007 mask 0x3000.
    const TDeviceSpec &d = Device("PIC12F629");
    LinkFixture f;
    Talk t = Talk().enter(1).repeat(0x03FF).readWord(0x3455).exit(1);
    t.enter(1).load(0, 0).repeat(7).readWord(0x3FFF).exit(1);
    f.play(t);
    uint16_t w1 = 0, w2 = 0;
    ReadConfigWords(f.link, d, w1, w2);
    EXPECT_EQ(f.line->writes, t.out);
    EXPECT_EQ(w1, 0x3455);
    EXPECT_EQ(w2, 0x3000);
}

TEST(CalibrationSlots, WriteSetsBitsOutsideTheMaskInConfigArea)
{
    const TDeviceSpec &d = Device("PIC12F629"); // ProgramAlgorithm 0, ProgramWait 25
    LinkFixture f;
    Talk t = Talk().enter(1).repeat(0x03FF).load(2, 0x3480).timed(8, 25).exit(1);
    t.enter(1).load(0, 0).repeat(7).load(2, 0xDFFF).timed(8, 25).exit(1);
    f.play(t);
    WriteConfigWords(f.link, d, 0x3480, 0x1234);
    EXPECT_EQ(f.line->writes, t.out);

    const TDeviceSpec &b = Device("PIC10F200"); // 12-bit, slots 0x00FF and 0x0104, selector 2
    LinkFixture g;
    Talk u = Talk().enter(0).icsp(6).repeat(0xFF).load(2, 0x0C25).pair(8, 14, 30).exit(0);
    u.enter(0).icsp(6).repeat(0x104).load(2, 0x0ABC).pair(8, 14, 30).exit(0);
    g.play(u);
    WriteConfigWords(g.link, b, 0x0C25, 0x0ABC);
    EXPECT_EQ(g.line->writes, u.out);
}

TEST(Writes, ProgrammingCycleSelectors)
{
    LinkFixture f;
    Talk t = Talk().timed(8, 5).timed(24, 5).pair(8, 14, 5).pair(24, 23, 5).pair(24, 10, 5);
    f.play(t);
    for (int m = 0; m <= 5; ++m)
        ProgrammingCycle(f.link, m, 5);
    EXPECT_EQ(f.line->writes, t.out);
}

TEST(Writes, RowWriteWordCountBytes)
{
    std::array<uint16_t, 8> words = {0x0123, 0x0456, 0x0789, 0x0ABC, 0x1DEF, 0x2001, 0x3002, 0x3FFF};
    struct Case {
        int latch;
        uint8_t first, second;
    };
    for (Case c : {Case{1, 0, 0}, Case{2, 1, 1}, Case{4, 3, 3}, Case{8, 7, 3}}) {
        LinkFixture f;
        Talk t = Talk().echo({0x08}).block(
            {2, 24, 23, 40, c.first, 0x23, 0x01, 0x56, 0x04, 0x89, 0x07, 0xBC, 0x0A});
        t.echo({0x08}).block({2, 24, 23, 40, c.second, 0xEF, 0x1D, 0x01, 0x20, 0x02, 0x30, 0xFF, 0x3F});
        f.play(t);
        EXPECT_EQ(WriteRow(f.link, 0x08, 3, 40, c.latch, words), 0);
        EXPECT_EQ(f.line->writes, t.out) << c.latch;
    }
    // Only the second block's status is the result; form 0x15 goes out as 0x15.
    std::array<uint16_t, 8> zeros{};
    Bytes row = {2, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    LinkFixture g;
    g.play(Talk().echo({0x15}).send(row).reply({0x00}).echo({0x15}).block(row));
    EXPECT_EQ(WriteRow(g.link, 0x15, 0, 0, 1, zeros), 0);
    EXPECT_EQ(g.line->writes.front(), Bytes{0x15});
    LinkFixture h;
    h.play(Talk().echo({0x15}).block(row).echo({0x15}).send(row));
    EXPECT_EQ(WriteRow(h.link, 0x15, 0, 0, 1, zeros), 2);
}

TEST(Writes, Pic18BlockTimeByteOnlyOnLastChunk)
{
    LinkFixture f;
    Bytes data(36);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i);
    Talk t;
    for (uint8_t k = 0; k < 4; ++k) {
        Bytes payload = {uint8_t(k == 3 ? 10 : 0)};
        for (uint8_t i = 0; i < 8; ++i)
            payload.push_back(uint8_t(8 * k + i));
        t.echo({0x0D}).block(payload);
    }
    f.play(t);
    EXPECT_EQ(WritePic18Block(f.link, data, 10), 0);
    EXPECT_EQ(f.line->writes, t.out);
}

TEST(Writes, Pic18ConfigWritesEachPairTwice)
{
    std::array<uint8_t, 14> cfg = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85,
                                   0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};
    LinkFixture f;
    Talk t = Talk().instr(0, 0x8EA6, 0, 0).instr(0, 0x8CA6, 0, 0).tablePtr(0x300000);
    for (int i = 0; i < 7; ++i)
        for (int twice = 0; twice < 2; ++twice)
            t.instr(0xF, uint16_t(cfg[2 * i] | cfg[2 * i + 1] << 8), 0, 0)
                .instr(0, 0, 2, 50)
                .instr(0, 0x2AF6, 0, 0);
    f.play(t);
    EXPECT_EQ(WritePic18Config(f.link, cfg, 50), 0);
    EXPECT_EQ(f.line->writes, t.out);

    LinkFixture g;
    Talk u = Talk().instr(0, 0x8EA6, 0, 0).instr(0, 0x9CA6, 0, 0);
    g.play(u);
    SelectFlashAccess(g.link);
    EXPECT_EQ(g.line->writes, u.out);
}

TEST(Erase, EverySequence)
{
    const TDeviceSpec &d = Device("PIC16F84A");
    auto with = [&](uint8_t algorithm) {
        TDeviceSpec e = d;
        e.EraseAlgorithm = algorithm;
        e.EraseWait = 77;
        return e;
    };
    struct Case {
        uint8_t algorithm;
        bool calib;
        Talk talk;
    };
    std::vector<Case> cases = {
        {0, false, Talk().repeat(1025).timed(9, 77)},
        {1, false, Talk().load(0, 0).timed(9, 77).timed(11, 77)},
        {2, false, Talk().timed(9, 77).load(0, 0).timed(9, 77).timed(11, 77)},
        {2, true, Talk().timed(9, 77).load(0, 0).repeat(9).timed(9, 77).timed(11, 77)},
        {3, true,
         Talk().load(0, 0x3FFF).repeat(7).icsp(1).icsp(7).timed(8, 77).icsp(1).icsp(7).icsp(11).timed(24,
                                                                                                      77)},
        {4, false, Talk().load(0, 0x3FFF).timed(9, 77).timed(11, 77)},
        {5, false, Talk().load(0, 0x3FFF).timed(31, 77)},
        {6, false, Talk().load(0, 0x3FFF).timed(9, 77)},
        {7, false, Talk()},
    };
    for (const Case &c : cases) {
        LinkFixture f;
        f.play(c.talk);
        EraseSequence(f.link, with(c.algorithm), c.calib);
        EXPECT_EQ(f.line->writes, c.talk.out) << int(c.algorithm) << c.calib;
    }

    LinkFixture b;
    Talk t = Talk().tablePtr(0x3C0004).instr(0xC, 0x3F8F, 0, 0).instr(0, 0, 0, 0).instr(0, 0, 1, 100);
    b.play(t);
    BulkErase18(b.link, 0x3F8F, 100);
    EXPECT_EQ(b.line->writes, t.out);
}

} // namespace
