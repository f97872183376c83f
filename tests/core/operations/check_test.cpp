// The connection and DEVICE-ID check, the PIC18 gate, and what verify and
// blank check report.
#include <gtest/gtest.h>

#include "support/textutil.h"

#include "ops_rig.h"

namespace {

TEST(CheckConnection, NoPortSendsNothing)
{
    Rig rig(Rig::Options("PIC16F628A"), {}, false);
    rig.ctx.surface = Surface::ProgressDialog;
    EXPECT_EQ(CheckConnection(rig.ctx).refusal, Refusal::NoPort);
    EXPECT_EQ(rig.ui.Texts(), (std::vector<std::string>{"COMポートがオープンされていません。",
                                                        "他のアプリケーションがポートを使用していないかチェッ"
                                                        "クしてOptionタブからポートをオープンしてください"}));
    EXPECT_TRUE(rig.ui.log[0].showingMessages);
    EXPECT_EQ(rig.ui.status, " !! 接続を確認してポートをオープンしてください。");
    EXPECT_EQ(rig.ui.dialogStatus, " !! ポートをオープンしてください。");
    EXPECT_TRUE(rig.sim.HostBytes().empty());
}

TEST(CheckConnection, ProgrammerOfAnotherModelOrSilent)
{
    SimOptions other = Rig::Options("PIC16F628A"), silent = other;
    other.versionText = "Vex";
    silent.silent = true;
    for (const SimOptions &o : {other, silent}) {
        Rig rig(o, {}, false);
        rig.port.OpenPort("COM3");
        EXPECT_EQ(CheckConnection(rig.ctx).refusal, Refusal::NoProgrammer);
        EXPECT_EQ(rig.ui.Texts(),
                  std::vector<std::string>{"COM3にプログラマーの接続を確認できませんでした。"});
        EXPECT_TRUE(rig.ui.log[0].showingMessages);
        EXPECT_EQ(rig.ui.status, " !! 接続を確認してください");
        EXPECT_EQ(rig.ui.dialogStatus, "") << "no extra target was handed";
        EXPECT_TRUE(rig.port.IsOpen());
    }
}

TEST(CheckConnection, RefusalsAfterTheProgrammerAnswered)
{
    struct Case {
        const char *chip, *selected;
        Refusal code;
        const char *log, *status;
    };
    for (const Case &c : {Case{"PIC16F628A", "", Refusal::NoDevice, "DEVICE が選択されていません。",
                               " !! デバイスを選択してください。"},
                          Case{"none", "PIC16F628A", Refusal::NoDeviceId, "DEVICEIDを確認できませんでした。",
                               " !! DEVICE-IDを確認できませんでした。"},
                          Case{"none", "PIC18F4550", Refusal::NoDeviceId, "DEVICEIDを確認できませんでした。",
                               " !! DEVICE-IDを確認できませんでした。"},
                          Case{"PIC16F84A", "PIC16F628A", Refusal::WrongDevice, "DEVICEIDが異なります。",
                               " !! DEVICE-IDが異なります。"},
                          Case{"PIC18F452", "PIC18F4550", Refusal::WrongDevice, "DEVICEIDが異なります。",
                               " !! DEVICE-IDが異なります。"}}) {
        Rig rig(Rig::Options(c.chip), *c.selected ? c.selected : c.chip);
        if (!*c.selected) rig.ctx.device.Index = -1;
        rig.ctx.surface = Surface::ProgressDialog;
        EXPECT_EQ(CheckConnection(rig.ctx).refusal, c.code) << c.chip << " as " << c.selected;
        EXPECT_EQ(rig.ui.Texts(), std::vector<std::string>{c.log});
        EXPECT_TRUE(rig.ui.log[0].showingMessages);
        EXPECT_EQ(rig.ui.status, c.status);
        EXPECT_EQ(rig.ui.dialogStatus, c.status);
    }
}

TEST(CheckConnection, PassesIgnoringRevisionBitsOrWithoutAnId)
{
    SimOptions o = Rig::Options("PIC16F628A"), o18 = Rig::Options("PIC18F4550");
    o.revision = 6;      // the chip answers 0x1066
    o18.revision = 0x0A; // bytes 0x0A, 0x12
    Rig rig(o), rig18(o18), rig84("PIC16F84");
    EXPECT_TRUE(CheckConnection(rig.ctx));
    EXPECT_EQ(Entries(Decode(rig.sim.HostBytes())).size(), 2u) << "each ID read is an entry of its own";
    EXPECT_TRUE(rig.ui.log.empty());
    EXPECT_TRUE(CheckConnection(rig18.ctx));
    // PIC16F84 has no DEVICE-ID: the version query is all that is sent.
    EXPECT_TRUE(CheckConnection(rig84.ctx));
    EXPECT_EQ(Decode(rig84.sim.HostBytes()).size(), 1u);
}

// A programmer that falls silent during either ID read has lost the link:
// never a wrong or missing chip, whatever the bits that did arrive.
TEST(CheckConnection, LinkLostDuringAnIdReadIsALostLink)
{
    for (const char *chip : {"PIC16F628A", "PIC18F4550"}) {
        Rig clean(chip);
        ASSERT_TRUE(CheckConnection(clean.ctx));
        const uint64_t n = clean.sim.HostBytes().size(), version = 2;
        for (uint64_t at : {version + 3, (version + n) / 2 + 2, n - 1}) {
            SimOptions o = Rig::Options(chip);
            o.faults = {{FaultKind::SilentAfter, at}};
            Rig rig(o);
            EXPECT_EQ(CheckConnection(rig.ctx).kind, Outcome::LinkLost) << chip << " silent after " << at;
            EXPECT_TRUE(rig.ui.LoggedShowing("プログラマーからの応答が途切れました。")) << chip << " " << at;
            EXPECT_FALSE(rig.ui.Logged("DEVICEIDが異なります。")) << chip << " " << at;
            EXPECT_EQ(rig.ui.status, " !! デバイスから読み込めませんでした。") << chip << " " << at;
        }
    }
}

// A programmer left holding part of a command by a host that was killed
// answers the check once it has been brought back.
TEST(CheckConnection, BringsBackAProgrammerLeftInACommand)
{
    for (const std::vector<uint8_t> &half : {std::vector<uint8_t>{0x04}, std::vector<uint8_t>{0x04, 0x00},
                                             std::vector<uint8_t>{0x08, 0x17, 0x00, 0x00}}) {
        Rig rig("PIC16F628A");
        rig.port.Write(half.data(), half.size());
        rig.port.DrainInput();
        EXPECT_TRUE(CheckConnection(rig.ctx)) << half.size() << " bytes of a command";
    }
}

TEST(Pic18Gate, FirmwareWithoutPic18RefusesEveryOperation)
{
    SimOptions o = Rig::Options("PIC18F4550");
    o.pic18 = false;
    Rig rig(o);
    std::mt19937 rng(1);
    FillRandom(rig.buffer, rig.Row18(), rng);
    const MemoryBuffer before = rig.buffer;

    EXPECT_FALSE(ReadDevice(rig.ctx, &rig.ui.dialog));
    EXPECT_EQ(rig.ui.dialogStatus, " PIC18をサポートしていません！");
    EXPECT_FALSE(ProgramDevice(rig.ctx, nullptr).Ok() || VerifyDevice(rig.ctx, nullptr).Ok() ||
                 BlankCheckDevice(rig.ctx, nullptr).Ok() || EraseDevice(rig.ctx).Ok());
    EXPECT_EQ(rig.ui.status, " PIC18をサポートしていません！");
    ASSERT_EQ(rig.ui.log.size(), 5u);
    for (const LogLine &line : rig.ui.log) {
        EXPECT_EQ(line.text, "このファームウェアはPIC18をサポートしていません。！");
        EXPECT_TRUE(line.showingMessages);
    }
    for (const HostCommand &c : Decode(rig.sim.HostBytes()))
        EXPECT_EQ(c.code, 0x0A) << "only the query is sent";
    EXPECT_EQ(rig.buffer.Program18, before.Program18);
    EXPECT_EQ(rig.ui.redraws, 0);
}

// ---- verify and blank check reports ----

// A chip programmed from a random buffer; the test then changes one side.
struct Programmed : Rig {
    explicit Programmed(const std::string &chip) : Rig(chip)
    {
        std::mt19937 rng(3);
        if (ctx.device.Pic18)
            FillRandom(buffer, Row18(), rng);
        else
            FillRandom(buffer, Row(), rng);
        EXPECT_TRUE(ProgramDevice(ctx, nullptr));
        ui.log.clear();
    }
};

TEST(Verify, FirstDifferenceOfEachAreaWithItsAddressWidth)
{
    Programmed rig("PIC16F877A");
    for (uint32_t a : {0x1A2u, 0x1A5u, EEDataAreaStart + 5, 0x2007u})
        rig.buffer.Words[a] ^= 0x0010;
    const uint16_t mask = rig.Row().ConfigMask1, file = rig.buffer.Words[0x2007] & mask;
    rig.ctx.surface = Surface::ProgressDialog;
    EXPECT_FALSE(VerifyDevice(rig.ctx, &rig.ui.dialog));
    // The first difference of each memory as it has always been named, then
    // per memory the count and the differences with both values.
    EXPECT_EQ(rig.ui.Texts(), (std::vector<std::string>{"Program Memory $01A2 が一致しません。",
                                                        "EEData Memory 0005が一致しません。",
                                                        "Configurationが一致しません。",
                                                        "Program Memory: 2 ワードが一致しません。",
                                                        "  0x01A2: file 3FEF, chip 3FFF",
                                                        "  0x01A5: file 3FEF, chip 3FFF",
                                                        "EEData Memory: 1 バイトが一致しません。",
                                                        "  0x0005: file 22, chip 32",
                                                        "Configuration: 1 ワードが一致しません。",
                                                        "  0x2007: file " + Hex(file, 4) + ", chip " +
                                                            Hex(file ^ 0x0010, 4)}));
    for (const LogLine &line : rig.ui.log)
        EXPECT_TRUE(line.showingMessages);
    EXPECT_EQ(rig.ui.status, " !! 一致しません。");
    EXPECT_EQ(rig.ui.dialogStatus, " !! 一致しません。");

    Programmed rig18("PIC18F452");
    rig18.buffer.Program18[0x1A2] ^= 1;
    rig18.buffer.Config18[6] ^= 0x80;
    EXPECT_FALSE(VerifyDevice(rig18.ctx, &rig18.ui.main));
    const uint8_t code = rig18.buffer.Program18[0x1A2];
    const uint8_t config = rig18.buffer.Config18[6] & rig18.Row18().ConfigMask[6];
    EXPECT_EQ(rig18.ui.Texts(), (std::vector<std::string>{"Program Memory $0001A2 が一致しません。",
                                                          "Configuration Word $300006 が一致しません。",
                                                          "Program Memory: 1 バイトが一致しません。",
                                                          "  0x0001A2: file " + Hex(code, 2) + ", chip " +
                                                              Hex(code ^ 1, 2),
                                                          "Configuration: 1 バイトが一致しません。",
                                                          "  0x300006: file " + Hex(config, 2) + ", chip " +
                                                              Hex(config ^ 0x80, 2)}));
    EXPECT_EQ(rig18.ui.dialogStatus, "") << "the main bar does not reach the dialog";
}

TEST(Verify, ComparesThroughTheMasks)
{
    // The calibration instruction and the band-gap bits belong to the chip.
    Programmed rig("PIC12F675");
    rig.buffer.Words[0x03FF] = 0x3400;
    rig.buffer.Words[0x2007] ^= 0x3000;
    EXPECT_TRUE(VerifyDevice(rig.ctx, nullptr)) << testing::PrintToString(rig.ui.Texts());

    // Without calibration every word counts, the last one included.
    Programmed rig84("PIC16F84");
    rig84.buffer.Words[0x03FF] ^= 1;
    EXPECT_FALSE(VerifyDevice(rig84.ctx, nullptr));
    EXPECT_TRUE(rig84.ui.Logged("Program Memory $03FF が一致しません。"));

    // PIC18F452 CONFIG2H implements 0x0F: other bits of the buffer byte do not count.
    Programmed rig18("PIC18F452");
    rig18.buffer.Config18[3] = 0x0F;
    ASSERT_TRUE(ProgramDevice(rig18.ctx, nullptr));
    rig18.buffer.Config18[3] = 0x1F;
    EXPECT_TRUE(VerifyDevice(rig18.ctx, nullptr));
}

// The simulated chip stores only implemented configuration bits; this line
// sets bit 4 of CONFIG2H (0x300003) on its way to the host.
class UnmaskedConfigLine : public SimBackend {
public:
    using SimBackend::SimBackend;
    bool tamper = false;
    size_t Write(const uint8_t *data, size_t n) override
    {
        if (tamper && n == 3 && data[0] == 0x00 && data[1] == 0x00 && data[2] == 0x30)
            reads_ = 0; // table pointer 0x300000
        return SimBackend::Write(data, n);
    }
    size_t Read(uint8_t *data, size_t n) override
    {
        const size_t got = SimBackend::Read(data, n);
        // After the pointer's checksum and the table read's echo come the bytes.
        if (reads_ >= 0 && ++reads_ == 2 + 4 && got == 1) data[0] |= 0x10;
        return got;
    }

private:
    int reads_ = -1;
};

TEST(Verify, ChipConfigurationByteIsNotMasked)
{
    auto line = std::make_unique<UnmaskedConfigLine>(Rig::Options("PIC18F452"));
    UnmaskedConfigLine &tampering = *line;
    SerialPort port(std::move(line));
    port.OpenPort("COM1");
    TCommand cmd;
    MemoryBuffer buffer;
    RecordingUi ui;
    OperationContext ctx{port, cmd, buffer, ui};
    ctx.device.Pic18 = true;
    ctx.device.Index = FindDevice("PIC18F452");
    buffer.Clear(DeviceTable18[static_cast<size_t>(ctx.device.Index)]);
    buffer.Config18[3] = 0x0F;
    ASSERT_TRUE(ProgramDevice(ctx, nullptr));
    tampering.tamper = true;
    EXPECT_FALSE(VerifyDevice(ctx, nullptr)) << "buffer 0x0F, chip 0x1F";
    EXPECT_TRUE(ui.Logged("Configuration Word $300003 が一致しません。"));
}

TEST(Verify, UserIdsOnlyWhenTicked)
{
    for (const char *chip : {"PIC16F628A", "PIC10F200", "PIC18F2550"}) {
        Programmed rig(chip);
        if (rig.ctx.device.Pic18)
            rig.buffer.Id18[2] ^= 1;
        else
            rig.buffer.Words[rig.Row().UserIdAddress + 2] ^= 1;
        EXPECT_TRUE(VerifyDevice(rig.ctx, nullptr)) << chip;
        EXPECT_EQ(rig.ui.log.back().text, "ベリファイOK。一致しました。");
        EXPECT_FALSE(rig.ui.log.back().showingMessages);
        rig.ctx.options.verifyUserId = true;
        EXPECT_FALSE(VerifyDevice(rig.ctx, nullptr)) << chip;
        EXPECT_TRUE(rig.ui.Logged("User-ID が一致しません。")) << chip;
        const bool pic18 = rig.ctx.device.Pic18;
        const unsigned id = (pic18 ? rig.buffer.Id18[2] : rig.buffer.Words[rig.Row().UserIdAddress + 2]) & 0xF;
        EXPECT_EQ(rig.ui.log.back().text,
                  "  0x0002: file " + Hex(id, pic18 ? 2 : 4) + ", chip " + Hex(id ^ 1, pic18 ? 2 : 4))
            << chip;
        EXPECT_TRUE(rig.ui.log.back().showingMessages);
    }
}

TEST(BlankCheck, ReportsTheFirstNonBlankPlaceOfEachArea)
{
    Programmed rig("PIC16F877A");
    rig.ctx.surface = Surface::ProgressDialog;
    EXPECT_FALSE(BlankCheckDevice(rig.ctx, &rig.ui.dialog));
    EXPECT_EQ(rig.ui.Texts(), (std::vector<std::string>{"Program Memory $0000 がブランクではありません。",
                                                        "EEData Memory 0000がブランクではありません。",
                                                        "Configurationがブランクではありません。"}));
    EXPECT_EQ(rig.ui.dialogStatus, " !! ブランクではありません。");

    // A programmed configuration word alone is enough.
    Rig rig200("PIC10F200");
    rig200.sim.Chip().Poke(Config12BitWord, 0x0FEB);
    EXPECT_FALSE(BlankCheckDevice(rig200.ctx, nullptr));
    EXPECT_EQ(rig200.ui.Texts(), std::vector<std::string>{"Configurationがブランクではありません。"});
    EXPECT_EQ(rig200.ui.status, " !! ブランクではありません。");

    Rig rig18("PIC18F1320");
    rig18.sim.Chip().Poke(0x123, 0x00);
    EXPECT_FALSE(BlankCheckDevice(rig18.ctx, nullptr));
    EXPECT_EQ(rig18.ui.Texts(), std::vector<std::string>{"Program Memory $0123 がブランクではありません。"});
}

} // namespace
