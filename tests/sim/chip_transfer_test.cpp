// The host's transfers against the simulated chips: whatever is erased,
// written and read over the link must leave the chip as a real part would.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "sim_rig.h"
#include "textutil.h"

namespace {

uint16_t Pattern(uint32_t k, uint16_t mask)
{
    return static_cast<uint16_t>((k * 0x2A5 + 0x123) & mask & ~0x0100);
}

// Words written: the first three groups of eight and a run near the end,
// leaving the last eight words (calibration) alone.
bool Written(const TDeviceSpec &d, uint32_t k)
{
    return k < 24 || (k >= d.ProgramSize - 40 && k < d.ProgramSize - 16);
}

uint16_t ConfigValue(const TDeviceSpec &d)
{
    return static_cast<uint16_t>(d.ConfigMask1 & 0x2B5A);
}

// Fills everything the host can erase with zeros; calibration stays.
void Dirty(SimBackend &sim, const TDeviceSpec &d)
{
    SimChip &chip = sim.Chip();
    for (uint32_t k = 0; k < d.ProgramSize; ++k)
        if (k != d.CalibAddress1) chip.Poke(k, 0);
    for (uint32_t i = 0; i < 4; ++i) chip.Poke(d.UserIdAddress + i, 0);
    const uint32_t config = d.Is12Bit() ? Config12BitWord : 0x2007u;
    const uint16_t keep = d.CalibAddress2 == 0x2007 ? d.CalibMask2 : 0;
    chip.Poke(config, chip.Peek(config) & keep);
    if (d.ConfigAddress2) chip.Poke(d.ConfigAddress2, 0);
    for (uint32_t i = 0; i < d.EEDataSize; ++i) chip.SetEeprom(i, 0);
}

// The erase as the erase operation runs it: calibration read, erase
// sequence, calibration written back where the part loses it.
void Erase(Link &link, const TDeviceSpec &d, bool calibChange, uint16_t cal1 = 0, uint16_t cal2 = 0)
{
    uint16_t w1 = 0, w2 = 0;
    if (d.CalibAddress1) ReadConfigWords(link, d, w1, w2);
    EnterProgramMode(link, d.EntryMode);
    EraseSequence(link, d, calibChange);
    ExitProgramMode(link, d.EntryMode);
    if (calibChange) {
        w1 = cal1;
        w2 = cal2;
    }
    if (d.CalibAddress1 && (d.CalibAddress1 != 0x2008 || calibChange)) WriteConfigWords(link, d, w1, w2);
}

// Program memory, EEPROM, IDs and configuration as the program operation
// sends them; form 0 writes LatchCount words per cycle, 0x08/0x15 rows of 8.
void Program(Link &link, const TDeviceSpec &d, int form)
{
    const uint16_t blank = d.BlankWord;
    const uint32_t n = d.ProgramSize - ((d.CalibAddress1 && d.CalibAddress1 < 0x1000) ? 1 : 0);
    EnterProgramMode(link, d.EntryMode);
    if (d.Is12Bit()) IncAddress(link);
    const uint32_t group = form ? 8 : d.LatchCount;
    uint32_t address = 0;
    for (uint32_t base = 0; base < n; base += group) {
        std::array<uint16_t, 8> words;
        words.fill(blank);
        bool dirty = false;
        for (uint32_t j = 0; j < group && base + j < n; ++j)
            if (Written(d, base + j)) {
                words[j] = Pattern(base + j, blank);
                dirty = true;
            }
        if (!dirty) continue;
        IncAddressBy(link, static_cast<int>(base - address));
        if (form) {
            WriteRow(link, form, d.ProgramAlgorithm, d.ProgramWait, d.LatchCount, words);
            address = base + 8;
        } else {
            LoadProgramWord(link, words[0]);
            for (uint32_t j = 1; j < group; ++j) {
                IncAddress(link);
                LoadProgramWord(link, words[j]);
            }
            ProgrammingCycle(link, d.ProgramAlgorithm, d.ProgramWait);
            address = base + group - 1;
        }
    }
    ExitProgramMode(link, d.EntryMode);

    if (d.EEDataSize) {
        EnterProgramMode(link, d.EntryMode);
        for (uint32_t i = 0; i < d.EEDataSize; ++i) {
            LoadDataWord(link, static_cast<uint16_t>((i * 7 + 1) & 0xFF));
            ProgrammingCycle(link, d.ProgramAlgorithm, d.EEDataWait);
            IncAddress(link);
        }
        ExitProgramMode(link, d.EntryMode);
    }

    EnterProgramMode(link, d.EntryMode);
    if (d.Is12Bit()) {
        LoadProgramWord(link, ConfigValue(d));
        ProgrammingCycle(link, 2, d.ProgramWait);
        IncAddressBy(link, d.UserIdAddress);
        LoadProgramWord(link, 0x0FFF);
        IncAddress(link);
        for (int i = 0; i < 4; ++i) {
            LoadProgramWord(link, static_cast<uint16_t>(0x5 + i));
            ProgrammingCycle(link, 2, d.ProgramWait);
            IncAddress(link);
        }
    } else {
        LoadConfig(link, 0x3FFF);
        for (int i = 0; i < 4; ++i) {
            LoadProgramWord(link, static_cast<uint16_t>(0x5 + i));
            ProgrammingCycle(link, d.ProgramAlgorithm, d.ProgramWait);
            IncAddress(link);
        }
        IncAddressBy(link, 3);
        const uint16_t chip = ReadProgramWord(link);
        LoadProgramWord(link, static_cast<uint16_t>(ConfigValue(d) | (chip & ~d.ConfigMask1 & 0x3FFF)));
        ProgrammingCycle(link, d.ConfigAlgorithm, d.ConfigWait);
        if (d.ConfigAddress2 == 0x2008) {
            IncAddress(link);
            LoadProgramWord(link, d.ConfigMask2 & 0x1E5F);
            ProgrammingCycle(link, d.ConfigAlgorithm, d.ConfigWait);
        }
    }
    ExitProgramMode(link, d.EntryMode);
}

std::vector<uint16_t> ReadAll(Link &link, const TDeviceSpec &d)
{
    std::vector<uint16_t> image(WordImageSize, 0xABCD);
    EXPECT_EQ(ReadDeviceMemories(link, d, std::span<uint16_t, WordImageSize>(image.data(), WordImageSize), nullptr),
              0);
    return image;
}

struct Row16 {
    int index;
    int form;
};

std::string RowName(const testing::TestParamInfo<Row16> &info)
{
    return std::string(DeviceTable[info.param.index].Name) + (info.param.form ? "_row" : "_generic") +
           (info.param.form == 0x08 ? "08" : info.param.form == 0x15 ? "15" : "");
}

std::vector<Row16> AllRows16()
{
    std::vector<Row16> rows;
    for (int i = 1; i < DeviceTableSize; ++i) {
        rows.push_back({i, 0});
        rows.push_back({i, i % 2 ? 0x15 : 0x08});
    }
    return rows;
}

class EveryRow16 : public testing::TestWithParam<Row16> {};

} // namespace

