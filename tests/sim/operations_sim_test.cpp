// The device operations end to end against the simulated board: erase,
// blank check, program, verify and read of every catalogue row, through
// each firmware generation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "operations/operations.h"
#include "sim_rig.h"

namespace {

struct OpsRig : SimRig {
    MemoryBuffer buffer;
    // The sim rigs verify the User-IDs too.
    OperationContext ctx{port, cmd, buffer, ui, {}, {.verifyUserId = true}};
    explicit OpsRig(SimOptions options) : SimRig(std::move(options)) {}
};

struct Case16 {
    int index;
    RowWriteForms firmware;
};

std::vector<Case16> AllCases16()
{
    std::vector<Case16> cases;
    for (int i = 1; i < DeviceTableSize; ++i) {
        cases.push_back({i, i % 2 ? RowWriteForms::Row15 : RowWriteForms::Both});
        cases.push_back({i, RowWriteForms::None});
    }
    return cases;
}

// A used chip: everything the erase must clear is zero; calibration stays.
void Dirty(SimChip &chip, const TDeviceSpec &d)
{
    for (uint32_t k = 0; k < d.ProgramSize; ++k)
        if (k != d.CalibAddress1) chip.Poke(k, 0);
    for (uint32_t i = 0; i < 4; ++i)
        chip.Poke(d.UserIdAddress + i, 0);
    const uint32_t config = d.Is12Bit() ? Config12BitWord : 0x2007u;
    chip.Poke(config, chip.Peek(config) & (d.CalibAddress2 == 0x2007 ? d.CalibMask2 : 0));
    if (d.ConfigAddress2) chip.Poke(d.ConfigAddress2, 0);
    for (uint32_t i = 0; i < d.EEDataSize; ++i)
        chip.SetEeprom(i, 0);
}

class Operations16 : public testing::TestWithParam<Case16> {};

// Scattered words, the run just below the top of program memory included:
// on parts whose last word holds the oscillator calibration, programming that
// run must not carry a blank pad over it.
void FillBuffer(MemoryBuffer &b, const TDeviceSpec &d)
{
    b.Clear(d);
    const uint32_t top = d.ProgramSize - 1;
    const bool calibrationOnTop = d.CalibAddress1 && d.CalibAddress1 < 0x1000;
    for (uint32_t k : {0u, 1u, 2u, 9u, 17u, 100u, top / 2, top - 7, top - 3, top - 1, top})
        if (!calibrationOnTop || k < top)
            b.Words[k] = static_cast<uint16_t>((k * 0x155 + 0x21) & d.BlankWord);
    for (uint32_t i = 0; i < d.EEDataSize; i += 5)
        b.Words[EEDataAreaStart + i] = static_cast<uint16_t>(i & 0x7F);
    for (uint32_t i = 0; i < 4; ++i)
        b.Words[d.UserIdAddress + i] = static_cast<uint16_t>(i + 1);
    const uint32_t config = d.Is12Bit() ? Config12BitWord : d.ConfigAddress1;
    b.Words[config] = static_cast<uint16_t>(d.ConfigMask1 & 0x2AD5);
    if (d.ConfigAddress2) b.Words[d.ConfigAddress2] = static_cast<uint16_t>(d.ConfigMask2 & 0x3EFF);
}

} // namespace

TEST_P(Operations16, EraseBlankCheckProgramVerifyKeepCalibration)
{
    const TDeviceSpec &d = DeviceTable[GetParam().index];
    OpsRig rig(SimOptions{.chip = d.Name, .firmware = GetParam().firmware});
    rig.ctx.device.Index = GetParam().index;
    const std::vector<uint16_t> factory = rig.sim.Chip().Calibration();
    Dirty(rig.sim.Chip(), d);

    ASSERT_TRUE(CheckConnection(rig.ctx));
    EXPECT_TRUE(EraseDevice(rig.ctx));
    EXPECT_TRUE(BlankCheckDevice(rig.ctx, nullptr)) << rig.ui.status;
    FillBuffer(rig.buffer, d);
    EXPECT_TRUE(ProgramDevice(rig.ctx, nullptr)) << rig.ui.status;
    EXPECT_TRUE(VerifyDevice(rig.ctx, nullptr)) << rig.ui.status;
    EXPECT_EQ(rig.sim.Chip().Calibration(), factory);

    // Reading the chip back into a fresh buffer gives the same program words.
    const MemoryBuffer written = rig.buffer;
    rig.buffer.Clear(d);
    EXPECT_TRUE(ReadDevice(rig.ctx, nullptr));
    const uint32_t n = d.ProgramSize - ((d.CalibAddress1 && d.CalibAddress1 < 0x1000) ? 1 : 0);
    for (uint32_t k = 0; k < n; ++k)
        ASSERT_EQ(rig.buffer.Words[k], written.Words[k]) << k;
}

