// Every catalogue row through every kind of board the protocol allows, on
// the in-process simulator's virtual clock: a version reply padded after its
// zero byte, replies in USB packets, late replies at random and now and then
// a slow one, an adapter that holds bytes back without telling the host,
// another version text, firmware without the row writes or the PIC18
// commands. The check, erase, blank check, program, verify and read back
// must all come through on each.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "catalogue_fill.h"
#include "operations/operations.h"
#include "sim_rig.h"

namespace {

struct Variant {
    const char *name;
    SimOptions options;
};

std::vector<Variant> Variants()
{
    SimLine usb16;
    ParseSimLine("usb=16", usb16);
    return {
        {"PaddedWithNul", {.versionPad = 0x00}},
        {"PaddedWithSpaces", {.versionPad = 0x20}},
        {"PaddedWithAnyBytes", {.versionPad = 0xA5}},
        {"Packets", {.chunkMax = 64, .seed = 7}},
        {"BytePackets", {.chunkMax = 2, .seed = 3}},
        {"Jitter", {.jitterMs = 12, .slowReplyEvery = 400, .seed = 11}},
        {"UnreportedUsb16", {.line = usb16, .reportsLatency = false}},
        {"OtherVersionText", {.versionText = "Vexa Ver.2.07 rev B"}},
        {"NoRowWrite", {.firmware = RowWriteForms::None}},
        {"Row08Only", {.firmware = RowWriteForms::Row08}},
        {"NoPic18", {.pic18 = false}},
    };
}

void PrintTo(const Variant &v, std::ostream *os)
{
    *os << v.name;
}

// One row through one board.
void RoundTrip(const Variant &variant, const Row &row)
{
    SimOptions options = variant.options;
    options.chip = NameOf(row);
    SimRig rig(options);
    MemoryBuffer buffer;
    OperationContext ctx{rig.port, rig.cmd, buffer, rig.ui, {row.pic18, row.index}, {.verifyUserId = true}};

    if (row.pic18 && !options.pic18) {
        // The PIC18 DEVICE-ID cannot be read, and every operation is
        // refused before it sends anything of its own.
        EXPECT_FALSE(CheckConnection(ctx));
        EXPECT_EQ(EraseDevice(ctx).refusal, Refusal::Pic18Unsupported);
        return;
    }
    ASSERT_TRUE(CheckConnection(ctx)) << rig.ui.status;
    EXPECT_TRUE(EraseDevice(ctx)) << rig.ui.status;
    EXPECT_TRUE(BlankCheckDevice(ctx, nullptr)) << rig.ui.status;
    if (row.pic18)
        Fill(buffer, DeviceTable18[row.index]);
    else
        Fill(buffer, DeviceTable[row.index]);
    const MemoryBuffer written = buffer;
    EXPECT_TRUE(ProgramDevice(ctx, nullptr)) << rig.ui.status;
    EXPECT_TRUE(VerifyDevice(ctx, nullptr)) << rig.ui.status;
    ASSERT_TRUE(ReadDevice(ctx, nullptr)) << rig.ui.status;
    EXPECT_TRUE(SameChipImage(buffer, written, row.pic18, row.index));
    // Still in step: a second check after all that.
    EXPECT_TRUE(CheckConnection(ctx)) << rig.ui.status;
}

class BoardVariants : public testing::TestWithParam<Variant> {};

} // namespace

TEST_P(BoardVariants, EveryRowChecksErasesProgramsVerifiesAndReadsBack)
{
    for (const Row &row : AllRows()) {
        SCOPED_TRACE(NameOf(row));
        RoundTrip(GetParam(), row);
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, BoardVariants, testing::ValuesIn(Variants()),
                         [](const testing::TestParamInfo<Variant> &info) { return std::string(info.param.name); });
