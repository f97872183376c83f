// The simulated board at byte level: raw bytes in, echoes, checksums and
// replies out, on the virtual clock.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "SimBackend.h"

using Bytes = std::vector<uint8_t>;

namespace {

struct Board {
    SimBackend sim;
    explicit Board(SimOptions options = {}) : sim(std::move(options))
    {
        std::string error;
        sim.Open("sim", error);
    }
    // Writes the bytes in one run and reads up to `expect` bytes back.
    Bytes Talk(const Bytes &out, size_t expect)
    {
        sim.Write(out.data(), out.size());
        Bytes in(expect);
        in.resize(sim.Read(in.data(), expect));
        return in;
    }
    // Byte-by-byte handshake: each byte must come back before the next goes.
    bool Handshake(const Bytes &out)
    {
        for (uint8_t b : out)
            if (Talk({b}, 1) != Bytes{b}) return false;
        return true;
    }
};

const Bytes TestBlock = {0x00, 0x01, 0x02, 0x03, 0xFF, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C};

} // namespace

TEST(Firmware, VersionQueryRepliesWithTextAndNul)
{
    Board b;
    b.sim.SetTimeouts(20, 200);
    ASSERT_TRUE(b.Handshake({0x00, 0x00}));
    const Bytes reply = b.Talk({}, 32);
    const std::string text(reply.begin(), reply.end());
    EXPECT_EQ(text, std::string(DefaultVersionText) + '\0');
    EXPECT_EQ(text.rfind("Vexa Ver.", 0), 0u);
}

TEST(Firmware, VersionReplyPaddedToThirtyTwoBytesAndNeverLonger)
{
    const std::string text = DefaultVersionText, long40(40, 'L');
    struct Case {
        std::string text;
        std::optional<uint8_t> pad;
        std::string reply;
    } cases[] = {
        {text, 0x00, text + std::string(32 - text.size(), '\0')},
        {text, 0x20, text + '\0' + std::string(31 - text.size(), ' ')},
        {std::string(31, 'T'), 0xFF, std::string(31, 'T') + '\0'},
        {long40, 0x20, long40.substr(0, 32)},
        {long40, std::nullopt, long40.substr(0, 32)},
    };
    for (const Case &c : cases) {
        Board b(SimOptions{.versionText = c.text, .versionPad = c.pad});
        b.sim.SetTimeouts(20, 200);
        ASSERT_TRUE(b.Handshake({0x00, 0x00}));
        const Bytes reply = b.Talk({}, 64);
        EXPECT_EQ(std::string(reply.begin(), reply.end()), c.reply) << c.text << " " << c.pad.value_or(0);
    }
}

TEST(Firmware, ShortReplyCostsTheReadTimeoutOnlyInVirtualTime)
{
    Board b;
    b.sim.SetTimeouts(20, 200);
    b.Handshake({0x00, 0x00});
    const SimTime before = b.sim.Now();
    b.Talk({}, 32);
    // The reply is shorter than 32 bytes, so the read waits out its 20 ms.
    EXPECT_EQ(b.sim.Now() - before, 20 * 1000000);
}

TEST(Firmware, WorkedExchangesOfTheHandshakeCommands)
{
    Board b;
    ASSERT_TRUE(b.Handshake({0x00, 0x01}));             // enter programming mode
    ASSERT_TRUE(b.Handshake({0x04, 0x02, 0x34, 0x12})); // load program word 0x1234
    ASSERT_TRUE(b.Handshake({0x06, 0x06, 0x2C, 0x01})); // 300 increments
    ASSERT_TRUE(b.Handshake({0x02}));
    // Word 300 is still erased: the read answers the command and 0x3FFF.
    EXPECT_EQ(b.Talk({0x04}, 3), (Bytes{0x04, 0xFF, 0x3F}));
    EXPECT_EQ(b.sim.Pic16().AddressCounter(), 300u);
}

