// Faults injected by the simulated programmer at points spread over each
// operation: nothing may be reported as success unless it is true, a failed
// read leaves the buffer alone, an unreadable calibration stops the erase,
// and every operation ends in bounded (virtual) time.
#include <gtest/gtest.h>

#include <functional>

#include "ops_rig.h"
#include "support/textutil.h"

namespace {

constexpr double BoundMs = 20 * 60 * 1000.0; // a silent programmer costs 200 ms per awaited item
const char *const LinkLost = "プログラマーからの応答が途切れました。";
const char *const ReadFailed = " !! デバイスから読み込めませんでした。";
const char *const WriteFailed = " !! デバイスに書き込めませんでした。";
const char *const Pic18Refused = " PIC18をサポートしていません！";
const char *const PowerCycle = "プログラマーの電源を入れ直してください。";
const char *const EchoFault = "エコーが一致しませんでした（ケーブルや接続の不良かもしれません）。";
const char *const ChecksumFault = "チェックサムが一致しませんでした（ケーブルや接続の不良かもしれません）。";
const char *const CalibNotRestored = " !! キャリブレーションデータを書き戻せませんでした。";

// A failed erase either says the write failed or, when the calibration words
// may be gone, gives each factory value to put back.
void ExpectEraseFailureTold(const RecordingUi &ui, const TDeviceSpec &d, const std::vector<uint16_t> &factory,
                            const std::string &where)
{
    if (ui.status == WriteFailed) return;
    EXPECT_EQ(ui.status, CalibNotRestored) << where;
    const uint16_t addresses[2] = {d.CalibAddress1, d.CalibAddress2};
    for (size_t slot = 0; slot < factory.size(); ++slot)
        EXPECT_TRUE(ui.LoggedShowing("アドレス " + Hex(addresses[slot], 4) + " のキャリブレーションデータ " +
                                     Hex(factory[slot], 4) + " を書き戻してください。"))
            << where;
}

const std::vector<FaultKind> AllKinds = {FaultKind::SilentAfter, FaultKind::HangupAfter, FaultKind::Drop,
                                         FaultKind::BadEcho, FaultKind::BadSum};

struct Scenario {
    SimOptions options;
    std::function<void(Rig &)> setup;
    std::function<int(Rig &)> run;
    // Properties of a run with the fault; where names the fault.
    std::function<void(Rig &, int result, const std::string &where)> check;
};

std::string Where(FaultKind kind, uint64_t at)
{
    static const char *names[] = {"none", "silent-after", "drop", "bad-echo", "bad-sum", "hangup-after"};
    return std::string(names[static_cast<int>(kind)]) + "=" + std::to_string(at);
}

size_t CleanBytes(const Scenario &s)
{
    Rig rig(s.options);
    s.setup(rig);
    EXPECT_NE(s.run(rig), 0) << "the clean run succeeds";
    return rig.sim.HostBytes().size();
}

// Runs the scenario once per fault kind and point; returns how many runs failed.
int RunFaulty(const Scenario &s, const std::vector<uint64_t> &points,
              const std::vector<FaultKind> &kinds = AllKinds, size_t midpoint = 0)
{
    int failures = 0;
    for (FaultKind kind : kinds) {
        for (uint64_t at : points) {
            SimOptions o = s.options;
            o.faults = {{kind, at}};
            Rig rig(o);
            s.setup(rig);
            const int result = s.run(rig);
            const std::string where = Where(kind, at);
            s.check(rig, result, where);
            EXPECT_LT(rig.sim.NowMs(), BoundMs) << where;
            // A programmer that is gone before the middle cannot have finished.
            if ((kind == FaultKind::SilentAfter || kind == FaultKind::HangupAfter) && at <= midpoint) {
                EXPECT_EQ(result, 0) << where;
            }
            if (result == 0) ++failures;
        }
    }
    return failures;
}

std::vector<uint64_t> Spread(size_t n)
{
    return {1, n / 7, n / 3, n / 2, 2 * n / 3, n - 3, n - 1};
}

// Chip contents without using the link.
void PokeRandom(Rig &rig, uint32_t seed)
{
    std::mt19937 rng(seed);
    SimChip &chip = rig.sim.Chip();
    if (rig.ctx.device.Pic18) {
        const TDeviceSpec18 &d = rig.Row18();
        for (uint32_t i = 0; i < d.ProgramSize; ++i)
            chip.Poke(i, static_cast<uint8_t>(rng()));
        for (uint32_t i = 0; i < d.EEDataSize; ++i)
            chip.SetEeprom(i, static_cast<uint8_t>(rng()));
        return;
    }
    const TDeviceSpec &d = rig.Row();
    for (uint32_t k = 0; k + 1 < d.ProgramSize; ++k)
        chip.Poke(k, static_cast<uint16_t>(rng()));
    for (uint32_t i = 0; i < d.EEDataSize; ++i)
        chip.SetEeprom(i, static_cast<uint8_t>(rng()));
}

void FillBuffer(Rig &rig, uint32_t seed)
{
    std::mt19937 rng(seed);
    if (rig.ctx.device.Pic18)
        FillRandom(rig.buffer, rig.Row18(), rng);
    else
        FillRandom(rig.buffer, rig.Row(), rng);
}

bool SameBuffer(const MemoryBuffer &a, const MemoryBuffer &b)
{
    return a.Words == b.Words && a.Program18 == b.Program18 && a.EEData18 == b.EEData18 && a.Id18 == b.Id18 &&
           a.Config18 == b.Config18;
}

// The chip holds what program should have written from the buffer.
bool ChipHoldsBuffer(Rig &rig)
{
    SimChip &chip = rig.sim.Chip();
    if (rig.ctx.device.Pic18) {
        const TDeviceSpec18 &d = rig.Row18();
        for (uint32_t i = 0; i < d.ProgramSize; ++i)
            if (chip.Program(i) != rig.buffer.Program18[i]) return false;
        for (uint32_t i = 0; i < d.EEDataSize; ++i)
            if (chip.Eeprom(i) != rig.buffer.EEData18[i]) return false;
        for (uint32_t i = 0; i < 14; ++i)
            if (chip.Program(0x300000 + i) != (rig.buffer.Config18[i] & d.ConfigMask[i])) return false;
        return true;
    }
    const TDeviceSpec &d = rig.Row();
    const bool calibLast = d.CalibAddress1 != 0 && d.CalibAddress1 < 0x1000;
    for (uint32_t k = 0; k < d.ProgramSize - (calibLast ? 1 : 0); ++k)
        if (chip.Program(k) != (rig.buffer.Words[k] & d.BlankWord)) return false;
    for (uint32_t i = 0; i < d.EEDataSize; ++i)
        if (chip.Eeprom(i) != (rig.buffer.Words[EEDataAreaStart + i] & 0xFF)) return false;
    for (uint32_t i = 0; i < 4; ++i)
        if ((chip.Program(d.UserIdAddress + i) & 0xF) != (rig.buffer.Words[d.UserIdAddress + i] & 0xF))
            return false;
    const uint32_t c1 = d.Is12Bit() ? Config12BitWord : d.ConfigAddress1;
    return (chip.Program(c1) & d.ConfigMask1) == (rig.buffer.Words[c1] & d.ConfigMask1);
}

TEST(Faults, ReadKeepsTheBufferUnlessEverythingArrived)
{
    for (const char *name : {"PIC12F675", "PIC10F200", "PIC18F1220"}) {
        Scenario s;
        s.options = Rig::Options(name);
        s.setup = [](Rig &rig) {
            PokeRandom(rig, 5);
            FillBuffer(rig, 6);
        };
        s.run = [](Rig &rig) { return ReadDevice(rig.ctx, &rig.ui.dialog) ? 1 : 0; };
        Rig clean(s.options);
        s.setup(clean);
        ASSERT_TRUE(ReadDevice(clean.ctx, nullptr));
        const MemoryBuffer &truth = clean.buffer;
        s.check = [&](Rig &rig, int result, const std::string &where) {
            if (result) {
                EXPECT_TRUE(SameBuffer(rig.buffer, truth)) << name << " " << where;
                return;
            }
            Rig fresh(s.options);
            s.setup(fresh);
            EXPECT_TRUE(SameBuffer(rig.buffer, fresh.buffer)) << name << " " << where;
            EXPECT_EQ(rig.ui.redraws, 0) << where;
            if (rig.ui.status == Pic18Refused) return; // the query itself went unanswered
            EXPECT_EQ(rig.ui.status, ReadFailed) << where;
            EXPECT_EQ(rig.ui.dialogStatus, ReadFailed) << where;
            EXPECT_TRUE(rig.ui.LoggedShowing(LinkLost)) << where;
        };
        const size_t n = CleanBytes(s);
        EXPECT_GT(RunFaulty(s, Spread(n), AllKinds, n / 2), 0) << name;
    }
}

TEST(Faults, ProgramReportsSuccessOnlyWhenTheChipHoldsTheBuffer)
{
    struct Case {
        const char *chip;
        RowWriteForms forms;
    };
    for (const Case &c : {Case{"PIC12F675", RowWriteForms::Both}, Case{"PIC16F628A", RowWriteForms::None},
                          Case{"PIC16F88", RowWriteForms::Row15}, Case{"PIC18F1220", RowWriteForms::Both}}) {
        Scenario s;
        s.options = Rig::Options(c.chip);
        s.options.firmware = c.forms;
        s.setup = [](Rig &rig) { FillBuffer(rig, 9); };
        s.run = [](Rig &rig) {
            rig.ctx.surface = Surface::ProgressDialog;
            return ProgramDevice(rig.ctx, &rig.ui.dialog) ? 1 : 0;
        };
        s.check = [&](Rig &rig, int result, const std::string &where) {
            const bool said = rig.ui.Logged("バッファの内容をデバイスに書き込みました。");
            if (result) {
                EXPECT_TRUE(ChipHoldsBuffer(rig)) << c.chip << " " << where;
                EXPECT_TRUE(said);
                return;
            }
            EXPECT_FALSE(said) << c.chip << " " << where;
            if (rig.ui.status == Pic18Refused) return;
            if (!rig.ui.boxes.empty()) {
                EXPECT_EQ(rig.ui.boxes, std::vector<std::string>{"プロトコルエラー！"}) << where;
                return;
            }
            EXPECT_EQ(rig.ui.status, WriteFailed) << c.chip << " " << where;
            EXPECT_EQ(rig.ui.dialogStatus, WriteFailed) << where;
            EXPECT_TRUE(rig.ui.LoggedShowing(LinkLost)) << where;
        };
        const size_t n = CleanBytes(s);
        EXPECT_GT(RunFaulty(s, Spread(n), AllKinds, n / 2), 0) << c.chip;
    }
}

TEST(Faults, VerifyAndBlankCheckNeverConfirmWhatTheyDidNotRead)
{
    for (const char *name : {"PIC12F675", "PIC18F1220"}) {
        // The chip differs from the buffer in one place and is not blank.
        Scenario s;
        s.options = Rig::Options(name);
        s.setup = [](Rig &rig) {
            FillBuffer(rig, 12);
            ASSERT_TRUE(ProgramDevice(rig.ctx, nullptr));
            if (rig.ctx.device.Pic18)
                rig.sim.Chip().Poke(0x700, static_cast<uint8_t>(rig.buffer.Program18[0x700] ^ 0x01));
            else
                rig.sim.Chip().Poke(0x300, static_cast<uint16_t>(rig.buffer.Words[0x300] ^ 0x01));
            rig.ui.log.clear();
        };
        // Faults count from the first byte, the setup's programming included:
        // the points below are offsets past it.
        Rig probe(s.options);
        s.setup(probe);
        const size_t setupBytes = probe.sim.HostBytes().size();
        probe.sim.ClearTrace();
        ASSERT_FALSE(VerifyDevice(probe.ctx, nullptr));
        const size_t n = probe.sim.HostBytes().size();
        std::vector<uint64_t> points;
        for (uint64_t p : Spread(n))
            points.push_back(setupBytes + p);

        for (bool blankCheck : {false, true}) {
            s.run = [blankCheck](Rig &rig) {
                rig.ctx.surface = Surface::ProgressDialog;
                const int r = (blankCheck ? BlankCheckDevice(rig.ctx, &rig.ui.dialog)
                                          : VerifyDevice(rig.ctx, &rig.ui.dialog))
                                  ? 1
                                  : 0;
                // A mismatch found is reported as 0 as well; tell the two apart.
                return r;
            };
            s.check = [&](Rig &rig, int result, const std::string &where) {
                EXPECT_EQ(result, 0) << name << " " << where;
                EXPECT_FALSE(rig.ui.Logged("ベリファイOK。一致しました。")) << where;
                EXPECT_FALSE(rig.ui.Logged("デバイスはブランクです。")) << where;
                if (rig.ui.status == Pic18Refused) return;
                if (rig.ui.status == ReadFailed) {
                    const size_t said =
                        rig.ui.Logged(PowerCycle) + rig.ui.Logged(EchoFault) + rig.ui.Logged(ChecksumFault);
                    EXPECT_EQ(rig.ui.log.size() - said, 1u) << "nothing compared " << where;
                    EXPECT_TRUE(rig.ui.LoggedShowing(LinkLost)) << where;
                    EXPECT_EQ(rig.ui.dialogStatus, ReadFailed) << where;
                } else {
                    EXPECT_EQ(rig.ui.status,
                              blankCheck ? " !! ブランクではありません。" : " !! 一致しません。")
                        << where;
                }
            };
            RunFaulty(s, points, AllKinds, setupBytes + n / 2);
        }
    }
}

TEST(Faults, EraseStopsBeforeErasingWithoutTheCalibration)
{
    for (const char *name : {"PIC12F675", "PIC10F200", "PIC16F882"}) {
        Scenario s;
        s.options = Rig::Options(name);
        s.setup = [](Rig &rig) { rig.sim.Chip().Poke(0x0000, 0x0123); };
        s.run = [](Rig &rig) { return EraseDevice(rig.ctx) ? 1 : 0; };

        Rig clean(s.options);
        s.setup(clean);
        const std::vector<uint16_t> factory = clean.sim.Chip().Calibration();
        ASSERT_TRUE(EraseDevice(clean.ctx));
        const auto commands = Decode(clean.sim.HostBytes());
        // Calibration read: the first two entries; the erase: the third.
        std::vector<size_t> controlEnds;
        for (const HostCommand &c : commands)
            if (c.code == 0x00) controlEnds.push_back(c.end);
        ASSERT_GE(controlEnds.size(), 6u);
        const size_t readEnd = controlEnds[3], eraseEnd = controlEnds[5], n = clean.sim.HostBytes().size();

        s.check = [&](Rig &rig, int result, const std::string &where) {
            EXPECT_EQ(result, 0) << name << " " << where;
            const std::string text =
                " !! キャリブレーションデータを読み出せませんでした。消去を中止しました。";
            EXPECT_EQ(rig.ui.status, text) << name << " " << where;
            EXPECT_TRUE(rig.ui.LoggedShowing(text)) << where;
            EXPECT_FALSE(rig.ui.Logged("デバイスを消去しました。")) << where;
            EXPECT_EQ(rig.sim.Chip().Program(0x0000), 0x0123) << "not erased " << where;
            EXPECT_EQ(rig.sim.Chip().Calibration(), factory) << where;
            EXPECT_EQ(rig.sim.Chip().Cycles(), 0) << where;
        };
        RunFaulty(s, {1, readEnd / 3, readEnd / 2, readEnd - 1},
                  {FaultKind::SilentAfter, FaultKind::HangupAfter, FaultKind::Drop, FaultKind::BadEcho},
                  readEnd);

        // Later faults: success only for an erased chip with its calibration.
        s.check = [&](Rig &rig, int result, const std::string &where) {
            if (result) {
                EXPECT_EQ(rig.ui.status, "デバイスを消去しました。") << where;
                EXPECT_EQ(rig.sim.Chip().Program(0x0000), rig.Row().BlankWord) << name << " " << where;
                EXPECT_EQ(rig.sim.Chip().Calibration(), factory) << name << " " << where;
                return;
            }
            ExpectEraseFailureTold(rig.ui, rig.Row(), factory, std::string(name) + " " + where);
            EXPECT_TRUE(rig.ui.LoggedShowing(LinkLost)) << where;
        };
        const int failures =
            RunFaulty(s, {readEnd + 1, (readEnd + eraseEnd) / 2, eraseEnd - 1, (eraseEnd + n) / 2, n - 1},
                      AllKinds, (readEnd + eraseEnd) / 2);
        EXPECT_GT(failures, 0) << name;

        // A corrupted echo during the erase: reported as failed, with the
        // calibration values read before it in the log. When the programmer
        // took the whole command the link is still in step and the values
        // are put back.
        const std::string firstRead = "アドレス " + Hex(clean.Row().CalibAddress1, 4) +
                                      " からキャリブレーションデータ " + Hex(factory.at(0), 4) +
                                      " を読み出しました。";
        s.check = [&](Rig &rig, int result, const std::string &where) {
            EXPECT_EQ(result, 0) << name << " " << where;
            ExpectEraseFailureTold(rig.ui, rig.Row(), factory, std::string(name) + " " + where);
            EXPECT_TRUE(rig.ui.Logged(firstRead)) << where;
        };
        RunFaulty(s, {readEnd + 2, (readEnd + eraseEnd) / 2, eraseEnd - 1}, {FaultKind::BadEcho});
        s.check = [&](Rig &rig, int result, const std::string &where) {
            EXPECT_EQ(result, 0) << name << " " << where;
            EXPECT_EQ(rig.sim.Chip().Calibration(), factory) << name << " " << where;
        };
        // The last byte of the erase's final timed command (its wait byte).
        RunFaulty(s, {eraseEnd - 2}, {FaultKind::BadEcho});
    }
}

// The simulated programmer falling silent for good after it has sent budget
// bytes, in the middle of whatever it was sending. Counts the reads that
// waited a whole time-out for nothing.
class MutedProgrammer : public SerialBackend {
public:
    MutedProgrammer(SimOptions options, size_t budget) : sim_(std::move(options)), budget_(budget) {}
    int silentReads = 0;