TEST_P(EveryRow16, EraseKeepsCalibrationThenWhatWasWrittenReadsBack)
{
    const TDeviceSpec &d = DeviceTable[GetParam().index];
    SimRig rig(SimOptions{.chip = d.Name});
    const std::vector<uint16_t> factory = rig.sim.Chip().Calibration();
    Dirty(rig.sim, d);

    Erase(rig.link, d, false);
    std::vector<uint16_t> image = ReadAll(rig.link, d);
    for (uint32_t k = 0; k < d.ProgramSize; ++k)
        if (k != d.CalibAddress1) {
            ASSERT_EQ(image[k], d.BlankWord) << "erase left word " << Hex(k, 4);
        }
    const uint16_t config = image[d.Is12Bit() ? Config12BitWord : 0x2007];
    EXPECT_EQ(config & d.ConfigMask1, d.ConfigMask1);
    for (uint32_t i = 0; i < d.EEDataSize; ++i) ASSERT_EQ(image[0x2100 + i], 0xFF) << i;
    EXPECT_EQ(rig.sim.Chip().Calibration(), factory);

    Program(rig.link, d, GetParam().form);
    image = ReadAll(rig.link, d);
    const uint32_t n = d.ProgramSize - ((d.CalibAddress1 && d.CalibAddress1 < 0x1000) ? 1 : 0);
    for (uint32_t k = 0; k < n; ++k)
        ASSERT_EQ(image[k], Written(d, k) ? Pattern(k, d.BlankWord) : d.BlankWord) << "word " << Hex(k, 4);
    for (uint32_t i = 0; i < d.EEDataSize; ++i) ASSERT_EQ(image[0x2100 + i], (i * 7 + 1) & 0xFF) << i;
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(image[d.UserIdAddress + i] & 0xF, 0x5 + i);
    const uint16_t programmed = image[d.Is12Bit() ? Config12BitWord : 0x2007];
    EXPECT_EQ(programmed & d.ConfigMask1, ConfigValue(d));
    if (d.ConfigAddress2) {
        EXPECT_EQ(image[0x2008] & d.ConfigMask2, d.ConfigMask2 & 0x1E5F);
    }
    EXPECT_EQ(rig.sim.Chip().Calibration(), factory);
    if (d.DeviceId) {
        EXPECT_EQ(image[0x2006], d.DeviceId | 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, EveryRow16, testing::ValuesIn(AllRows16()), RowName);

TEST(Calibration, ConfigSpaceWordsSurviveUnlessTheVariantMovesPastThem)
{
    for (const char *name : {"PIC16F684", "PIC12F635", "PIC12F609"}) {
        const TDeviceSpec &d = DeviceTable[FindDevice(name)];
        SimRig rig(SimOptions{.chip = name, .calibration = {0x1357, 0x2468}});
        EnterProgramMode(rig.link, d.EntryMode);
        EraseSequence(rig.link, d, false);
        ExitProgramMode(rig.link, d.EntryMode);
        EXPECT_EQ(rig.sim.Chip().Peek(0x2008), 0x1357) << name;

        if (d.EraseAlgorithm != 2) continue;
        EnterProgramMode(rig.link, d.EntryMode);
        EraseSequence(rig.link, d, true);
        ExitProgramMode(rig.link, d.EntryMode);
        EXPECT_EQ(rig.sim.Chip().Peek(0x2008), 0x3FFF) << name;
        if (d.CalibAddress2) {
            EXPECT_EQ(rig.sim.Chip().Peek(0x2009), 0x3FFF) << name;
        }
        WriteConfigWords(rig.link, d, 0x2A51, 0x0F0F);
        EXPECT_EQ(rig.sim.Chip().Peek(0x2008), 0x2A51) << name;
        if (d.CalibAddress2) {
            EXPECT_EQ(rig.sim.Chip().Peek(0x2009), 0x0F0F) << name;
        }
    }
}

TEST(Calibration, ProgramMemoryAndBandGapCalibrationIsErasedAndMustBeWrittenBack)
{
    const TDeviceSpec &d = DeviceTable[FindDevice("PIC12F675")];
    SimRig rig(SimOptions{.chip = "PIC12F675", .calibration = {0x3480, 0x1000}});
    uint16_t w1 = 0, w2 = 0;
    ReadConfigWords(rig.link, d, w1, w2);
    EXPECT_EQ(w1, 0x3480);
    EXPECT_EQ(w2, 0x1000);
    EnterProgramMode(rig.link, d.EntryMode);
    EraseSequence(rig.link, d, false);
    ExitProgramMode(rig.link, d.EntryMode);
    EXPECT_EQ(rig.sim.Chip().Peek(0x03FF), 0x3FFF);
    EXPECT_EQ(rig.sim.Chip().Peek(0x2007), 0x3FFF);
    WriteConfigWords(rig.link, d, w1, w2);
    EXPECT_EQ(rig.sim.Chip().Peek(0x03FF), 0x3480);
    EXPECT_EQ(rig.sim.Chip().Peek(0x2007), 0x1FFF);

    // The 12-bit parts lose both the calibration instruction and its backup.
    const TDeviceSpec &t = DeviceTable[FindDevice("PIC10F200")];
    SimRig small(SimOptions{.chip = "PIC10F200", .calibration = {0x0C1A, 0x0C1A}});
    EnterProgramMode(small.link, 0);
    EraseSequence(small.link, t, false);
    ExitProgramMode(small.link, 0);
    EXPECT_EQ(small.sim.Chip().Peek(0x00FF), 0x0FFF);
    EXPECT_EQ(small.sim.Chip().Peek(0x0104), 0x0FFF);
    WriteConfigWords(small.link, t, 0x0C1A, 0x0C1A);
    EXPECT_EQ(small.sim.Chip().Calibration(), (std::vector<uint16_t>{0x0C1A, 0x0C1A}));
}

TEST(Calibration, FactoryValuesDifferBetweenParts)
{
    SimBackend a(SimOptions{.chip = "PIC10F200"}), b(SimOptions{.chip = "PIC12F509"});
    EXPECT_NE(a.Chip().Calibration(), b.Chip().Calibration());
    EXPECT_EQ(a.Chip().Calibration()[0] & 0xFF00, 0x0C00); // MOVLW
}

TEST(DeviceId, RevisionBitsAreReadBack)
{
    SimRig pic16(SimOptions{.chip = "pic16f628a", .revision = 6});
    EXPECT_EQ(ReadDeviceId(pic16.link, DeviceTable[FindDevice("PIC16F628A")]), 0x1066);

    SimRig pic18(SimOptions{.chip = "PIC18F4550", .revision = 0x0A});
    EXPECT_EQ(ReadDeviceId18(pic18.link), 0x120A);
    SimRig pic452(SimOptions{.chip = "PIC18F242", .revision = 1});
    EXPECT_EQ(ReadDeviceId18(pic452.link), 0x0481);
}

TEST(DeviceId, EmptySocketReadsZero)
{
    SimRig rig(SimOptions{.chip = "none"});
    EXPECT_EQ(ReadDeviceId(rig.link, DeviceTable[FindDevice("PIC16F877A")]), 0);
    EXPECT_EQ(ReadDeviceId18(rig.link), 0);
}

// ---- PIC18 ----

namespace {

class EveryRow18 : public testing::TestWithParam<int> {};

uint8_t Pattern18(uint32_t i)
{
    return static_cast<uint8_t>(i * 13 + 7);
}

} // namespace

TEST_P(EveryRow18, BulkEraseThenBlocksIdsConfigurationAndEepromReadBack)
{
    const TDeviceSpec18 &d = DeviceTable18[GetParam()];
    SimRig rig(SimOptions{.chip = d.Name});
    for (uint32_t i = 0; i < d.ProgramSize; i += 3) rig.sim.Chip().Poke(i, 0x00);
    rig.sim.Chip().Poke(0x200000, 0x00);

    EnterProgramMode(rig.link, 0);
    BulkErase18(rig.link, d.EraseKind == 0 ? 0x0080 : 0x3F8F, d.EraseWait);
    ExitProgramMode(rig.link, 0);

    // Two blocks at the start, one at the end.
    const uint32_t wbs = d.WriteBufferSize;
    std::vector<uint8_t> program(d.ProgramSize, 0xFF);
    for (uint32_t i = 0; i < 2 * wbs; ++i) program[i] = Pattern18(i);
    for (uint32_t i = d.ProgramSize - wbs; i < d.ProgramSize; ++i) program[i] = Pattern18(i);
    std::array<uint8_t, 16> ids;
    for (int i = 0; i < 16; ++i) ids[i] = static_cast<uint8_t>(0x30 + i);
    std::array<uint8_t, 14> config;
    for (int i = 0; i < 14; ++i) config[i] = static_cast<uint8_t>(0xA5 ^ (i * 0x11));

    EnterProgramMode(rig.link, 0);
    SelectFlashAccess(rig.link);
    for (uint32_t b = 0; b < d.ProgramSize / wbs; ++b) {
        if (b >= 2 && b != d.ProgramSize / wbs - 1) continue;
        SetTablePointer(rig.link, b * wbs);
        EXPECT_EQ(WritePic18Block(rig.link, std::span<const uint8_t>(program).subspan(b * wbs, wbs), d.ProgramWait),
                  0);
    }
    SetTablePointer(rig.link, 0x200000);
    WritePic18Block(rig.link, std::span<const uint8_t>(ids).first(8), d.IdWait);
    SetTablePointer(rig.link, 0x200008);
    WritePic18Block(rig.link, std::span<const uint8_t>(ids).last(8), d.IdWait);
    WritePic18Config(rig.link, config, d.ConfigWait);
    for (uint32_t i = 0; i < d.EEDataSize; ++i) {
        if (i % 256 == 0) SetEepromAddress(rig.link, static_cast<uint16_t>(i));
        EXPECT_EQ(WriteEepromByte(rig.link, static_cast<uint8_t>(i ^ 0x5A)), 0);
    }
    ExitProgramMode(rig.link, 0);

    MemoryBuffer image;
    image.Clear(d);
    EXPECT_EQ(ReadDeviceMemories18(rig.link, d, image, nullptr), 0);
    EXPECT_EQ(image.Program18, program);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(image.Id18[i], ids[i]);
    for (int i = 0; i < 14; ++i) EXPECT_EQ(image.Config18[i], config[i] & d.ConfigMask[i]) << i;
    for (uint32_t i = 0; i < d.EEDataSize; ++i) ASSERT_EQ(image.EEData18[i], i ^ 0x5A);
    EXPECT_EQ(ReadDeviceId18(rig.link) & 0xFFE0, d.DeviceId);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, EveryRow18, testing::Range(1, DeviceTable18Size),
                         [](const testing::TestParamInfo<int> &info) {
                             return std::string(DeviceTable18[info.param].Name);
                         });

TEST(Pic18, BulkEraseNeedsThePartsOwnKeyAndRestoresConfigurationDefaults)
{
    const TDeviceSpec18 &d = DeviceTable18[FindDevice("PIC18F452")];
    SimRig rig(SimOptions{.chip = "PIC18F452"});
    rig.sim.Chip().Poke(0x10, 0x00);
    rig.sim.Chip().Poke(0x300001, 0x00);
    EnterProgramMode(rig.link, 0);
    BulkErase18(rig.link, 0x3F8F, d.EraseWait); // the newer parts' key
    EXPECT_EQ(rig.sim.Chip().Peek(0x10), 0x00);
    BulkErase18(rig.link, 0x0080, d.EraseWait);
    ExitProgramMode(rig.link, 0);
    EXPECT_EQ(rig.sim.Chip().Peek(0x10), 0xFF);
    EXPECT_EQ(rig.sim.Chip().Peek(0x300001), d.ConfigDefault[1]);
}

TEST(Pic18, FlashProgrammingOnlyClearsBitsAndNeedsFlashAccess)
{
    SimRig rig(SimOptions{.chip = "PIC18F242"});
    const std::array<uint8_t, 8> first{0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0};
    const std::array<uint8_t, 8> second{0x0F, 0x3F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EnterProgramMode(rig.link, 0);
    // Without EEPGD set the start-programming write does not take.
    SetTablePointer(rig.link, 0);
    WritePic18Block(rig.link, first, 10);
    EXPECT_EQ(rig.sim.Chip().Peek(0), 0xFF);
    SelectFlashAccess(rig.link);
    SetTablePointer(rig.link, 0);
    WritePic18Block(rig.link, first, 10);
    SetTablePointer(rig.link, 0);
    WritePic18Block(rig.link, second, 10);
    ExitProgramMode(rig.link, 0);
    EXPECT_EQ(rig.sim.Chip().Peek(0), 0x00);
    EXPECT_EQ(rig.sim.Chip().Peek(1), 0x30);
    EXPECT_EQ(rig.sim.Chip().Peek(2), 0xF0);
}

// ---- firmware variants and faults seen from the host ----

namespace {

int DetectWith(SimOptions options)
{
    SimRig rig(std::move(options));
    return DetectRowWriteForm(rig.link);
}

int Pic18With(SimOptions options)
{
    SimRig rig(std::move(options));
    return CheckPic18Support(rig.link);
}

std::string VersionWith(SimOptions options)
{
    SimRig rig(std::move(options));
    return GetVersion(rig.link);
}

} // namespace

TEST(Variants, RowWriteFormDetection)
{
    EXPECT_EQ(DetectWith({}), 0x08);
    EXPECT_EQ(DetectWith(SimOptions{.firmware = RowWriteForms::Row08}), 0x08);
    EXPECT_EQ(DetectWith(SimOptions{.firmware = RowWriteForms::Row15}), 0x15);
    SimRig none(SimOptions{.firmware = RowWriteForms::None});
    EXPECT_EQ(DetectRowWriteForm(none.link), 0);
    EXPECT_TRUE(none.ui.messages.empty());
}

TEST(Variants, Pic18SupportVersionTextAndSilence)
{
    EXPECT_EQ(Pic18With({}), 10);
    EXPECT_EQ(Pic18With(SimOptions{.pic18 = false}), 0);

    EXPECT_EQ(VersionWith({}), DefaultVersionText);
    EXPECT_EQ(VersionWith(SimOptions{.versionText = "Vexa-2 board"}), "Vexa-2 board");
    SimRig silent(SimOptions{.silent = true});
    EXPECT_EQ(GetVersion(silent.link), "");
    EXPECT_EQ(DetectRowWriteForm(silent.link), 0);
    EXPECT_EQ(CheckPic18Support(silent.link), 0);
}

TEST(Faults, BadChecksumAndBadEchoReachTheCommandStatus)
{
    const TDeviceSpec &d = DeviceTable[FindDevice("PIC16F877A")];
    std::array<uint16_t, 8> words{1, 2, 3, 4, 5, 6, 7, 8};
    SimRig sum(SimOptions{.faults = {{FaultKind::BadSum, 20}}});
    EnterProgramMode(sum.link, 0);
    EXPECT_EQ(WriteRow(sum.link, 0x15, d.ProgramAlgorithm, d.ProgramWait, d.LatchCount, words), 2);

    SimRig echo(SimOptions{.faults = {{FaultKind::BadEcho, 1}}});
    EXPECT_EQ(SendIcsp(echo.link, 6), 1);
    SimRig drop(SimOptions{.faults = {{FaultKind::Drop, 2}}});
    EXPECT_EQ(SendIcsp(drop.link, 6), 1);
}

TEST(Faults, HangupEndsAWholeDeviceReadWithMissingWordsAtOnce)
{
    const TDeviceSpec &d = DeviceTable[FindDevice("PIC16F877A")];
    // The board answers the entry and the stream command's code, then goes.
    SimRig rig(SimOptions{.faults = {{FaultKind::HangupAfter, 3}}});
    std::vector<uint16_t> image(WordImageSize, 0);
    const int missing =
        ReadDeviceMemories(rig.link, d, std::span<uint16_t, WordImageSize>(image.data(), WordImageSize), nullptr);
    EXPECT_GT(missing, 8000);
    EXPECT_LT(rig.sim.NowMs(), 1000.0);
}

TEST(Trace, RecordsBothDirectionsInOrderOfTime)
{
    SimRig rig;
    rig.sim.ClearTrace();
    LoadProgramWord(rig.link, 0x1234);
    EXPECT_EQ(rig.sim.HostBytes(), (std::vector<uint8_t>{0x04, 0x02, 0x34, 0x12}));
    EXPECT_EQ(rig.sim.DeviceBytes(), (std::vector<uint8_t>{0x04, 0x02, 0x34, 0x12}));
    const auto &trace = rig.sim.Trace();
    ASSERT_EQ(trace.size(), 8u);
    for (size_t i = 0; i < trace.size(); ++i) EXPECT_EQ(trace[i].fromHost, i % 2 == 0);
}

TEST(Hex, InitialContentsComeFromAnIntelHexFile)
{
    const std::string path = testing::TempDir() + "sim_initial.hex";
    {
        FILE *f = std::fopen(path.c_str(), "w");
        // Words 0 and 1, configuration word 0x2007, EEPROM byte 0.
        std::fputs(":0400000034120F00A7\n"
                   ":02400E00723FFF\n"
                   ":02420000AB0011\n"
                   ":00000001FF\n",
                   f);
        std::fclose(f);
    }
    SimBackend sim(SimOptions{.hexFile = path});
    EXPECT_EQ(sim.Chip().Peek(0), 0x1234);
    EXPECT_EQ(sim.Chip().Peek(1), 0x000F);
    EXPECT_EQ(sim.Chip().Peek(0x2007), 0x3F72);
    EXPECT_EQ(sim.Chip().Eeprom(0), 0xAB);
    std::string error;
    EXPECT_FALSE(sim.LoadHex(path + ".missing", &error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    EXPECT_THROW(SimBackend(SimOptions{.chip = "PIC99X"}), std::invalid_argument);
}
