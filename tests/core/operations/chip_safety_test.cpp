// What an erase or a program may leave on the chip when the user asks for
// something it cannot do, or when the link fails: read back from the
// simulated chip, not only from the messages.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <sstream>

#include "operations/CalibrationLog.h"
#include "ops_rig.h"
#include "support/textutil.h"

namespace {

const char *const CalibKeptStatus = " !! このデバイスではCALIBデータを変更できません。消去を中止しました。";
const char *const CalibKeptLog = "このデバイスではCALIBデータを変更できません。消去を中止しました。";

// Typed values that fit each slot's calibration bits.
uint16_t Typed(const TDeviceSpec &d, int slot)
{
    const uint16_t mask = slot == 0 ? d.CalibMask1 : d.CalibMask2;
    return static_cast<uint16_t>((d.Is12Bit() ? 0x0C24 : slot == 0 ? 0x2A51 : 0x1A52) & mask);
}

TEST(ChipSafety, CalibrationChangeIsRefusedWhereTheEraseKeepsTheWord)
{
    const std::vector<std::string> kept = {"PIC12F609",  "PIC12F610",  "PIC12F615",  "PIC12F616",
                                           "PIC12HV609", "PIC12HV610", "PIC12HV615", "PIC12HV616",
                                           "PIC16F785",  "PIC16HV785"};
    int refused = 0;
    for (int row = 1; row < DeviceTableSize; ++row) {
        const TDeviceSpec &d = DeviceTable[static_cast<size_t>(row)];
        if (d.CalibAddress1 == 0) continue;
        Rig rig(d.Name);
        rig.sim.Chip().Poke(0x0000, 0x0123);
        const std::vector<uint16_t> factory = rig.sim.Chip().Calibration();
        rig.ctx.options.calibChange = true;
        rig.ctx.options.cal1 = Typed(d, 0);
        rig.ctx.options.cal2 = Typed(d, 1);
        const MemoryBuffer before = rig.buffer;
        const OperationResult result = EraseDevice(rig.ctx);
        const bool shouldRefuse = std::find(kept.begin(), kept.end(), d.Name) != kept.end();
        if (shouldRefuse) {
            ++refused;
            EXPECT_FALSE(result) << d.Name;
            EXPECT_TRUE(rig.sim.HostBytes().empty()) << d.Name << ": nothing sent";
            EXPECT_EQ(rig.ui.status, CalibKeptStatus) << d.Name;
            EXPECT_EQ(rig.ui.log.size(), 1u) << d.Name;
            EXPECT_TRUE(rig.ui.LoggedShowing(CalibKeptLog)) << d.Name;
            EXPECT_FALSE(result.calibrationReplaced) << d.Name;
            EXPECT_EQ(rig.buffer.Words, before.Words) << d.Name;
            EXPECT_EQ(rig.sim.Chip().Calibration(), factory) << d.Name;
            EXPECT_EQ(rig.sim.Chip().Program(0x0000), 0x0123) << d.Name;
            continue;
        }
        // Every other calibration row erases the words it replaces.
        EXPECT_TRUE(result) << d.Name;
        std::vector<uint16_t> typed = {Typed(d, 0)};
        if (d.CalibAddress2) typed.push_back(Typed(d, 1));
        EXPECT_EQ(rig.sim.Chip().Calibration(), typed) << d.Name;
        EXPECT_TRUE(result.calibrationReplaced) << d.Name;
    }
    EXPECT_EQ(refused, static_cast<int>(kept.size()));
}

TEST(ChipSafety, FailedEraseWritesBackOnlyTheValuesReadBeforeIt)
{
    // The link fails inside the bulk erase of a 12-bit part.
    SimOptions o = Rig::Options("PIC10F200");
    o.calibration = {0x0C1A, 0x0C1A};
    o.faults = {{FaultKind::Drop, 33}};
    Rig rig(o);
    rig.ctx.options.calibChange = true;
    rig.ctx.options.cal1 = rig.ctx.options.cal2 = 0x0C25;
    const OperationResult result = EraseDevice(rig.ctx);
    EXPECT_FALSE(result);
    EXPECT_EQ(rig.sim.Chip().Calibration(), (std::vector<uint16_t>{0x0C1A, 0x0C1A}));
    EXPECT_FALSE(result.calibrationReplaced);
    EXPECT_FALSE(rig.ui.Logged("!キャリブレーションデータは入力値に置き換わりました。"));
}

TEST(ChipSafety, Pic18FileWithoutConfigurationProgramsTheErasedConfiguration)
{
    Rig rig("PIC18F4550");
    const TDeviceSpec18 &d = rig.Row18();
    rig.buffer.Program18[0] = 0x12; // a cleared buffer with program bytes only
    ASSERT_TRUE(ProgramDevice(rig.ctx, nullptr));
    for (uint32_t i = 0; i < 14; ++i)
        EXPECT_EQ(rig.sim.Chip().Program(0x300000 + i), d.ConfigDefault[i]) << i;
    EXPECT_TRUE(VerifyDevice(rig.ctx, nullptr));
}

// The calibration log in a folder of its own for one test.
class OwnCalibrationLog {
public:
    OwnCalibrationLog()
    {
        std::string pattern = testing::TempDir() + "calibration-XXXXXX";
        folder_ = mkdtemp(pattern.data()) ? pattern : std::string();
        if (const char *old = getenv("XDG_DATA_HOME")) old_ = old;
        setenv("XDG_DATA_HOME", folder_.c_str(), 1);
    }
    ~OwnCalibrationLog()
    {
        setenv("XDG_DATA_HOME", old_.c_str(), 1);
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    std::string Text() const
    {
        std::ifstream in(CalibrationLogPath());
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::string folder_, old_;
};

// Two sockets at once, one chip kind, two silicon revisions: every row of
// the calibration log names the DEVICE-ID its own socket's check read.
TEST(ChipSafety, EachSocketLogsTheDeviceIdOfItsOwnCheck)
{
    OwnCalibrationLog calibrationLog;
    constexpr int Rounds = 20;
    auto socket = [](uint8_t revision) {
        SimOptions o = Rig::Options("PIC12F675");
        o.revision = revision;
        Rig rig(o);
        for (int i = 0; i < Rounds; ++i)
            if (!CheckConnection(rig.ctx) || !ReadDevice(rig.ctx, nullptr)) return false;
        return true;
    };
    auto a = std::async(std::launch::async, socket, uint8_t{3});
    auto b = std::async(std::launch::async, socket, uint8_t{9});
    ASSERT_TRUE(a.get());
    ASSERT_TRUE(b.get());
    std::istringstream rows(calibrationLog.Text());
    std::map<std::string, std::map<std::string, int>> idsByAddress;
    for (std::string line; std::getline(rows, line);) {
        std::vector<std::string> fields;
        std::istringstream in(line);
        for (std::string field; std::getline(in, field, '\t');)
            fields.push_back(field);
        ASSERT_EQ(fields.size(), 5u) << line;
        ++idsByAddress[fields[3]][fields[2]];
    }
    ASSERT_EQ(idsByAddress.size(), 2u) << "both calibration slots";
    for (const auto &[address, ids] : idsByAddress)
        EXPECT_EQ(ids, (std::map<std::string, int>{{"0FC3", Rounds}, {"0FC9", Rounds}})) << address;
}

TEST(ChipSafety, CalibrationIsLoggedBeforeTheEraseAndOfferedWhenFoundErased)
{
    OwnCalibrationLog calibrationLog;
    SimOptions o = Rig::Options("PIC12F675");
    o.calibration = {0x3468, 0x1000};
    // Bytes up to the end of the two calibration reads.
    size_t readEnd = 0;
    {
        Rig clean(o);
        ASSERT_TRUE(CheckConnection(clean.ctx));
        const std::vector<uint8_t> checked = clean.sim.HostBytes();
        clean.sim.ClearTrace();
        ASSERT_TRUE(EraseDevice(clean.ctx));
        int controls = 0;
        for (const HostCommand &c : Decode(clean.sim.HostBytes()))
            if (c.code == 0x00 && ++controls == 4) readEnd = checked.size() + c.end;
        std::filesystem::remove(CalibrationLogPath());
    }
    // The programmer falls silent once the erase has begun: the factory values
    // are in the log already, with the chip's DEVICE-ID and revision.
    o.faults = {{FaultKind::SilentAfter, readEnd + 3}};
    {
        Rig rig(o);
        ASSERT_TRUE(CheckConnection(rig.ctx));
        EXPECT_FALSE(EraseDevice(rig.ctx));
        const std::string text = calibrationLog.Text();
        EXPECT_NE(text.find("\tPIC12F675\t0FC2\t03FF\t3468\n"), std::string::npos) << text;
        EXPECT_NE(text.find("\tPIC12F675\t0FC2\t2007\t1000\n"), std::string::npos) << text;
    }
    // The same kind of chip with its calibration erased: the erase asks
    // first, showing the values logged, and stops when told to.
    o.faults.clear();
    o.calibration = {0x3FFF, 0x3000};
    Rig rig(o);
    rig.sim.Chip().Poke(0x0000, 0x0123);
    rig.ui.eraseErasedCalibration = false;
    EXPECT_FALSE(EraseDevice(rig.ctx));
    ASSERT_EQ(rig.ui.erasedCalibrationAsked.size(), 1u);
    const std::string &asked = rig.ui.erasedCalibrationAsked[0];
    EXPECT_NE(asked.find("3468"), std::string::npos) << asked;
    EXPECT_NE(asked.find("1000"), std::string::npos) << asked;
    EXPECT_EQ(rig.ui.status, " !! キャリブレーションデータが消去されています。消去を中止しました。");
    EXPECT_EQ(rig.sim.Chip().Program(0x0000), 0x0123) << "not erased";
    // Told to go on, it erases and keeps the erased values.
    rig.ui.eraseErasedCalibration = true;
    EXPECT_TRUE(EraseDevice(rig.ctx));
    EXPECT_EQ(rig.sim.Chip().Program(0x0000), 0x3FFF);
}

} // namespace
