// The host's transfers against the simulated chips: whatever is erased,
// written and read over the link must leave the chip as a real part would.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "WireOracle.h"
#include "sim_rig.h"
#include "support/textutil.h"

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
    const int missing = ReadDeviceMemories(
        rig.link, d, std::span<uint16_t, WordImageSize>(image.data(), WordImageSize), nullptr);
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
    for (size_t i = 0; i < trace.size(); ++i)
        EXPECT_EQ(trace[i].fromHost, i % 2 == 0);
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

// Protection by the configuration the chip holds: protected memories read as
// zeros over the link while the cells keep their contents, and a bulk erase
// takes protection and contents away together.
TEST(CodeProtection, ProtectedMemoriesReadAsZerosUntilErased)
{
    struct Row {
        const char *chip;
        uint32_t configAt;
        uint16_t config;
        bool code, data;
    };
    const Row rows[] = {
        {"PIC16F877A", 0x2007, 0x3F72, false, false}, // HS, nothing protected
        {"PIC16F877A", 0x2007, 0x1FFF, true, false},  // CP = ALL
        {"PIC16F877A", 0x2007, 0x3EFF, false, true},  // CPD = ON
        {"PIC12F675", 0x2007, 0x3E7F, true, true},    // CP = ON, CPD = ON
        {"PIC18F4550", 0x300008, 0x0E, true, false},  // CP0 = ON
        {"PIC18F4550", 0x300009, 0x40, false, true},  // CPD = ON
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string(r.chip) + " " + Hex(r.config, 4));
        SimRig rig(SimOptions{.chip = r.chip, .codeProtection = true});
        SimChip &chip = rig.sim.Chip();
        chip.Poke(0, 0x12);
        chip.SetEeprom(0, 0x5A);
        chip.Poke(r.configAt, r.config);
        auto read = [&](uint16_t &program, uint16_t &eeprom, uint16_t &config) {
            MemoryBuffer b;
            if (chip.Family() == ChipFamily::Pic18) {
                const TDeviceSpec18 &d = DeviceTable18[FindDevice(r.chip)];
                b.Clear(d);
                ASSERT_EQ(ReadDeviceMemories18(rig.link, d, b, nullptr), 0);
                program = b.Program18[0], eeprom = b.EEData18[0], config = b.Config18[r.configAt - 0x300000];
            } else {
                const TDeviceSpec &d = DeviceTable[FindDevice(r.chip)];
                ASSERT_EQ(ReadDeviceMemories(rig.link, d, b.Words, nullptr), 0);
                program = b.Words[0], eeprom = b.Words[EEDataAreaStart], config = b.Words[r.configAt];
                // A factory calibration word in program memory stays readable,
                // so that an erase can keep it.
                if (d.CalibAddress1 && d.CalibAddress1 < 0x1000) {
                    EXPECT_EQ(b.Words[d.CalibAddress1], chip.Peek(d.CalibAddress1));
                }
            }
        };
        uint16_t program = 0, eeprom = 0, config = 0;
        read(program, eeprom, config);
        EXPECT_EQ(program, r.code ? 0 : 0x12);
        EXPECT_EQ(eeprom, r.data ? 0 : 0x5A);
        EXPECT_EQ(config, r.config); // the configuration stays readable
        EXPECT_EQ(chip.Peek(0), 0x12);
        EXPECT_EQ(chip.Eeprom(0), 0x5A);

        if (chip.Family() == ChipFamily::Pic18) {
            EnterProgramMode(rig.link, 0);
            BulkErase18(rig.link, 0x3F8F, DeviceTable18[FindDevice(r.chip)].EraseWait);
            ExitProgramMode(rig.link, 0);
        } else {
            const TDeviceSpec &d = DeviceTable[FindDevice(r.chip)];
            EnterProgramMode(rig.link, d.EntryMode);
            EraseSequence(rig.link, d, false);
            ExitProgramMode(rig.link, d.EntryMode);
        }
        EXPECT_FALSE(chip.Protection().Any());
        chip.Poke(0, 0x12);
        chip.SetEeprom(0, 0x5A);
        read(program, eeprom, config);
        EXPECT_EQ(program, 0x12);
        EXPECT_EQ(eeprom, 0x5A);
    }
}
