// Every catalogue row over a real pseudo-terminal: tarnbox-sim as its own
// process, the Linux serial backend, and the device operations the window
// runs — erase, blank check, program, verify, read back — for both families.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "SimProcess.h"
#include "unprotected.h"
#include "operations/operations.h"
#include "sim_rig.h"

namespace {

struct Row {
    bool pic18;
    int index;
};

std::vector<Row> AllRows()
{
    std::vector<Row> rows;
    for (int i = 1; i < DeviceTableSize; ++i)
        rows.push_back({false, i});
    for (int i = 1; i < DeviceTable18Size; ++i)
        rows.push_back({true, i});
    return rows;
}

const char *NameOf(const Row &row)
{
    return row.pic18 ? DeviceTable18[row.index].Name : DeviceTable[row.index].Name;
}

void PrintTo(const Row &row, std::ostream *os)
{
    *os << NameOf(row);
}

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

// Words spread over program memory (the top run included), EEPROM, IDs and
// the configuration words, within the device's masks.
void Fill(MemoryBuffer &b, const TDeviceSpec &d)
{
    b.Clear(d);
    const uint32_t n = d.ProgramSize - ((d.CalibAddress1 && d.CalibAddress1 < 0x1000) ? 1 : 0);
    for (uint32_t k : {0u, 1u, 9u, 100u, n / 2, n - 7, n - 2, n - 1})
        b.Words[k] = static_cast<uint16_t>((k * 0x155 + 0x21) & d.BlankWord);
    for (uint32_t i = 0; i < d.EEDataSize; i += 5)
        b.Words[EEDataAreaStart + i] = static_cast<uint16_t>(i & 0x7F);
    for (uint32_t i = 0; i < 4; ++i)
        b.Words[d.UserIdAddress + i] = static_cast<uint16_t>(i + 1);
    b.Words[d.Is12Bit() ? Config12BitWord : d.ConfigAddress1] = static_cast<uint16_t>(d.ConfigMask1 & 0x2AD5);
    if (d.ConfigAddress2) b.Words[d.ConfigAddress2] = static_cast<uint16_t>(d.ConfigMask2 & 0x3EFF);
    ClearImageProtection(b, d.Name, false);
}

void Fill(MemoryBuffer &b, const TDeviceSpec18 &d)
{
    b.Clear(d);
    for (uint32_t i : {0u, 1u, 7u, 8u, 40u, d.ProgramSize / 2, d.ProgramSize - 1})
        b.Program18[i] = static_cast<uint8_t>(i * 3);
    for (uint32_t i = 0; i < d.EEDataSize; i += 7)
        b.EEData18[i] = static_cast<uint8_t>(i);
    for (int i = 0; i < 8; ++i)
        b.Id18[static_cast<size_t>(i)] = static_cast<uint8_t>(0xF0 | i);
    for (size_t i = 0; i < 14; ++i)
        b.Config18[i] = d.ConfigDefault[i] ^ (d.ConfigMask[i] & 0x01);
    ClearImageProtection(b, d.Name, true);
}

class PtyCatalogue : public testing::TestWithParam<Row> {};

} // namespace

TEST_P(PtyCatalogue, EraseBlankProgramVerifyReadBack)
{
    const Row row = GetParam();
    SimProcess sim({"--chip", NameOf(row)});
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
    if (row.pic18) {
        EXPECT_EQ(rig.buffer.Program18, written.Program18);
        EXPECT_EQ(rig.buffer.EEData18, written.EEData18);
    } else {
        const TDeviceSpec &d = DeviceTable[row.index];
        const uint32_t n = d.ProgramSize - ((d.CalibAddress1 && d.CalibAddress1 < 0x1000) ? 1 : 0);
        for (uint32_t k = 0; k < n; ++k)
            ASSERT_EQ(rig.buffer.Words[k], written.Words[k]) << k;
        for (uint32_t i = 0; i < d.EEDataSize; ++i)
            ASSERT_EQ(rig.buffer.Words[EEDataAreaStart + i] & 0xFF,
                      written.Words[EEDataAreaStart + i] & 0xFF);
    }

    EXPECT_TRUE(EraseDevice(rig.ctx)) << rig.ui.status;
    EXPECT_TRUE(BlankCheckDevice(rig.ctx, nullptr)) << rig.ui.status;
    rig.port.ClosePort();
    EXPECT_EQ(sim.Stop(), 0);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, PtyCatalogue, testing::ValuesIn(AllRows()),
                         [](const testing::TestParamInfo<Row> &info) {
                             return std::string(NameOf(info.param));
                         });
