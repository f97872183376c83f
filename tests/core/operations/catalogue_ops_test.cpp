// Every catalogue row of both families through program, verify, read, erase
// and blank check on a simulated chip of that type.
#include <gtest/gtest.h>

#include "ops_rig.h"

namespace {

class Pic16Row : public testing::TestWithParam<int> {};
class Pic18Row : public testing::TestWithParam<int> {};

std::string RowName16(const testing::TestParamInfo<int> &info)
{
    return DeviceTable[info.param].Name;
}
std::string RowName18(const testing::TestParamInfo<int> &info)
{
    return DeviceTable18[info.param].Name;
}

TEST_P(Pic16Row, ProgramVerifyReadEraseBlank)
{
    const TDeviceSpec &d = DeviceTable[GetParam()];
    Rig rig(d.Name);
    std::mt19937 rng(GetParam());
    FillRandom(rig.buffer, d, rng);
    const WordImage image = rig.buffer.Words;
    const std::vector<uint16_t> factory = rig.sim.Chip().Calibration();

    ASSERT_TRUE(ProgramDevice(rig.ctx, &rig.ui.main)) << rig.ui.status;
    EXPECT_EQ(rig.ui.status, "デバイスに書き込みました");
    EXPECT_TRUE(rig.ui.Logged("バッファの内容をデバイスに書き込みました。"));
    EXPECT_EQ(rig.buffer.Words, image) << "program only reads the buffer";
    EXPECT_EQ(rig.sim.Chip().Calibration(), factory);

    ASSERT_TRUE(VerifyDevice(rig.ctx, &rig.ui.main)) << testing::PrintToString(rig.ui.Texts());
    EXPECT_EQ(rig.ui.status, "ベリファイOK。一致しました。");

    // Read into a cleared buffer gives back the image.
    rig.buffer.Clear(d);
    ASSERT_TRUE(ReadDevice(rig.ctx, &rig.ui.main));
    EXPECT_EQ(rig.ui.status, "デバイスからバッファに読み込みました。");
    EXPECT_EQ(rig.ui.dialogStatus, rig.ui.status) << "read reaches the dialog with any bar";
    EXPECT_EQ(rig.ui.redraws, 1);
    const bool calibLast = d.CalibAddress1 != 0 && d.CalibAddress1 < 0x1000;
    for (uint32_t k = 0; k < d.ProgramSize - (calibLast ? 1 : 0); ++k)
        ASSERT_EQ(rig.buffer.Words[k], image[k]) << "word " << k;
    for (uint32_t i = 0; i < d.EEDataSize; ++i)
        ASSERT_EQ(rig.buffer.Words[EEDataAreaStart + i], image[EEDataAreaStart + i]) << "EEData " << i;
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(rig.buffer.Words[d.UserIdAddress + i], image[d.UserIdAddress + i]);
    const uint32_t c1 = d.Is12Bit() ? Config12BitWord : d.ConfigAddress1;
    EXPECT_EQ(rig.buffer.Words[c1] & d.ConfigMask1, image[c1] & d.ConfigMask1);
    if (d.ConfigAddress2) {
        EXPECT_EQ(rig.buffer.Words[d.ConfigAddress2], image[d.ConfigAddress2]);
    }

    const WordImage afterRead = rig.buffer.Words;
    ASSERT_TRUE(EraseDevice(rig.ctx)) << rig.ui.status;
    EXPECT_EQ(rig.ui.status, "デバイスを消去しました。");
    EXPECT_EQ(rig.sim.Chip().Calibration(), factory);
    EXPECT_EQ(rig.buffer.Words, afterRead);

    ASSERT_TRUE(BlankCheckDevice(rig.ctx, &rig.ui.main)) << testing::PrintToString(rig.ui.Texts());
    EXPECT_EQ(rig.ui.status, "デバイスはブランクです。");
    EXPECT_EQ(rig.ui.main.position, 0);
}

TEST_P(Pic18Row, ProgramVerifyReadEraseBlank)
{
    const TDeviceSpec18 &d = DeviceTable18[GetParam()];
    Rig rig(d.Name);
    rig.ctx.options.verifyUserId = true;
    std::mt19937 rng(GetParam());
    FillRandom(rig.buffer, d, rng);
    const std::vector<uint8_t> program = rig.buffer.Program18, eedata = rig.buffer.EEData18;
    const auto id = rig.buffer.Id18;
    const auto config = rig.buffer.Config18;

    ASSERT_TRUE(ProgramDevice(rig.ctx, &rig.ui.main)) << rig.ui.status;
    ASSERT_TRUE(VerifyDevice(rig.ctx, &rig.ui.main)) << testing::PrintToString(rig.ui.Texts());
    EXPECT_EQ(rig.ui.status, "ベリファイOK。一致しました。");

    rig.buffer.Clear(d);
    ASSERT_TRUE(ReadDevice(rig.ctx, nullptr));
    EXPECT_EQ(rig.buffer.Program18, program);
    EXPECT_EQ(rig.buffer.EEData18, eedata);
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(rig.buffer.Id18[i], id[i]);
    EXPECT_EQ(rig.buffer.Config18, config);

    ASSERT_TRUE(EraseDevice(rig.ctx));
    EXPECT_EQ(rig.ui.status, "デバイスを消去しました。");
    ASSERT_TRUE(BlankCheckDevice(rig.ctx, &rig.ui.main)) << testing::PrintToString(rig.ui.Texts());
    EXPECT_EQ(rig.ui.status, "デバイスはブランクです。");
}

INSTANTIATE_TEST_SUITE_P(Catalogue, Pic16Row, testing::Range(1, DeviceTableSize), RowName16);
INSTANTIATE_TEST_SUITE_P(Catalogue, Pic18Row, testing::Range(1, DeviceTable18Size), RowName18);

// Small-block reads fetch the same chip as one stream.
TEST(SmallBlock, ReadsTheSameImage)
{
    for (const char *name : {"PIC16F628A", "PIC10F206", "PIC18F2320"}) {
        Rig rig(name);
        std::mt19937 rng(7);
        rig.ctx.device.Pic18 ? FillRandom(rig.buffer, rig.Row18(), rng)
                             : FillRandom(rig.buffer, rig.Row(), rng);
        ASSERT_TRUE(ProgramDevice(rig.ctx, nullptr)) << name;
        rig.ctx.options.smallBlock = true;
        ASSERT_TRUE(VerifyDevice(rig.ctx, nullptr)) << name;
        const MemoryBuffer written = rig.buffer;
        ASSERT_TRUE(ReadDevice(rig.ctx, nullptr)) << name;
        EXPECT_EQ(rig.buffer.Program18, written.Program18) << name;
        for (uint32_t k = 0; !rig.ctx.device.Pic18 && k + 1 < rig.Row().ProgramSize; ++k)
            ASSERT_EQ(rig.buffer.Words[k], written.Words[k]) << name << " word " << k;
    }
}

} // namespace