TEST(Firmware, BlockCommandsAnswerTheAdditiveChecksum)
{
    Board b(SimOptions{.chip = "PIC18F452"});
    ASSERT_TRUE(b.Handshake({0x0B}));
    EXPECT_EQ(b.Talk({0x00, 0x00, 0x30}, 1), Bytes{0x30});
    ASSERT_TRUE(b.Handshake({0x09}));
    EXPECT_EQ(b.Talk({0x0F, 0x34, 0x12, 0x00, 0x00}, 1), Bytes{0x55});
    ASSERT_TRUE(b.Handshake({0x0E}));
    EXPECT_EQ(b.Talk({0xFF, 0x02}, 1), Bytes{0x01});
}

TEST(Firmware, RowWriteFormsOfEachVariant)
{
    struct Case {
        RowWriteForms form;
        bool knows08, knows15;
    };
    for (Case c : {Case{RowWriteForms::Both, true, true}, Case{RowWriteForms::Row08, true, false},
                   Case{RowWriteForms::Row15, false, true}, Case{RowWriteForms::None, false, false}}) {
        for (uint8_t code : {uint8_t{0x08}, uint8_t{0x15}}) {
            Board b(SimOptions{.firmware = c.form});
            const bool knows = code == 0x08 ? c.knows08 : c.knows15;
            EXPECT_EQ(b.Talk({code}, 1), knows ? Bytes{code} : Bytes{}) << int(c.form) << " " << int(code);
            if (knows) {
                EXPECT_EQ(b.Talk(TestBlock, 1), Bytes{0x49});
            }
        }
    }
}

TEST(Firmware, TestBlockOutsideProgrammingModeLeavesTheChipAlone)
{
    Board b;
    const std::vector<uint16_t> calibration = b.sim.Chip().Calibration();
    b.Talk({0x08}, 1);
    b.Talk(TestBlock, 1);
    EXPECT_EQ(b.sim.Chip().Cycles(), 0);
    EXPECT_EQ(b.sim.Chip().Peek(0x2000), 0x3FFF);
}

TEST(Firmware, QueryAndPic18CommandsDependOnPic18Support)
{
    Board with;
    EXPECT_EQ(with.Talk({0x0A}, 1), Bytes{0x0A});
    EXPECT_EQ(with.Talk({0x02}, 1).size(), 1u);

    Board without(SimOptions{.pic18 = false});
    for (uint8_t code = 0x09; code <= 0x10; ++code)
        EXPECT_EQ(without.Talk({code}, 1), Bytes{}) << int(code);
}

TEST(Firmware, EepromWriteEchoesTheCellReadBack)
{
    Board b(SimOptions{.chip = "PIC18F4550"});
    // Outside programming mode nothing is written, so the echo differs.
    ASSERT_TRUE(b.Handshake({0x10}));
    EXPECT_EQ(b.Talk({0x5A}, 1), Bytes{0x00});
    ASSERT_TRUE(b.Handshake({0x00, 0x01, 0x10}));
    EXPECT_EQ(b.Talk({0x5A}, 1), Bytes{0x5A});
    EXPECT_EQ(b.sim.Chip().Eeprom(0), 0x5A);

    Board noEeprom(SimOptions{.chip = "PIC18F2450"});
    ASSERT_TRUE(noEeprom.Handshake({0x00, 0x01, 0x10}));
    EXPECT_EQ(noEeprom.Talk({0x5A}, 1), Bytes{0x00});
}

TEST(Firmware, SilentBoardAndWrongVersionText)
{
    Board silent(SimOptions{.silent = true});
    EXPECT_EQ(silent.Talk({0x00}, 1), Bytes{});
    EXPECT_EQ(silent.Talk({0x00}, 32), Bytes{});

    Board other(SimOptions{.versionText = "Vexa 2"});
    other.Handshake({0x00, 0x00});
    const Bytes reply = other.Talk({}, 32);
    EXPECT_EQ(std::string(reply.begin(), reply.end()), std::string("Vexa 2") + '\0');
}