INSTANTIATE_TEST_SUITE_P(Catalogue, Operations16, testing::ValuesIn(AllCases16()),
                         [](const testing::TestParamInfo<Case16> &info) {
                             return std::string(DeviceTable[info.param.index].Name) +
                                    (info.param.firmware == RowWriteForms::None ? "_word" : "_row");
                         });

class Operations18 : public testing::TestWithParam<int> {};

TEST_P(Operations18, EraseBlankCheckProgramVerify)
{
    const TDeviceSpec18 &d = DeviceTable18[GetParam()];
    OpsRig rig(SimOptions{.chip = d.Name});
    rig.ctx.device.Pic18 = true;
    rig.ctx.device.Index = GetParam();
    for (uint32_t i = 0; i < d.ProgramSize; i += 5)
        rig.sim.Chip().Poke(i, 0);
    rig.sim.Chip().Poke(0x200000, 0);
    rig.sim.Chip().Poke(0x300001, 0);
    for (uint32_t i = 0; i < d.EEDataSize; ++i)
        rig.sim.Chip().SetEeprom(i, 0);

    ASSERT_TRUE(CheckConnection(rig.ctx));
    EXPECT_TRUE(EraseDevice(rig.ctx));
    EXPECT_TRUE(BlankCheckDevice(rig.ctx, nullptr)) << rig.ui.status;
    rig.buffer.Clear(d);
    for (uint32_t i : {0u, 1u, 7u, 8u, 40u, d.ProgramSize - 1})
        rig.buffer.Program18[i] = static_cast<uint8_t>(i * 3);
    for (uint32_t i = 0; i < d.EEDataSize; i += 7)
        rig.buffer.EEData18[i] = static_cast<uint8_t>(i);
    for (int i = 0; i < 8; ++i)
        rig.buffer.Id18[i] = static_cast<uint8_t>(0xF0 | i);
    for (int i = 0; i < 14; ++i)
        rig.buffer.Config18[i] = d.ConfigDefault[i] ^ (d.ConfigMask[i] & 0x01);
    EXPECT_TRUE(ProgramDevice(rig.ctx, nullptr)) << rig.ui.status;
    EXPECT_TRUE(VerifyDevice(rig.ctx, nullptr)) << rig.ui.status;
    EXPECT_EQ(rig.sim.Chip().Peek(0x200007), 0xF7);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, Operations18, testing::Range(1, DeviceTable18Size),
                         [](const testing::TestParamInfo<int> &info) {
                             return std::string(DeviceTable18[info.param].Name);
                         });

TEST(OperationsSim, WordByWordProgramUpToTheCalibrationWordKeepsIt)
{
    const int index = FindDevice("PIC12F629");
    const TDeviceSpec &d = DeviceTable[index];
    OpsRig rig(SimOptions{.chip = d.Name, .firmware = RowWriteForms::None, .calibration = {0x3450, 0x2000}});
    rig.ctx.device.Index = index;
    EXPECT_TRUE(EraseDevice(rig.ctx));
    rig.buffer.Clear(d);
    for (uint32_t k = 0x3F0; k < 0x3FF; ++k)
        rig.buffer.Words[k] = static_cast<uint16_t>(k);
    EXPECT_TRUE(ProgramDevice(rig.ctx, nullptr));
    EXPECT_EQ(rig.sim.Chip().Peek(0x3FE), 0x3FE);
    EXPECT_EQ(rig.sim.Chip().Calibration(), (std::vector<uint16_t>{0x3450, 0x2000}));
}

