// A fault of every kind at every byte of an erase, and at points spread over
// a program: whatever the host sends after the failure never completes a
// command that loads data or starts a cycle, the board is left out of
// programming mode unless the user is told to power-cycle it, and the
// calibration words are never lost without the values to put back.
#include <gtest/gtest.h>

#include <map>

#include "ops_rig.h"
#include "support/textutil.h"

namespace {

const char *const PowerCycle = "プログラマーの電源を入れ直してください。";

bool LoadsOrCycles(uint8_t icsp)
{
    switch (icsp) {
    case 0:  // load configuration
    case 2:  // load data for program memory
    case 3:  // load data for data memory
    case 8:  // begin programming (erase first)
    case 9:  // bulk erase program memory
    case 11: // bulk erase data memory
    case 24: // begin programming only
    case 31: // chip erase
        return true;
    default:
        return false;
    }
}

// What a carried-out command does to the chip, from the firmware's table.
bool Writes(const ExecutedCommand &c)
{
    const std::vector<uint8_t> &a = c.args;
    switch (c.code) {
    case 0x01:
    case 0x03:
        return LoadsOrCycles(a[0]);
    case 0x04:
        return a[0] == 0 || a[0] == 2 || a[0] == 3;
    case 0x05:
        return LoadsOrCycles(a[0]) || LoadsOrCycles(a[1]);
    case 0x06:
        return LoadsOrCycles(a[0]) && (a[1] | a[2]) != 0;
    case 0x08:
    case 0x15:
        return a[0] == 0 || a[0] == 2 || a[0] == 3 || LoadsOrCycles(a[1]) || LoadsOrCycles(a[2]);
    case 0x09: // anything but a plain NOP
        return (a[0] & 0x0F) != 0 || a[1] != 0 || a[2] != 0 || a[4] != 0;
    case 0x0D:
    case 0x10:
        return true;
    default:
        return false;
    }
}

struct Sweep {
    SimOptions options;
    std::function<int(Rig &)> run;
    std::function<void(Rig &, int result, const std::string &where)> check;
};

// Runs every kind of fault at every point; returns the number of runs.
int RunSweep(const Sweep &s, const std::vector<uint64_t> &points, const std::vector<FaultKind> &kinds)
{
    int runs = 0;
    for (FaultKind kind : kinds) {
        for (uint64_t at : points) {
            SimOptions o = s.options;
            o.faults = {{kind, at}};
            Rig rig(o);
            rig.sim.Firmware().KeepJournal();
            const int result = s.run(rig);
            const std::string where = std::to_string(static_cast<int>(kind)) + "@" + std::to_string(at);
            // Host commands by the byte they start at, as the host meant them.
            // A host that got no echo for row-write code 0x08 tries 0x15 next
            // and sends its rows with that code.
            const std::vector<uint8_t> host = rig.sim.HostBytes();
            const bool only15 = host.size() > 1 && host[0] == 0x08 && host[1] == 0x15;
            std::map<uint64_t, HostCommand> sent;
            for (const HostCommand &h : Decode(host, only15 ? RowWriteForms::Row15 : RowWriteForms::Both))
                sent[h.end - h.args.size()] = h;
            const uint64_t fault = rig.sim.Firmware().FaultByte();
            for (const ExecutedCommand &c : rig.sim.Firmware().Journal()) {
                if (fault == 0 || c.completedAt <= fault || !Writes(c)) continue;
                // A write after the fault is only one the host sent whole,
                // back in step with the firmware: never one finished by the
                // bytes sent to recover, nor host bytes taken out of step.
                const auto h = sent.find(c.startedAt);
                const bool whole = c.startedAt > fault && h != sent.end() && h->second.code == c.code &&
                                   h->second.args == c.args;
                EXPECT_TRUE(whole) << where << ": command " << Hex(c.code, 2) << " from byte " << c.startedAt
                                   << " to " << c.completedAt << " after the fault at " << fault;
            }
            if (!rig.ui.Logged(PowerCycle)) {
                EXPECT_FALSE(rig.sim.Chip().InProgramMode()) << where;
            }
            s.check(rig, result, where);
            ++runs;
        }
    }
    return runs;
}

std::vector<uint64_t> EveryByte(size_t n)
{
    std::vector<uint64_t> points;
    for (uint64_t i = 1; i <= n; ++i)
        points.push_back(i);
    return points;
}

const std::vector<FaultKind> AllKinds = {FaultKind::SilentAfter, FaultKind::HangupAfter, FaultKind::Drop,
                                         FaultKind::BadEcho, FaultKind::BadSum};

TEST(FaultSweep, EraseNeverLosesTheCalibrationSilently)
{
    struct Case {
        const char *chip;
        std::vector<uint16_t> calibration;
    };
    for (const Case &c : {Case{"PIC12F675", {0x3468, 0x1000}}, Case{"PIC10F200", {0x0C1A, 0x0C1A}}}) {
        Sweep s;
        s.options = Rig::Options(c.chip);
        s.options.calibration = c.calibration;
        s.run = [](Rig &rig) { return EraseDevice(rig.ctx) ? 1 : 0; };
        s.check = [&](Rig &rig, int result, const std::string &where) {
            const std::vector<uint16_t> now = rig.sim.Chip().Calibration();
            if (result) {
                EXPECT_EQ(now, c.calibration) << c.chip << " " << where;
                return;
            }
            if (now == c.calibration) return;
            // Lost from the chip: the log says what to put back.
            const TDeviceSpec &d = rig.Row();
            const uint16_t addresses[2] = {d.CalibAddress1, d.CalibAddress2};
            EXPECT_EQ(rig.ui.status, " !! キャリブレーションデータを書き戻せませんでした。")
                << c.chip << " " << where;
            for (size_t slot = 0; slot < 2; ++slot)
                EXPECT_TRUE(rig.ui.LoggedShowing("アドレス " + Hex(addresses[slot], 4) +
                                                 " のキャリブレーションデータ " +
                                                 Hex(c.calibration[slot], 4) + " を書き戻してください。"))
                    << c.chip << " " << where;
        };
        Rig clean(s.options);
        ASSERT_TRUE(EraseDevice(clean.ctx));
        const size_t n = clean.sim.HostBytes().size();
        EXPECT_EQ(RunSweep(s, EveryByte(n), AllKinds), static_cast<int>(5 * n));
    }
}

TEST(FaultSweep, ProgramSendsNothingThatWritesAfterAFailure)
{
    Sweep s;
    s.options = Rig::Options("PIC16F877A");
    const auto fill = [](Rig &rig) {
        std::mt19937 rng(3);
        FillRandom(rig.buffer, rig.Row(), rng);
        // A few hundred words keep each run short; the row writes, the
        // skipped runs, the EEPROM and the configuration are all there.
        std::fill(rig.buffer.Words.begin() + 600, rig.buffer.Words.begin() + 8192, 0x3FFF);
    };
    s.run = [&](Rig &rig) {
        fill(rig);
        return ProgramDevice(rig.ctx, nullptr) ? 1 : 0;
    };
    s.check = [](Rig &, int, const std::string &) {};
    Rig clean(s.options);
    ASSERT_EQ(s.run(clean), 1);
    const size_t n = clean.sim.HostBytes().size();
    std::vector<uint64_t> points;
    for (size_t i = 0; i < 300; ++i)
        points.push_back(1 + i * (n - 1) / 299);
    RunSweep(s, points, {FaultKind::Drop, FaultKind::BadEcho, FaultKind::BadSum});
}

} // namespace
