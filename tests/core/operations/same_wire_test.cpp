// The operations send their commands through checked paths of their own;
// with a programmer that answers, the bytes on the wire are exactly those of
// the plain transfers.
#include <gtest/gtest.h>

#include "WireOracle.h"
#include "operations/detail.h"
#include "ops_rig.h"

namespace {

TEST(SameWire, WholeChipReads)
{
    for (const char *name : {"PIC16F877A", "PIC10F200", "PIC12F629", "PIC18F2550", "PIC18F2450"}) {
        for (bool small : {false, true}) {
            Rig plain(name), checked(name);
            plain.ctx.options.smallBlock = checked.ctx.options.smallBlock = small;
            Link link{plain.port, plain.cmd, plain.ui, 0, small};
            if (plain.ctx.device.Pic18) {
                EXPECT_EQ(CheckPic18Support(link), 10); // the gate comes first
                EXPECT_EQ(ReadDeviceMemories18(link, plain.Row18(), plain.buffer, nullptr), 0);
            } else {
                EXPECT_EQ(ReadDeviceMemories(link, plain.Row(), plain.buffer.Words, nullptr), 0);
            }
            ASSERT_TRUE(ReadDevice(checked.ctx, nullptr)) << name;
            EXPECT_EQ(plain.sim.HostBytes(), checked.sim.HostBytes()) << name << (small ? " small" : "");
        }
    }
}

TEST(SameWire, EraseSequencesOfEveryAlgorithm)
{
    for (const char *name :
         {"PIC10F200", "PIC12F675", "PIC16F684", "PIC16F84A", "PIC16F628A", "PIC16F88", "PIC16F73"}) {
        for (bool calibChange : {false, true}) {
            Rig plain(name), checked(name);
            Link link{plain.port, plain.cmd, plain.ui};
            EraseSequence(link, plain.Row(), calibChange);
            Wire wire(checked.ctx);
            wire.EraseSequence(checked.Row(), calibChange);
            EXPECT_FALSE(wire.Failed());
            EXPECT_EQ(plain.sim.HostBytes(), checked.sim.HostBytes()) << name;
        }
    }
}

TEST(SameWire, BlockWrites)
{
    const std::array<uint16_t, 8> words = {0x3FFF, 0x1234, 0x0001, 0x2800, 0x3FFF, 0x0ABC, 0x3FFF, 0x3FFF};
    std::array<uint8_t, 32> bytes{};
    std::array<uint8_t, 14> config{};
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7);
    for (size_t i = 0; i < config.size(); ++i)
        config[i] = static_cast<uint8_t>(0xF0 - i);
    for (int form : {RowWriteCode15, RowWriteCode08}) {
        for (int latch : {1, 2, 4, 8}) {
            Rig plain("PIC16F877A"), checked("PIC16F877A");
            Link link{plain.port, plain.cmd, plain.ui};
            EXPECT_EQ(WriteRow(link, form, 3, 10, latch, words), StatusOk);
            Wire wire(checked.ctx);
            wire.Row(form, 3, 10, latch, words);
            EXPECT_FALSE(wire.Failed());
            EXPECT_EQ(plain.sim.HostBytes(), checked.sim.HostBytes()) << form << " " << latch;
        }
    }
    Rig plain("PIC18F4550"), checked("PIC18F4550");
    Link link{plain.port, plain.cmd, plain.ui};
    Wire wire(checked.ctx);
    SelectFlashAccess(link);
    WritePic18Block(link, bytes, 10);
    WritePic18Config(link, config, 50);
    BulkErase18(link, 0x3F8F, 100);
    wire.FlashAccess18();
    wire.Block18(bytes, 10);
    wire.Config18(config, 50);
    wire.BulkErase18(0x3F8F, 100);
    EXPECT_FALSE(wire.Failed());
    EXPECT_EQ(plain.sim.HostBytes(), checked.sim.HostBytes());
}

} // namespace