TEST(OperationsSim, Pic18RefusedByAFirmwareWithoutPic18)
{
    OpsRig rig(SimOptions{.chip = "PIC18F4550", .pic18 = false});
    rig.ctx.device.Pic18 = true;
    rig.ctx.device.Index = FindDevice("PIC18F4550");
    EXPECT_FALSE(ReadDevice(rig.ctx, nullptr));
}

TEST(OperationsSim, WrongChipAndEmptySocketAreRefusedByTheCheck)
{
    OpsRig wrong(SimOptions{.chip = "PIC16F628A"});
    wrong.ctx.device.Index = FindDevice("PIC16F877A");
    EXPECT_EQ(CheckConnection(wrong.ctx).refusal, Refusal::WrongDevice);

    OpsRig empty(SimOptions{.chip = "none"});
    empty.ctx.device.Index = FindDevice("PIC16F877A");
    EXPECT_EQ(CheckConnection(empty.ctx).refusal, Refusal::NoDeviceId);

    OpsRig foreign(SimOptions{.versionText = "Other Ver.1"});
    foreign.ctx.device.Index = FindDevice("PIC16F877A");
    EXPECT_EQ(CheckConnection(foreign.ctx).refusal, Refusal::NoProgrammer);
}

TEST(OperationsSim, ConfigurationWordsAloneComeIntoTheBuffer)
{
    for (const char *name : {"PIC10F200", "PIC16F88"}) {
        const int index = FindDevice(name);
        const TDeviceSpec &d = DeviceTable[index];
        const uint32_t config = d.Is12Bit() ? Config12BitWord : d.ConfigAddress1;
        OpsRig rig(SimOptions{.chip = name});
        rig.ctx.device.Index = index;
        rig.sim.Chip().Poke(config, 0x0F6B);
        if (d.ConfigAddress2) rig.sim.Chip().Poke(d.ConfigAddress2, 0x3FFC);
        rig.sim.Chip().Poke(d.UserIdAddress, 0x0001);
        rig.buffer.Clear(d);
        rig.buffer.Words[0] = 0x0123;
        ASSERT_TRUE(ReadConfigWords(rig.ctx)) << name;
        EXPECT_EQ(rig.buffer.Words[config], 0x0F6B) << name;
        if (d.ConfigAddress2) {
            EXPECT_EQ(rig.buffer.Words[d.ConfigAddress2], 0x3FFC);
        }
        EXPECT_EQ(rig.buffer.Words[0], 0x0123) << name << ": program memory is not read";
        EXPECT_EQ(rig.buffer.Words[d.UserIdAddress], d.BlankWord) << name << ": nor the User-ID";
    }

    OpsRig rig18(SimOptions{.chip = "PIC18F4550"});
    rig18.ctx.device.Pic18 = true;
    rig18.ctx.device.Index = FindDevice("PIC18F4550");
    rig18.sim.Chip().PokeHexByte(0x300000, 0x24);
    rig18.sim.Chip().PokeHexByte(0x300006, 0x81);
    rig18.buffer.Clear(DeviceTable18[rig18.ctx.device.Index]);
    ASSERT_TRUE(ReadConfigWords(rig18.ctx));
    EXPECT_EQ(rig18.buffer.Config18[0], 0x24);
    EXPECT_EQ(rig18.buffer.Config18[6], 0x81);

    // A board that stops answering leaves the buffer as it was.
    OpsRig silent(SimOptions{.chip = "PIC16F877A", .faults = {{FaultKind::SilentAfter, 8}}});
    silent.ctx.device.Index = FindDevice("PIC16F877A");
    silent.sim.Chip().Poke(0x2007, 0x3F72);
    silent.buffer.Clear(DeviceTable[silent.ctx.device.Index]);
    EXPECT_FALSE(ReadConfigWords(silent.ctx));
    EXPECT_EQ(silent.buffer.Words[0x2007], 0x3FFF);
}
