// Erase: the calibration words read before, written back after, or replaced
// by the CAL1/CAL2 values; the PIC18 bulk erase keys.
#include <gtest/gtest.h>

#include "ops_rig.h"
#include "support/textutil.h"

namespace {

std::vector<HostCommand> EraseEntry(Rig &rig)
{
    // The entry that holds a timed ICSP command is the erase itself.
    for (const auto &entry : Entries(Decode(rig.sim.HostBytes())))
        for (const HostCommand &c : entry)
            if (c.code == 0x03) return entry;
    return {};
}

TEST(Erase, CalibrationChangeOnPic16F684)
{
    Rig rig("PIC16F684");
    const uint16_t factory = rig.sim.Chip().Program(0x2008);
    rig.sim.Chip().Poke(0x0000, 0x2805);
    rig.buffer.Words[0x0000] = 0x0123;
    rig.ctx.options.calibChange = true;
    rig.ctx.options.cal1 = 0x2A51;

    const OperationResult erased = EraseDevice(rig.ctx);
    ASSERT_TRUE(erased);
    const auto erase = EraseEntry(rig);
    ASSERT_EQ(Codes(erase), (std::vector<uint8_t>{0x03, 0x04, 0x06, 0x03, 0x03}));
    EXPECT_EQ(erase[2].Word(1), 9) << "the erase starts on 0x2009, which takes the calibration too";
    EXPECT_EQ(rig.sim.Chip().Program(0x2008), 0x2A51);
    EXPECT_EQ(rig.sim.Chip().Program(0x0000), 0x3FFF);
    EXPECT_EQ(
        rig.ui.Texts(),
        (std::vector<std::string>{
            "アドレス 2008 からキャリブレーションデータ " + Hex(factory, 4) + " を読み出しました。",
            "デバイスを消去しました。", "アドレス 2008 へキャリブレーションデータ 2A51 を書き込みました。",
            "!キャリブレーションデータは入力値に置き換わりました。"}));
    for (const LogLine &line : rig.ui.log)
        EXPECT_FALSE(line.showingMessages);
    EXPECT_EQ(rig.ui.status, "デバイスを消去しました。");
    EXPECT_EQ(rig.buffer.Words[0x2008], 0x2A51);
    EXPECT_EQ(rig.buffer.Words[0x0000], 0x0123);
    EXPECT_TRUE(erased.calibrationReplaced);
    EXPECT_EQ(rig.ui.redraws, 1);
}

TEST(Erase, CalibrationAt2008SurvivesWithoutWriteBack)
{
    Rig rig("PIC16F684");
    const uint16_t factory = rig.sim.Chip().Program(0x2008);
    const MemoryBuffer before = rig.buffer;
    ASSERT_TRUE(EraseDevice(rig.ctx));
    EXPECT_EQ(rig.ui.Texts(), (std::vector<std::string>{"アドレス 2008 からキャリブレーションデータ " +
                                                            Hex(factory, 4) + " を読み出しました。",
                                                        "デバイスを消去しました。"}));
    EXPECT_EQ(Codes(EraseEntry(rig)), (std::vector<uint8_t>{0x03, 0x04, 0x03, 0x03}));
    EXPECT_EQ(Entries(Decode(rig.sim.HostBytes())).size(), 3u) << "two slot reads and the erase";
    EXPECT_EQ(rig.sim.Chip().Program(0x2008), factory);
    EXPECT_EQ(rig.buffer.Words, before.Words);
}

TEST(Erase, TwelveBitCalibrationAndBackupWrittenBack)
{
    SimOptions o = Rig::Options("PIC10F200");
    o.calibration = {0x0C1A, 0x0C1A};
    Rig rig(o);
    rig.sim.Chip().Poke(0x0010, 0x0123);
    const MemoryBuffer before = rig.buffer;
    ASSERT_TRUE(EraseDevice(rig.ctx));
    EXPECT_EQ(rig.ui.Texts(),
              (std::vector<std::string>{"アドレス 00FF からキャリブレーションデータ 0C1A を読み出しました。",
                                        "アドレス 0104 からキャリブレーションデータ 0C1A を読み出しました。",
                                        "デバイスを消去しました。",
                                        "アドレス 00FF へキャリブレーションデータ 0C1A を書き込みました。",
                                        "アドレス 0104 へキャリブレーションデータ 0C1A を書き込みました。"}));
    EXPECT_EQ(rig.sim.Chip().Program(0x00FF), 0x0C1A);
    EXPECT_EQ(rig.sim.Chip().Program(0x0104), 0x0C1A);
    EXPECT_EQ(rig.sim.Chip().Program(0x0010), 0x0FFF);
    EXPECT_EQ(rig.buffer.Words, before.Words);
}

TEST(Erase, NoCalibrationNoExtraLines)
{
    Rig rig("PIC16F877A");
    ASSERT_TRUE(EraseDevice(rig.ctx));
    EXPECT_EQ(rig.ui.Texts(), std::vector<std::string>{"デバイスを消去しました。"});
    EXPECT_EQ(Entries(Decode(rig.sim.HostBytes())).size(), 1u);
}

TEST(Erase, ReplacedBandGapBitsLeaveTheBufferConfigurationAlone)
{
    // PIC12F675 keeps band-gap bits (mask 0x3000) in its configuration word.
    Rig rig("PIC12F675");
    rig.buffer.Words[0x2007] = 0x01C4;
    rig.ctx.options.calibChange = true;
    rig.ctx.options.cal1 = 0x3480;
    rig.ctx.options.cal2 = 0x2000;
    ASSERT_TRUE(EraseDevice(rig.ctx));
    EXPECT_EQ(rig.sim.Chip().Program(0x03FF), 0x3480);
    EXPECT_EQ(rig.sim.Chip().Program(0x2007) & 0x3000, 0x2000);
    EXPECT_EQ(rig.buffer.Words[0x03FF], 0x3480);
    EXPECT_EQ(rig.buffer.Words[0x2007], 0x21C4);
    EXPECT_TRUE(rig.ui.Logged("アドレス 2007 へキャリブレーションデータ 2000 を書き込みました。"));
}

TEST(Erase, Pic18BulkEraseKeys)
{
    for (auto [chip, key] : {std::pair{"PIC18F2550", 0x3F8F}, std::pair{"PIC18F452", 0x0080}}) {
        Rig rig(chip);
        rig.sim.Chip().Poke(0x10, 0x00);
        ASSERT_TRUE(EraseDevice(rig.ctx));
        const auto entries = Entries(Decode(rig.sim.HostBytes()));
        ASSERT_EQ(entries.size(), 1u);
        const auto &e = entries[0];
        ASSERT_EQ(Codes(e), (std::vector<uint8_t>{0x0B, 0x09, 0x09, 0x09}));
        EXPECT_EQ(e[0].args, (std::vector<uint8_t>{0x04, 0x00, 0x3C}));
        EXPECT_EQ(e[1].args[0], 0x0C);
        EXPECT_EQ(e[1].Word(1), key) << chip;
        EXPECT_EQ(e[3].args[3], 100) << "the erase wait";
        EXPECT_EQ(e[3].args[4], 1) << "held as a bulk erase";
        EXPECT_EQ(rig.sim.Chip().Program(0x10), 0xFF);
        EXPECT_EQ(rig.ui.Texts(), std::vector<std::string>{"デバイスを消去しました。"});
    }
}

} // namespace