TEST(Firmware, FaultsCountBytesFromTheHost)
{
    {
        Board b(SimOptions{.faults = {{FaultKind::Drop, 2}}});
        EXPECT_EQ(b.Talk({0x01}, 1), Bytes{0x01});
        EXPECT_EQ(b.Talk({0x06}, 1), Bytes{}); // lost on the way in
        EXPECT_EQ(b.Talk({0x06}, 1), Bytes{0x06});
    }
    {
        Board b(SimOptions{.faults = {{FaultKind::BadEcho, 3}}});
        EXPECT_TRUE(b.Handshake({0x04, 0x02}));
        EXPECT_EQ(b.Talk({0x34}, 1), Bytes{0xCB});
        EXPECT_EQ(b.Talk({0x12}, 1), Bytes{0x12}); // only once
    }
    {
        Board b(SimOptions{.chip = "PIC18F452", .faults = {{FaultKind::BadSum, 1}}});
        b.Talk({0x0B}, 1);
        EXPECT_EQ(b.Talk({0x00, 0x00, 0x30}, 1), Bytes{0x31});
        b.Talk({0x0B}, 1);
        EXPECT_EQ(b.Talk({0x00, 0x00, 0x30}, 1), Bytes{0x30});
    }
    {
        Board b(SimOptions{.faults = {{FaultKind::SilentAfter, 2}}});
        EXPECT_TRUE(b.Handshake({0x01, 0x06}));
        EXPECT_EQ(b.Talk({0x01}, 1), Bytes{});
        EXPECT_TRUE(b.sim.IsValid());
    }
    {
        Board b(SimOptions{.faults = {{FaultKind::HangupAfter, 2}}});
        EXPECT_TRUE(b.Handshake({0x01, 0x06}));
        b.Talk({0x01}, 1);
        // A hung-up line fails at once instead of waiting out the time-out.
        const SimTime before = b.sim.Now();
        uint8_t byte;
        EXPECT_EQ(b.sim.Read(&byte, 1), 0u);
        EXPECT_EQ(b.sim.Now(), before);
        EXPECT_EQ(b.sim.Write(&byte, 1), 0u);
    }
}

TEST(Firmware, ParseFaultAcceptsOnlyTheFiveKinds)
{
    SimFault f;
    std::string error;
    EXPECT_TRUE(ParseFault("hangup-after=120", f, error));
    EXPECT_EQ(f.kind, FaultKind::HangupAfter);
    EXPECT_EQ(f.count, 120u);
    for (const char *bad : {"hangup-after", "hangup-after=", "drop=x", "nap=3", "drop=-1"})
        EXPECT_FALSE(ParseFault(bad, f, error)) << bad;
}

TEST(Firmware, WaitBytesAreTenthsOfAMillisecondOfBoardTime)
{
    Board b;
    b.Handshake({0x00, 0x01});
    // Erase with a wait of 255: the next echo cannot come before 25.5 ms.
    b.Handshake({0x03, 0x09, 0xFF});
    const SimTime start = b.sim.Now();
    EXPECT_EQ(b.Talk({0x01}, 1), Bytes{0x01});
    EXPECT_GE(b.sim.Now() - start, 255 * SimWaitUnit - 2 * SimByteTime);
    EXPECT_LT(b.sim.Now() - start, 255 * SimWaitUnit + 4 * SimByteTime);
}

TEST(Firmware, StreamSendsWordsLowByteFirstAtWireSpeed)
{
    Board b;
    b.sim.Pic16().Poke(0, 0x1234);
    b.sim.Pic16().Poke(1, 0x0ABC);
    b.Handshake({0x00, 0x01});
    ASSERT_TRUE(b.Handshake({0x07, 0x04, 0x00, 0x04})); // 1024 words
    b.sim.SetTimeouts(1000, 200);
    const SimTime start = b.sim.Now();
    const Bytes words = b.Talk({}, 2048);
    ASSERT_EQ(words.size(), 2048u);
    EXPECT_EQ(Bytes(words.begin(), words.begin() + 4), (Bytes{0x34, 0x12, 0xBC, 0x0A}));
    EXPECT_GE(b.sim.Now() - start, 2047 * SimByteTime);
    EXPECT_EQ(b.sim.Pic16().AddressCounter(), 1024u);
}
