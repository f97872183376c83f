// Every catalogue row over a real pseudo-terminal: tarnbox-sim as its own
// process, the Linux serial backend, and the device operations the window
// runs — erase, blank check, program, verify, read back — for both families.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "SimProcess.h"
#include "catalogue_fill.h"
#include "operations/operations.h"
#include "sim_rig.h"

namespace {


struct PtyOps {
    SerialPort port;
    TCommand cmd;
    QuietFrontEnd ui;
    MemoryBuffer buffer;
    // The sim rigs verify the User-IDs too.
    OperationContext ctx{port, cmd, buffer, ui, {}, {.verifyUserId = true}};
    explicit PtyOps(const std::string &path)
        : port(MakePosixSerialBackend(), [path](const std::string &) { return path; })
    {
    }
};

class PtyCatalogue : public testing::TestWithParam<Row> {};

} // namespace

TEST_P(PtyCatalogue, EraseBlankProgramVerifyReadBack)
{
    const Row row = GetParam();
    // The rows take turns with the kinds of board the protocol allows, so
    // each kind meets parts of both families over a real terminal.
    static const std::vector<std::vector<std::string>> boards = {
        {}, {"--version-pad", "00"}, {"--chunk", "64"}, {"--version-pad", "20"},
        {"--jitter", "3", "--slow-reply", "1000"}, {"--chunk", "7", "--version-pad", "A5"},
    };
    std::vector<std::string> args{"--chip", NameOf(row), "--seed", std::to_string(row.index)};
    const auto &board = boards[static_cast<size_t>(row.index) % boards.size()];
    args.insert(args.end(), board.begin(), board.end());
    SimProcess sim(args);
    ASSERT_FALSE(sim.Path().empty());
    PtyOps rig(sim.Path());
    ASSERT_EQ(rig.port.OpenPort("COM1"), 0) << rig.port.LastError();
    rig.ctx.device.Pic18 = row.pic18;
    rig.ctx.device.Index = row.index;

    EXPECT_TRUE(EraseDevice(rig.ctx)) << rig.ui.status;
    EXPECT_TRUE(BlankCheckDevice(rig.ctx, nullptr)) << rig.ui.status;
    if (row.pic18)
        Fill(rig.buffer, DeviceTable18[row.index]);
    else
        Fill(rig.buffer, DeviceTable[row.index]);
    const MemoryBuffer written = rig.buffer;
    EXPECT_TRUE(ProgramDevice(rig.ctx, nullptr)) << rig.ui.status;
    EXPECT_TRUE(VerifyDevice(rig.ctx, nullptr)) << rig.ui.status;

    ASSERT_TRUE(ReadDevice(rig.ctx, nullptr)) << rig.ui.status;
    EXPECT_TRUE(SameChipImage(rig.buffer, written, row.pic18, row.index));

    EXPECT_TRUE(EraseDevice(rig.ctx)) << rig.ui.status;
    EXPECT_TRUE(BlankCheckDevice(rig.ctx, nullptr)) << rig.ui.status;
    rig.port.ClosePort();
    EXPECT_EQ(sim.Stop(), 0);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, PtyCatalogue, testing::ValuesIn(AllRows()),
                         [](const testing::TestParamInfo<Row> &info) {
                             return std::string(NameOf(info.param));
                         });