    bool Open(const std::string &path, std::string &error) override { return sim_.Open(path, error); }
    bool Close() override { return sim_.Close(); }
    bool IsValid() const override { return sim_.IsValid(); }
    void ApplyLineSettings() override { sim_.ApplyLineSettings(); }
    void SetTimeouts(int readMs, int writeMs) override { sim_.SetTimeouts(readMs, writeMs); }
    void SetModemLine(ModemLine line, bool on) override { sim_.SetModemLine(line, on); }
    void PurgeOutput() override { sim_.PurgeOutput(); }
    void PurgeInput() override { sim_.PurgeInput(); }
    void ClearErrors() override { sim_.ClearErrors(); }
    size_t Write(const uint8_t *data, size_t n) override { return sim_.Write(data, n); }
    size_t Read(uint8_t *data, size_t n) override
    {
        const size_t got = budget_ ? sim_.Read(data, std::min(n, budget_)) : 0;
        budget_ -= got;
        if (got == 0) ++silentReads;
        return got;
    }
    void Pause(int ms) override { sim_.Pause(ms); }

private:
    SimBackend sim_;
    size_t budget_;
};

TEST(Faults, ReadStopsWaitingOnceTheProgrammerFallsSilentMidStream)
{
    // The budgets end inside the program-memory stream, once between words
    // and once inside a word.
    for (const char *name : {"PIC16F877A", "PIC10F200", "PIC18F452"}) {
        for (bool smallBlock : {false, true}) {
            for (size_t budget : {size_t{301}, size_t{300}}) {
                auto backend = std::make_unique<MutedProgrammer>(Rig::Options(name), budget);
                MutedProgrammer &muted = *backend;
                SerialPort port(std::move(backend));
                TCommand cmd;
                MemoryBuffer buffer;
                RecordingUi ui;
                OperationContext ctx{port, cmd, buffer, ui};
                ctx.device.Pic18 = IsPic18Name(name);
                ctx.device.Index = FindDevice(name);
                ctx.options.smallBlock = smallBlock;
                if (ctx.device.Pic18)
                    buffer.Clear(DeviceTable18[static_cast<size_t>(ctx.device.Index)]);
                else
                    buffer.Clear(DeviceTable[static_cast<size_t>(ctx.device.Index)]);
                ASSERT_EQ(port.OpenPort("COM1"), 0);
                const MemoryBuffer before = buffer;

                const std::string where = std::string(name) + (smallBlock ? " small-block" : "") + " after " +
                                          std::to_string(budget);
                EXPECT_FALSE(ReadDevice(ctx, &ui.main)) << where;
                EXPECT_TRUE(SameBuffer(buffer, before)) << where;
                EXPECT_EQ(ui.status, ReadFailed) << where;
                // The word or byte that did not come, the exit's echo, the
                // wait for anything left on the line, and the exit sent once
                // more on abandoning the read.
                EXPECT_LE(muted.silentReads, 4) << where;
            }
        }
    }
}

// One byte lost in the calibration write-back: where the programmer can be
// brought back between commands, the write-back is done again from a new
// entry and the erase succeeds with the calibration kept; elsewhere the
// values to put back are told.
TEST(Faults, WriteBackIsTriedAgainAfterALostByte)
{
    const std::vector<uint16_t> factory{0x3468, 0x1000};
    SimOptions o = Rig::Options("PIC12F675");
    o.calibration = factory;
    Rig clean(o);
    ASSERT_TRUE(EraseDevice(clean.ctx));
    const size_t n = clean.sim.HostBytes().size();
    int retried = 0;
    for (size_t at = n - 24; at <= n; ++at) {
        SimOptions faulty = o;
        faulty.faults = {{FaultKind::Drop, at}};
        Rig rig(faulty);
        if (EraseDevice(rig.ctx)) {
            EXPECT_EQ(rig.sim.Chip().Calibration(), factory) << "byte " << at << " dropped";
            EXPECT_FALSE(rig.ui.Logged(LinkLost)) << "byte " << at << " dropped";
            retried += rig.sim.HostBytes().size() > n;
        } else {
            ExpectEraseFailureTold(rig.ui, rig.Row(), factory, "byte " + std::to_string(at) + " dropped");
        }
    }
    EXPECT_GT(retried, 0);
}

TEST(Faults, CalibrationChangeIsNotRecordedWhenTheWriteBackFails)
{
    Rig clean("PIC16F684");
    clean.ctx.options.calibChange = true;
    clean.ctx.options.cal1 = 0x2A51;
    ASSERT_TRUE(EraseDevice(clean.ctx));
    const size_t n = clean.sim.HostBytes().size();

    SimOptions o = Rig::Options("PIC16F684");
    o.faults = {{FaultKind::SilentAfter, n - 4}};
    Rig rig(o);
    rig.ctx.options.calibChange = true;
    rig.ctx.options.cal1 = 0x2A51;
    const uint16_t before = rig.buffer.Words[0x2008];
    const OperationResult result = EraseDevice(rig.ctx);
    EXPECT_FALSE(result);
    EXPECT_EQ(rig.ui.status, CalibNotRestored);
    EXPECT_FALSE(result.calibrationReplaced) << "still ticked for another try";
    EXPECT_EQ(rig.buffer.Words[0x2008], before);
    EXPECT_FALSE(rig.ui.Logged("!キャリブレーションデータは入力値に置き換わりました。"));
}

// What came back wrong, told apart where the first failure was seen: the
// later failures of the recovery (and the erase's write-back) do not change
// it. Each fault lands at a fraction of the clean run's host bytes.
TEST(Faults, ALostLinkNamesWhatCameBackWrong)
{
    using Run = std::function<OperationResult(Rig &)>;
    const Run check = [](Rig &rig) { return CheckConnection(rig.ctx); };
    const Run read = [](Rig &rig) { return ReadDevice(rig.ctx, nullptr); };
    const Run config = [](Rig &rig) { return ReadConfigWords(rig.ctx); };
    const Run program = [](Rig &rig) {
        FillBuffer(rig, 3);
        return ProgramDevice(rig.ctx, nullptr);
    };
    const Run erase = [](Rig &rig) { return EraseDevice(rig.ctx); };
    struct Case {
        const char *chip;
        const char *what;
        const Run &run;
        FaultKind kind;
        double at; // of the clean run's host bytes
        Outcome outcome;
        LinkFault fault;
        const char *line; // after the lost-link line; none for silence
    };
    const Case cases[] = {
        {"PIC18F4550", "check", check, FaultKind::BadEcho, 0.75, Outcome::LinkLost, LinkFault::Echo,
         EchoFault},
        {"PIC18F4550", "check", check, FaultKind::BadSum, 0.75, Outcome::LinkLost, LinkFault::Checksum,
         ChecksumFault},
        {"PIC16F628A", "check", check, FaultKind::SilentAfter, 0.75, Outcome::LinkLost, LinkFault::Silent,
         nullptr},
        {"PIC16F877A", "program", program, FaultKind::BadEcho, 0.5, Outcome::LinkLost, LinkFault::Echo,
         EchoFault},
        {"PIC16F877A", "program", program, FaultKind::BadSum, 0.5, Outcome::LinkLost, LinkFault::Checksum,
         ChecksumFault},
        {"PIC16F877A", "program", program, FaultKind::HangupAfter, 0.5, Outcome::LinkLost, LinkFault::Silent,
         nullptr},
        {"PIC18F452", "read", read, FaultKind::BadSum, 0.5, Outcome::LinkLost, LinkFault::Checksum,
         ChecksumFault},
        {"PIC16F877A", "read", read, FaultKind::SilentAfter, 0.5, Outcome::LinkLost, LinkFault::Silent,
         nullptr},
        {"PIC16F877A", "config", config, FaultKind::BadEcho, 0.5, Outcome::LinkLost, LinkFault::Echo,
         EchoFault},
        // The write-back after the erase falls silent; the erase itself went
        // through.
        {"PIC12F675", "erase", erase, FaultKind::SilentAfter, 0.97, Outcome::CalibrationNotRestored,
         LinkFault::Silent, nullptr},
        {"PIC12F675", "erase", erase, FaultKind::BadEcho, 0.97, Outcome::CalibrationNotRestored,
         LinkFault::Echo, EchoFault},
    };
    for (const Case &c : cases) {
        Rig clean(c.chip);
        ASSERT_TRUE(c.run(clean)) << c.chip << " " << c.what;
        SimOptions o = Rig::Options(c.chip);
        const auto at = static_cast<uint64_t>(c.at * static_cast<double>(clean.sim.HostBytes().size()));
        o.faults = {{c.kind, at}};
        Rig rig(o);
        const OperationResult result = c.run(rig);
        const std::string where = std::string(c.chip) + " " + c.what + " " + Where(c.kind, at);
        EXPECT_EQ(result.kind, c.outcome) << where;
        EXPECT_EQ(result.linkFault, c.fault) << where;
        const std::vector<std::string> texts = rig.ui.Texts();
        const auto lost = std::find(texts.begin(), texts.end(), LinkLost);
        ASSERT_NE(lost, texts.end()) << where;
        if (c.line) {
            ASSERT_NE(lost + 1, texts.end()) << where;
            EXPECT_EQ(lost[1], c.line) << where;
        }
        EXPECT_EQ(rig.ui.Logged(EchoFault), c.line == EchoFault) << where;
        EXPECT_EQ(rig.ui.Logged(ChecksumFault), c.line == ChecksumFault) << where;
    }
}

// A programmer gone quiet in the middle of a configuration read cannot be
// taken out of programming mode: the user is told to power-cycle it.
TEST(Faults, ConfigurationReadAsksForAPowerCycleWhenStuck)
{
    for (const char *name : {"PIC16F877A", "PIC18F452"}) {
        Rig clean(name);
        ASSERT_TRUE(ReadConfigWords(clean.ctx));
        SimOptions o = Rig::Options(name);
        o.faults = {{FaultKind::SilentAfter, clean.sim.HostBytes().size() / 2}};
        Rig rig(o);
        const OperationResult result = ReadConfigWords(rig.ctx);
        EXPECT_EQ(result.kind, Outcome::LinkLost) << name;
        EXPECT_TRUE(result.wedged) << name;
        EXPECT_TRUE(rig.ui.LoggedShowing(PowerCycle)) << name;
    }
}

} // namespace
