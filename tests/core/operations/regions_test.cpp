// The memories a command touches, a file that gives no configuration, and
// the order a protecting configuration is written in, over the in-process
// simulator.
#include <gtest/gtest.h>

#include "configbits/ConfigBits.h"
#include "image/hex_load.h"
#include "operations/chain.h"
#include "operations/regions.h"
#include "ops_rig.h"
#include "test_files.h"

TEST(Regions, NamesParseToTheirBits)
{
    const struct {
        const char *text;
        std::optional<unsigned> regions;
    } cases[] = {
        {"code", RegionCode},
        {"eeprom,config", RegionEEData | RegionConfig},
        {"config,id,eeprom,code", RegionAll},
        {"code,code", RegionCode},
        {"", std::nullopt},
        {"code,", std::nullopt},
        {"flash", std::nullopt},
        {"Code", std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ParseRegions(c.text), c.regions) << c.text;
}

TEST(Regions, TheLoadTellsWhetherTheFileSetTheConfiguration)
{
    const std::string end = "\n:00000001FF\n";
    const struct {
        const char *device;
        std::string text;
        bool set;
    } cases[] = {
        {"PIC16F877A", Record(0x400E, 0, {0x72, 0x3F}) + end, true},
        {"PIC16F877A", Record(0x0000, 0, {0x85, 0x30}) + "\n" + Record(0x4200, 0, {1, 0}) + end, false},
        {"PIC16F877A", Record(0x4000, 0, {1, 0, 2, 0}) + end, false}, // User-IDs only
        {"PIC16F88", Record(0x4010, 0, {0xFF, 0x3F}) + end, true},    // CONFIG2 alone
        {"PIC10F200", Record(0x1FFE, 0, {0xEB, 0x0F}) + end, true},
        {"PIC10F200", Record(0x400E, 0, {0xEB, 0x0F}) + end, false}, // no 12-bit configuration there
        {"PIC18F4550", Record(0, 4, {0x00, 0x30}) + "\n" + Record(0x0000, 0, {0x24}) + end, true},
        {"PIC18F4550", Record(0x0000, 0, {0x24}) + end, false},
    };
    for (const auto &c : cases) {
        MemoryBuffer buffer;
        LoadOutcome outcome;
        const std::string name = c.device;
        outcome.Device = {IsPic18Name(name), FindDevice(name)};
        LoadNewText(c.text, buffer, false, outcome);
        EXPECT_EQ(outcome.ConfigurationSet, c.set) << c.device << " " << c.text;
    }
}

TEST(Regions, ProtectionIsReadFromTheProtectionFields)
{
    const struct {
        uint16_t config;
        bool protects;
    } cases[] = {{0x3FFF, false}, {0x3F72, false}, {0x1F72, true} /* CP */, {0x3E72, true} /* CPD */};
    Rig rig("PIC16F877A");
    if (!ConfigLayoutFor("PIC16F877A", false)) GTEST_SKIP() << "no configuration names installed";
    for (const auto &c : cases) {
        rig.buffer.Words[0x2007] = c.config;
        EXPECT_EQ(ConfigurationProtects(rig.ctx.device, rig.buffer), c.protects) << std::hex << c.config;
    }
}

namespace {

bool Protected(DeviceSelection, const MemoryBuffer &)
{
    return true;
}

// Notes the chip's configuration word when the first verify begins.
struct WatchingUi : RecordingUi {
    std::function<void()> atFirstVerify;
    std::vector<std::string> statuses;
    void SetStatus(const std::string &text) override
    {
        RecordingUi::SetStatus(text);
        statuses.push_back(text);
        if (text.find("ベリファイ中") != std::string::npos && atFirstVerify) {
            atFirstVerify();
            atFirstVerify = nullptr;
        }
    }
};

} // namespace

TEST(Regions, AProtectingConfigurationIsWrittenAndVerifiedLast)
{
    using enum Step;
    const struct {
        const char *what;
        bool verify;
        unsigned regions;
        std::vector<Step> ran;
    } cases[] = {
        {"program and verify", true, RegionAll, {Program, Verify, Program, Verify}},
        {"without verify", false, RegionAll, {Program, Program}},
        {"the configuration alone", true, RegionConfig, {Program, Verify}},
    };
    for (const auto &c : cases) {
        Rig rig("PIC16F877A");
        WatchingUi ui;
        OperationContext ctx{rig.port, rig.cmd, rig.buffer, ui, rig.ctx.device};
        ctx.options.protects = Protected;
        ctx.options.regions = c.regions;
        for (uint32_t k = 0; k < 32; ++k)
            rig.buffer.Words[k] = static_cast<uint16_t>(0x3000 + k);
        rig.buffer.Words[0x2007] = 0x1F72;
        std::optional<uint16_t> configAtVerify;
        ui.atFirstVerify = [&] { configAtVerify = rig.sim.Chip().Peek(0x2007) & 0x3FFF; };
        ChainRun run;
        run.verify = c.verify;
        const ChainResult result = RunChain(ctx, Chain::ProgramVerify, run);
        EXPECT_TRUE(result.Ok()) << c.what << ": " << ui.status;
        EXPECT_EQ(result.ran, c.ran) << c.what;
        EXPECT_EQ(rig.sim.Chip().Peek(0x2007) & 0x3FFF, 0x1F72) << c.what;
        EXPECT_EQ(ctx.options.regions, c.regions) << c.what << ": the caller's choice is left as it was";
        if (c.regions == RegionAll) {
            EXPECT_EQ(rig.sim.Chip().Peek(5), 0x3005) << c.what;
            EXPECT_TRUE(ui.Logged("コードプロテクトが有効なため、Configurationは他のメモリーのベリファイ後に書き込みます。"))
                << c.what;
        }
        if (c.verify && c.regions == RegionAll) {
            ASSERT_TRUE(configAtVerify) << c.what;
            EXPECT_EQ(*configAtVerify, 0x3FFF) << c.what << ": memories verified before the configuration";
            EXPECT_NE(std::find(ui.statuses.begin(), ui.statuses.end(), "ベリファイOK。　Configurationを書込み中…"),
                      ui.statuses.end());
        }
    }
}

TEST(Regions, AReadOfAProtectedChipSaysSo)
{
    for (const bool protects : {false, true}) {
        Rig rig("PIC16F877A");
        rig.ctx.options.protects = protects ? Protected : nullptr;
        const OperationResult read = ReadDevice(rig.ctx, nullptr);
        EXPECT_TRUE(read.Ok());
        EXPECT_EQ(read.readProtected, protects);
        EXPECT_EQ(rig.ui.LoggedShowing("!コードプロテクトが有効です。保護されたメモリーは 0 として読み出されています。"),
                  protects);
    }
}

TEST(Regions, KeptEepromSurvivesTheErase)
{
    Rig rig("PIC16F877A");
    rig.sim.Chip().SetEeprom(3, 0x42);
    ASSERT_TRUE(ReadEEData(rig.ctx));
    EXPECT_EQ(rig.buffer.Words[EEDataAreaStart + 3] & 0xFF, 0x42);
    ASSERT_TRUE(RunChain(rig.ctx, Chain::EraseBlankCheckProgramVerify, {}).Ok()) << rig.ui.status;
    EXPECT_EQ(rig.sim.Chip().Eeprom(3), 0x42);
}
