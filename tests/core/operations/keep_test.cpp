// What a program keeps of a chip (its data EEPROM, its configuration) is
// never lost without a copy: a fault of every kind at points over the whole
// run, and an interrupt at every moment the operations look for one. The
// chip is read back from the simulator itself, the copy from the disk.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "image/hex_load.h"
#include "operations/CalibrationLog.h"
#include "operations/KeptCopy.h"
#include "operations/chain.h"
#include "ops_rig.h"
#include "support/interrupt.h"
#include "support/textutil.h"

namespace {

struct Case {
    const char *chip;
    unsigned keep;
    Chain chain;
};

const Case Cases[] = {
    {"PIC16F877A", RegionEEData, Chain::EraseBlankCheckProgramVerify},
    {"PIC12F675", RegionConfig, Chain::ProgramVerify},
    {"PIC12F675", RegionConfig | RegionEEData, Chain::EraseBlankCheckProgramVerify},
    {"PIC18F4550", RegionEEData, Chain::EraseBlankCheckProgramVerify},
};

std::string Name(const Case &c)
{
    return std::string(c.chip) + " " + KeptRegionNames(c.keep) +
           (c.chain == Chain::ProgramVerify ? " (no erase)" : " (erase)");
}

bool Pic18(const Case &c)
{
    return IsPic18Name(c.chip);
}

// The chip's kept memories as one list of values.
std::vector<uint16_t> KeptOf(SimChip &chip, const Case &c, const MemoryBuffer *file = nullptr)
{
    std::vector<uint16_t> v;
    const size_t row = static_cast<size_t>(FindDevice(c.chip));
    if (Pic18(c)) {
        const TDeviceSpec18 &d = DeviceTable18[row];
        if (c.keep & RegionEEData)
            for (uint32_t i = 0; i < d.EEDataSize; ++i)
                v.push_back(file ? file->EEData18[i] : chip.Eeprom(i));
        if (c.keep & RegionConfig)
            for (uint32_t i = 0; i < 14; ++i)
                v.push_back(file ? file->Config18[i] : chip.Program(0x300000 + i));
        return v;
    }
    const TDeviceSpec &d = DeviceTable[row];
    if (c.keep & RegionEEData)
        for (uint32_t i = 0; i < d.EEDataSize; ++i)
            v.push_back(file ? file->Words[EEDataAreaStart + i] & 0xFF : chip.Eeprom(i));
    if (c.keep & RegionConfig)
        v.push_back(static_cast<uint16_t>((file ? file->Words[d.ConfigAddress1] : chip.Program(d.ConfigAddress1)) &
                                          d.ConfigMask1));
    return v;
}

// A used chip: its own EEPROM bytes and configuration, unlike the file's.
void MakeUsed(Rig &rig, const Case &c)
{
    SimChip &chip = rig.sim.Chip();
    if (Pic18(c)) {
        for (uint32_t i = 0; i < rig.Row18().EEDataSize; ++i)
            chip.SetEeprom(i, static_cast<uint8_t>(0x5A ^ i));
        chip.Poke(0x300000 + 1, 0x0E); // CONFIG1H: another oscillator
        return;
    }
    const TDeviceSpec &d = rig.Row();
    for (uint32_t i = 0; i < d.EEDataSize; ++i)
        chip.SetEeprom(i, static_cast<uint8_t>(0x5A ^ i));
    chip.Poke(d.ConfigAddress1, static_cast<uint16_t>((chip.Program(d.ConfigAddress1) & ~0x0007) | 0x0004));
}

// The file: a few program words, EEPROM and configuration of its own.
void LoadFile(Rig &rig, const Case &c)
{
    if (Pic18(c)) {
        rig.buffer.Clear(rig.Row18());
        for (uint32_t i = 0; i < 300; ++i)
            rig.buffer.Program18[i] = static_cast<uint8_t>(i * 7);
        std::fill(rig.buffer.EEData18.begin(), rig.buffer.EEData18.end(), uint8_t{0x11});
        rig.buffer.Config18 = rig.Row18().ConfigDefault;
        return;
    }
    const TDeviceSpec &d = rig.Row();
    rig.buffer.Clear(d);
    for (uint32_t i = 0; i < 200; ++i)
        rig.buffer.Words[i] = static_cast<uint16_t>((i * 37) & d.BlankWord);
    for (uint32_t i = 0; i < d.EEDataSize; ++i)
        rig.buffer.Words[EEDataAreaStart + i] = 0x11;
    rig.buffer.Words[d.ConfigAddress1] = static_cast<uint16_t>(d.BlankWord & ~0x0007);
}

struct Ran {
    bool checked = false, kept = false;
    ChainResult chain;
    KeptCopy copy;
};

// The check, the keep and the chain, as program --keep-… runs them.
Ran Program(OperationContext &ctx, const Case &c)
{
    Ran r;
    r.checked = CheckConnection(ctx).Ok();
    if (!r.checked) return r;
    r.kept = KeepFromChip(ctx, c.keep, r.copy).Ok();
    if (!r.kept) return r;
    ChainRun run;
    run.fileName = "app.hex";
    run.kept = &r.copy;
    ctx.options.regions = RegionAll;
    r.chain = RunChain(ctx, c.chain, run);
    return r;
}

void ClearCopies()
{
    std::error_code ec;
    std::filesystem::remove_all(KeptFolder(), ec);
}

// Whatever happened: the chip holds its kept memories, or one copy on the
// disk does and the run said where and how to put it back.
// True when the chip lost them.
bool ExpectNothingLost(Rig &rig, const RecordingUi &ui, const Case &c, const std::vector<uint16_t> &before,
                       const Ran &r, const std::string &where)
{
    const std::vector<KeptCopy> copies = ListKeptCopies();
    if (KeptOf(rig.sim.Chip(), c) == before) {
        // A copy stays only where the run could not tell.
        if (r.chain.Ok()) {
            EXPECT_TRUE(copies.empty()) << where;
        }
        return false;
    }
    EXPECT_FALSE(copies.empty()) << where;
    if (copies.empty()) return true;
    EXPECT_EQ(copies.size(), 1u) << where;
    EXPECT_TRUE(r.chain.keptPending) << where;
    MemoryBuffer saved;
    const size_t row = static_cast<size_t>(FindDevice(c.chip));
    if (Pic18(c))
        saved.Clear(DeviceTable18[row]);
    else
        saved.Clear(DeviceTable[row]);
    LoadOutcome outcome;
    outcome.Device = {Pic18(c), static_cast<int>(row)};
    LoadNewFile(copies[0].path, saved, false, outcome);
    EXPECT_EQ(KeptOf(rig.sim.Chip(), c, &saved), before) << where;
    EXPECT_TRUE(ui.LoggedShowing("!デバイスから残した" + KeptMemoriesText(c.keep) +
                                 "を書き戻せませんでした。控えのファイル: " + copies[0].path))
        << where;
    EXPECT_TRUE(ui.LoggedShowing("書き戻すには: tarnvik-cli -p COM1 -d " + std::string(c.chip) +
                                 " program --only " + KeptRegionNames(c.keep) + " " + copies[0].path))
        << where;
    return true;
}

// A front end that is sent a stop request at its n-th chance to repaint.
class InterruptingUi : public RecordingUi {
public:
    int at = -1, calls = 0;
    void ProcessMessages() override
    {
        if (++calls == at) RequestInterrupt(SIGINT);
    }
};

// An undisturbed run: what the chip keeps, and the host bytes and the
// chances to repaint that the sweeps spread their points over.
struct Clean {
    std::vector<uint16_t> before;
    uint64_t hostBytes = 0;
    int moments = 0;
};

Clean CleanRun(const Case &c)
{
    ClearCopies();
    Clean clean;
    Rig rig(c.chip);
    MakeUsed(rig, c);
    clean.before = KeptOf(rig.sim.Chip(), c);
    LoadFile(rig, c);
    InterruptingUi ui;
    OperationContext ctx{rig.port, rig.cmd, rig.buffer, ui, rig.ctx.device};
    EXPECT_TRUE(Program(ctx, c).chain.Ok()) << Name(c);
    EXPECT_EQ(KeptOf(rig.sim.Chip(), c), clean.before) << Name(c);
    EXPECT_TRUE(ListKeptCopies().empty()) << Name(c);
    clean.hostBytes = rig.sim.HostBytes().size();
    clean.moments = ui.calls;
    return clean;
}

TEST(KeepSweep, NoFaultAnywhereLosesTheKeptDataWithoutACopy)
{
    for (const Case &c : Cases) {
        const Clean clean = CleanRun(c);
        const std::vector<uint16_t> &before = clean.before;
        const uint64_t hostBytes = clean.hostBytes;
        int runs = 0, lost = 0, copiesLeft = 0;
        for (FaultKind kind : {FaultKind::SilentAfter, FaultKind::Drop, FaultKind::BadEcho, FaultKind::BadSum,
                               FaultKind::HangupAfter})
            for (uint64_t i = 0; i < 41; ++i) {
                ClearCopies();
                SimOptions o = Rig::Options(c.chip);
                const uint64_t at = 1 + i * (hostBytes - 1) / 40;
                o.faults = {{kind, at}};
                Rig rig(o);
                MakeUsed(rig, c);
                LoadFile(rig, c);
                const Ran r = Program(rig.ctx, c);
                lost += ExpectNothingLost(rig, rig.ui, c, before, r,
                                          Name(c) + " fault " + std::to_string(static_cast<int>(kind)) + "@" +
                                              std::to_string(at));
                ++runs;
                copiesLeft += r.chain.keptPending;
            }
        std::printf("%-34s fault runs %d: gone from the chip %d, copies left with the restore text %d\n",
                    Name(c).c_str(), runs, lost, copiesLeft);
    }
    ClearCopies();
}

// A stop request waits from the first write until the kept memories are
// back: the chip always has them.
TEST(KeepSweep, AnInterruptWaitsForTheWriteBack)
{
    for (const Case &c : Cases) {
        const Clean clean = CleanRun(c);
        const std::vector<uint16_t> &before = clean.before;
        const int moments = clean.moments;
        int runs = 0;
        for (int i = 0; i < 100; ++i) {
            ClearCopies();
            Rig rig(c.chip);
            MakeUsed(rig, c);
            LoadFile(rig, c);
            InterruptingUi ui;
            ui.at = 1 + i * (moments - 1) / 99;
            OperationContext ctx{rig.port, rig.cmd, rig.buffer, ui, rig.ctx.device};
            const Ran r = Program(ctx, c);
            const std::string where = Name(c) + " interrupt at " + std::to_string(ui.at) + "/" +
                                      std::to_string(moments);
            ClearInterrupt();
            EXPECT_EQ(KeptOf(rig.sim.Chip(), c), before) << where;
            EXPECT_TRUE(ListKeptCopies().empty()) << where;
            ++runs;
        }
        EXPECT_EQ(runs, 100);
    }
    ClearCopies();
}

// A copy left behind (the link went at the worst moment): the next check of
// such a chip names it with the command, and that command's program puts
// the chip's data back and retires the copy.
TEST(KeptCopy, NamedByTheNextCheckAndRestoredFromItsFile)
{
    const Case c = Cases[0];
    ClearCopies();
    std::vector<uint16_t> before;
    {
        Rig probe(c.chip);
        MakeUsed(probe, c);
        before = KeptOf(probe.sim.Chip(), c);
        LoadFile(probe, c);
        // Lost right after the erase: the chip is blank, the copy on disk.
        ASSERT_TRUE(CheckConnection(probe.ctx).Ok());
        KeptCopy copy;
        ASSERT_TRUE(KeepFromChip(probe.ctx, c.keep, copy).Ok());
        ASSERT_TRUE(EraseDevice(probe.ctx).Ok());
        EXPECT_NE(KeptOf(probe.sim.Chip(), c), before);
        ASSERT_EQ(ListKeptCopies().size(), 1u);

        ASSERT_TRUE(CheckConnection(probe.ctx).Ok());
        EXPECT_TRUE(probe.ui.LoggedShowing("!PIC16F877A（DEVICE-ID " + Hex(*probe.ctx.deviceId, 4) +
                                           "）から残したEEPROMが書き戻されていません（" + copy.time +
                                           " の控え: " + copy.path + "）。"));
        EXPECT_TRUE(probe.ui.LoggedShowing("書き戻すには: tarnvik-cli -p COM1 -d PIC16F877A program --only eeprom " +
                                           copy.path));
        // Another revision is another chip.
        SimOptions other = Rig::Options(c.chip);
        other.revision = 5;
        Rig elsewhere(other);
        ASSERT_TRUE(CheckConnection(elsewhere.ctx).Ok());
        EXPECT_FALSE(std::any_of(elsewhere.ui.log.begin(), elsewhere.ui.log.end(),
                                 [](const LogLine &l) { return l.text.find("書き戻されていません") != std::string::npos; }));

        // program --only eeprom COPY
        LoadOutcome outcome;
        outcome.Device = probe.ctx.device;
        probe.buffer.Clear(probe.Row());
        LoadNewFile(copy.path, probe.buffer, false, outcome);
        probe.ctx.options.regions = RegionEEData;
        ASSERT_TRUE(RunChain(probe.ctx, Chain::ProgramVerify, {}).Ok());
        EXPECT_EQ(KeptOf(probe.sim.Chip(), c), before);
        ASSERT_TRUE(KeptCopyAt(copy.path));
        EXPECT_EQ(ForgetKeptCopy(*KeptCopyAt(copy.path)), "");
        EXPECT_TRUE(ListKeptCopies().empty());
    }
    ClearCopies();
}

// With the chip's data protection on, its EEPROM reads as zeros: keeping it
// would write zeros back and verify them. Refused before anything changes.
TEST(KeptCopy, ProtectedEepromIsNotKeptAsZeros)
{
    struct Protected {
        const char *chip;
        uint32_t address;
        uint16_t value;
    };
    for (const Protected &p : {Protected{"PIC16F877A", 0x2007, 0x3E72}, Protected{"PIC16F877A", 0x2007, 0x1E72},
                               Protected{"PIC18F4550", 0x300009, 0x40}}) {
        ClearCopies();
        SimOptions o = Rig::Options(p.chip);
        o.codeProtection = true;
        Rig rig(o);
        const Case c{p.chip, RegionEEData, Chain::EraseBlankCheckProgramVerify};
        MakeUsed(rig, c);
        rig.sim.Chip().Poke(p.address, p.value);
        const std::vector<uint16_t> before = KeptOf(rig.sim.Chip(), c);
        LoadFile(rig, c);
        ASSERT_TRUE(CheckConnection(rig.ctx).Ok()) << p.chip;
        KeptCopy copy;
        const OperationResult r = KeepFromChip(rig.ctx, RegionEEData, copy);
        EXPECT_EQ(r.refusal, Refusal::KeptDataProtected) << p.chip << " " << Hex(p.value, 4);
        EXPECT_TRUE(ListKeptCopies().empty());
        EXPECT_EQ(KeptOf(rig.sim.Chip(), c), before);
        EXPECT_EQ(rig.ui.status, " !! EEPROMを残せないため書込みを中止しました。");
    }
    ClearCopies();
}

} // namespace
