// What program sends: skipped blank groups, the row-write and word-by-word
// paths, the configuration words, and the PIC18 blocks and EEPROM bytes.
#include <gtest/gtest.h>

#include "operations/chain.h"
#include "ops_rig.h"

namespace {

SimOptions WithFirmware(const std::string &chip, RowWriteForms forms)
{
    SimOptions o = Rig::Options(chip);
    o.firmware = forms;
    return o;
}

uint16_t Count(const HostCommand &c)
{
    return c.Word(1);
}

bool IsRowWrite(const HostCommand &c)
{
    return (c.code == 0x08 || c.code == 0x15) && c.args.size() == 13;
}

TEST(ProgramPaths, RowWriteAndWordByWordForEveryLatchCount)
{
    struct Case {
        const char *chip;
        int latch;
        uint8_t first, second; // word-count bytes of the two row-write blocks
    };
    for (const Case &c : {Case{"PIC16F84A", 1, 0, 0}, Case{"PIC16F73", 2, 1, 1}, Case{"PIC16F88", 4, 3, 3},
                          Case{"PIC16F877A", 8, 7, 3}}) {
        for (RowWriteForms forms : {RowWriteForms::None, RowWriteForms::Row15, RowWriteForms::Row08}) {
            Rig rig(WithFirmware(c.chip, forms));
            ASSERT_EQ(rig.Row().LatchCount, c.latch);
            std::mt19937 rng(11);
            FillRandom(rig.buffer, rig.Row(), rng);
            ASSERT_TRUE(ProgramDevice(rig.ctx, nullptr)) << c.chip;
            const auto program = Entries(Decode(rig.sim.HostBytes(), forms)).at(0);
            int rows = 0, loads = 0;
            for (size_t i = 0; i < program.size(); ++i) {
                if (IsRowWrite(program[i])) {
                    ++rows;
                    EXPECT_EQ(program[i].args[4], rows % 2 ? c.first : c.second) << c.chip;
                    EXPECT_EQ(program[i].code, forms == RowWriteForms::Row08 ? 0x08 : 0x15);
                }
                if (program[i].code == 0x04) ++loads;
            }
            if (forms == RowWriteForms::None) {
                EXPECT_EQ(rows, 0) << c.chip;
                EXPECT_GT(loads, 0) << c.chip;
            } else {
                EXPECT_EQ(loads, 0) << c.chip;
                EXPECT_EQ(rows % 2, 0) << c.chip;
            }
            EXPECT_TRUE(VerifyDevice(rig.ctx, nullptr)) << c.chip << " " << static_cast<int>(forms);
        }
    }
}

TEST(ProgramPaths, BlankGroupsAreSkippedWithOneRepeatedIncrement)
{
    Rig rig(WithFirmware("PIC16F877A", RowWriteForms::Row15));
    for (uint32_t k : {0u, 7u, 16u, 23u, 0x1000u})
        rig.buffer.Words[k] = static_cast<uint16_t>(k);
    ASSERT_TRUE(ProgramDevice(rig.ctx, nullptr));
    const auto program = Entries(Decode(rig.sim.HostBytes(), RowWriteForms::Row15)).at(0);
    ASSERT_EQ(Codes(program), (std::vector<uint8_t>{0x15, 0x15, 0x06, 0x15, 0x15, 0x06, 0x06, 0x15, 0x15}));
    EXPECT_EQ(Count(program[2]), 8);
    // From word 24 to 0x1000: one command per 2048 increments.
    EXPECT_EQ(Count(program[5]), 2048);
    EXPECT_EQ(Count(program[6]), 0x1000 - 24 - 2048);
    for (uint32_t k : {0u, 7u, 16u, 23u, 0x1000u})
        EXPECT_EQ(rig.sim.Chip().Program(k), k);
}

TEST(ProgramPaths, WordByWordAdvancesOverSkippedWords)
{
    // PIC16F84A writes one word per cycle (begin programming 24).
    Rig rig(WithFirmware("PIC16F84A", RowWriteForms::None));
    for (uint32_t k : {5u, 6u, 9u})
        rig.buffer.Words[k] = static_cast<uint16_t>(0x100 + k);
    ASSERT_TRUE(ProgramDevice(rig.ctx, nullptr));
    const auto program = Entries(Decode(rig.sim.HostBytes(), RowWriteForms::None)).at(0);
    ASSERT_EQ(Codes(program), (std::vector<uint8_t>{0x06, 0x04, 0x03, 0x01, 0x04, 0x03, 0x06, 0x04, 0x03}));
    EXPECT_EQ(Count(program[0]), 5);
    EXPECT_EQ(Count(program[6]), 3);
    EXPECT_EQ(program[2].args[0], 24);
    for (uint32_t k : {5u, 6u, 9u})
        EXPECT_EQ(rig.sim.Chip().Program(k), 0x100 + k);
}

TEST(ProgramPaths, FinalShortGroupStartsOnItsFirstWord)
{
    Rig rig(WithFirmware("PIC10F200", RowWriteForms::Row08));
    const uint16_t calib = rig.sim.Chip().Program(0xFF);
    for (uint32_t k = 0xF8; k <= 0xFE; ++k)
        rig.buffer.Words[k] = static_cast<uint16_t>(0xA00 + k);
    rig.buffer.Words[0xFF] = 0x0000; // never written: the calibration instruction
    ASSERT_TRUE(ProgramDevice(rig.ctx, nullptr));
    const auto program = Entries(Decode(rig.sim.HostBytes(), RowWriteForms::Row08)).at(0);
    // One increment onto word 0, the skip to 0xF8, then the group.
    ASSERT_EQ(Codes(program), (std::vector<uint8_t>{0x01, 0x06, 0x08, 0x08}));
    EXPECT_EQ(Count(program[1]), 0xF8);
    EXPECT_EQ(program[3].Word(11), 0x0FFF) << "the eighth slot carries the blank word";
    for (uint32_t k = 0xF8; k <= 0xFE; ++k)
        EXPECT_EQ(rig.sim.Chip().Program(k), 0xA00 + k);
    EXPECT_EQ(rig.sim.Chip().Program(0xFF), calib);
}

TEST(ProgramPaths, FinalShortGroupNeverPadsOverTheCalibrationWordOfA14BitCore)
{
    // PIC12F629-like parts keep OSCCAL in their last program word and erase a
    // word before programming it: a blank pad there would wipe the factory value.
    for (const char *chip : {"PIC12F629", "PIC12F675", "PIC16F630", "PIC16F676"}) {
        for (RowWriteForms forms : {RowWriteForms::Row15, RowWriteForms::Row08}) {
            Rig rig(WithFirmware(chip, forms));
            const uint16_t calib = rig.sim.Chip().Program(0x3FF);
            for (uint32_t k = 0x3F8; k <= 0x3FE; ++k)
                rig.buffer.Words[k] = static_cast<uint16_t>(0x3400 + (k & 0xFF));
            ASSERT_TRUE(ProgramDevice(rig.ctx, nullptr)) << chip;
            for (uint32_t k = 0x3F8; k <= 0x3FE; ++k)
                EXPECT_EQ(rig.sim.Chip().Program(k), 0x3400 + (k & 0xFF)) << chip;
            EXPECT_EQ(rig.sim.Chip().Program(0x3FF), calib) << chip;
        }
    }
}

TEST(ProgramConfiguration, ChipKeepsItsBitsOutsideTheMask)
{
    Rig rig(WithFirmware("PIC12F629", RowWriteForms::None));
    const uint16_t chipBits = rig.sim.Chip().Program(0x2007) & ~0x01FF & 0x3FFF;
    rig.buffer.Words[0x2007] = 0x0000;
    rig.buffer.Words[0x0000] = 0x2805;
    ASSERT_TRUE(ProgramDevice(rig.ctx, &rig.ui.main));
    EXPECT_EQ(rig.sim.Chip().Program(0x2007), chipBits) << "buffer bits 8..0, chip bits 13..9";
    EXPECT_EQ(rig.ui.main.ranges.at(0), 1022) << "the calibration word at 0x03FF is left out";
    EXPECT_EQ(rig.ui.main.position, 0);
}

TEST(ProgramConfiguration, BlankBufferWritesOnlyIdsAndConfiguration)
{
    Rig rig("PIC16F877A");
    rig.ctx.options.erasedBefore = true; // the chip is as erased
    ASSERT_TRUE(ProgramDevice(rig.ctx, nullptr));
    const auto entries = Entries(Decode(rig.sim.HostBytes()));
    // A blank EEPROM after an erase has nothing to write: no entry for it.
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_TRUE(entries[0].empty());
    const auto &config = entries[1];
    // User-IDs with the program cycle (pair 24, 23), the word with the configuration cycle.
    ASSERT_EQ(Codes(config), (std::vector<uint8_t>{0x04, 0x04, 0x05, 0x01, 0x04, 0x05, 0x01, 0x04, 0x05, 0x01,
                                                   0x04, 0x05, 0x01, 0x06, 0x02, 0x04, 0x03}));
    for (int i : {1, 4, 7, 10})
        EXPECT_EQ(config[static_cast<size_t>(i)].Word(1), 0x000F);
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(rig.sim.Chip().Program(0x2000 + i), 0x000F);
}

// Blank EEPROM bytes after an erase are passed with one repeated increment
// that lands on the next byte written.
TEST(ProgramConfiguration, BlankEepromBytesArePassedInOneCommand)
{
    Rig rig("PIC16F877A");
    rig.ctx.options.erasedBefore = true;
    rig.buffer.Words[EEDataAreaStart + 0x80] = 0x42;
    rig.buffer.Words[EEDataAreaStart + 0x81] = 0x43;
    ASSERT_TRUE(ProgramDevice(rig.ctx, nullptr));
    const auto entries = Entries(Decode(rig.sim.HostBytes()));
    ASSERT_EQ(entries.size(), 3u);
    ASSERT_EQ(Codes(entries[1]), (std::vector<uint8_t>{0x06, 0x04, 0x05, 0x01, 0x04, 0x05}));
    EXPECT_EQ(entries[1][0].Word(1), 0x80);
    EXPECT_EQ(rig.sim.Chip().Eeprom(0x80), 0x42);
    EXPECT_EQ(rig.sim.Chip().Eeprom(0x81), 0x43);
    EXPECT_EQ(rig.sim.Chip().Eeprom(0x7F), 0xFF);
}

TEST(ProgramPaths, ProtocolErrorOfTheProbeEndsWithTheWriteFailure)
{
    SimOptions o = WithFirmware("PIC16F877A", RowWriteForms::Row08);
    o.faults = {{FaultKind::BadSum, 1}};
    Rig rig(o);
    rig.buffer.Words[0] = 0;
    const OperationResult result = ProgramDevice(rig.ctx, nullptr);
    EXPECT_FALSE(result);
    EXPECT_TRUE(result.protocolError);
    EXPECT_EQ(rig.ui.boxes, std::vector<std::string>{"プロトコルエラー！"});
    // Not a progress text a chain wrote before it.
    EXPECT_EQ(rig.ui.status, " !! デバイスに書き込めませんでした。");
    EXPECT_EQ(rig.ui.Texts(),
              (std::vector<std::string>{
                  "プログラマーからの応答が途切れました。",
                  "チェックサムが一致しませんでした（ケーブルや接続の不良かもしれません）。"}));
    EXPECT_EQ(Decode(rig.sim.HostBytes(), RowWriteForms::Row08).size(), 1u) << "nothing sent after it";
}

TEST(ProgramPic18, BlankBlocksSkippedAndEepromUpToItsLastByteAfterAnErase)
{
    Rig rig("PIC18F452");
    for (size_t i = 0; i < 8; ++i)
        rig.buffer.Program18[i] = static_cast<uint8_t>(i);
    rig.buffer.EEData18[0] = 0x11;
    rig.buffer.EEData18[5] = 0x55;
    rig.ctx.options.erasedBefore = true; // the chip is as erased
    rig.ctx.surface = Surface::ProgressDialog;
    ASSERT_TRUE(ProgramDevice(rig.ctx, &rig.ui.dialog));
    EXPECT_EQ(rig.ui.dialogStatus, "デバイスに書き込みました");
    const auto commands = Decode(rig.sim.HostBytes());
    std::vector<uint32_t> pointers;
    int blocks = 0, eeBytes = 0, eeAddresses = 0;
    for (const HostCommand &c : commands) {
        if (c.code == 0x0B) pointers.push_back(c.args[0] | c.args[1] << 8 | c.args[2] << 16);
        if (c.code == 0x0D) ++blocks;
        if (c.code == 0x10) ++eeBytes;
        if (c.code == 0x0E) ++eeAddresses;
    }
    EXPECT_EQ(pointers, (std::vector<uint32_t>{0x000000, 0x200000, 0x200008, 0x300000}));
    EXPECT_EQ(blocks, 3) << "one program block, two ID halves";
    EXPECT_EQ(eeBytes, 6);
    EXPECT_EQ(eeAddresses, 1);
    EXPECT_EQ(rig.sim.Chip().Eeprom(5), 0x55);
    EXPECT_EQ(rig.sim.Chip().Eeprom(3), 0xFF);
    EXPECT_TRUE(VerifyDevice(rig.ctx, nullptr));
}

// A file giving only the first two EEPROM bytes, programmed into a chip whose
// EEPROM holds data: without an erase before it every byte is written, so
// the EEPROM ends as the file says and verifies; after the chain's erase the
// blank bytes are left out.
TEST(ProgramEeprom, BlankBytesAreWrittenUnlessTheChainErased)
{
    struct Case {
        const char *chip;
        Chain chain;
        unsigned regions;
        bool erases;
    };
    for (const Case &c : {Case{"PIC16F877A", Chain::ProgramVerify, RegionEEData, false},
                          Case{"PIC16F877A", Chain::EraseBlankCheckProgramVerify, RegionAll, true},
                          Case{"PIC18F452", Chain::ProgramVerify, RegionEEData, false},
                          Case{"PIC18F452", Chain::EraseBlankCheckProgramVerify, RegionAll, true}}) {
        Rig rig(c.chip);
        const bool pic18 = rig.ctx.device.Pic18;
        const uint32_t size = pic18 ? rig.Row18().EEDataSize : rig.Row().EEDataSize;
        for (uint32_t i = 0; i < size; ++i)
            rig.sim.Chip().SetEeprom(i, 0x5A);
        const uint8_t file[2] = {0x11, 0x22};
        for (uint32_t i = 0; i < 2; ++i) {
            if (pic18)
                rig.buffer.EEData18[i] = file[i];
            else
                rig.buffer.Words[EEDataAreaStart + i] = file[i];
        }
        rig.ctx.options.regions = c.regions;
        const std::string where = std::string(c.chip) + (c.erases ? " after an erase" : "");
        ASSERT_TRUE(RunChain(rig.ctx, c.chain, {}).Ok()) << where << ": " << rig.ui.status;
        EXPECT_FALSE(rig.ctx.options.erasedBefore) << "the chain's own choice";
        for (uint32_t i = 0; i < size; ++i)
            ASSERT_EQ(rig.sim.Chip().Eeprom(i), i < 2 ? file[i] : 0xFF) << where << " byte " << i;
        size_t writes = 0;
        for (const HostCommand &h : Decode(rig.sim.HostBytes()))
            writes += pic18 ? h.code == 0x10 : h.code == 0x04 && h.args.at(0) == 3;
        EXPECT_EQ(writes, c.erases ? 2u : size) << where;
    }
}

// After the chain's erase, blank EEPROM bytes between the written ones are
// left out only when the closing verify will prove them blank; the address
// is set again after each gap.
TEST(ProgramEeprom, Pic18BlankBytesBetweenAreLeftOutOnlyBeforeAVerify)
{
    for (const bool verify : {true, false}) {
        Rig rig("PIC18F452");
        rig.buffer.EEData18[0] = 0x11;
        rig.buffer.EEData18[1] = 0x22;
        rig.buffer.EEData18[200] = 0x55;
        ChainRun run;
        run.verify = verify;
        ASSERT_TRUE(RunChain(rig.ctx, Chain::EraseBlankCheckProgramVerify, run).Ok()) << rig.ui.status;
        std::vector<uint16_t> addresses;
        size_t writes = 0;
        for (const HostCommand &h : Decode(rig.sim.HostBytes())) {
            if (h.code == 0x0E && h.Word(0) != 0) addresses.push_back(h.Word(0)); // reads start at 0
            writes += h.code == 0x10;
        }
        EXPECT_EQ(writes, verify ? 3u : 201u) << "verify " << verify;
        EXPECT_EQ(addresses, verify ? std::vector<uint16_t>{200} : std::vector<uint16_t>{});
        EXPECT_EQ(rig.sim.Chip().Eeprom(200), 0x55);
        EXPECT_EQ(rig.sim.Chip().Eeprom(100), 0xFF);
    }
}

} // namespace
