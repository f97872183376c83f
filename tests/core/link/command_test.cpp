#include <gtest/gtest.h>

#include "fakes.h"

namespace {

// The handshake commands: every byte goes through its own echo. A wrong or
// missing echo at any position ends the command there with Status 1.
struct HandshakeCase {
    const char *name;
    uint8_t code;
    Bytes sequence; // what goes out, one byte per write
};

class Handshake : public ::testing::TestWithParam<HandshakeCase> {};

void Prepare(TCommand &cmd, const HandshakeCase &c)
{
    cmd.Code = c.code;
    cmd.Args = {};
    cmd.Args[0] = 0x21;
    cmd.Args[1] = 0x22;
    cmd.Args[3] = 0x23;
    cmd.Value = 0x4241;
    cmd.Count = 0x4443;
}

TEST_P(Handshake, EchoesEveryByteAndStopsAtTheFirstBadOne)
{
    const HandshakeCase &c = GetParam();
    {
        LinkFixture f;
        Talk t;
        for (uint8_t b : c.sequence)
            t.echo({b});
        f.play(t);
        Prepare(f.cmd, c);
        f.cmd.Status = 99;
        ExecuteCommand(f.port, f.cmd);
        EXPECT_EQ(f.cmd.Status, 0);
        EXPECT_EQ(f.line->writes, t.out);
    }
    for (size_t bad = 0; bad < c.sequence.size(); ++bad) {
        for (bool silent : {false, true}) {
            LinkFixture f;
            Talk t;
            for (size_t i = 0; i < bad; ++i)
                t.echo({c.sequence[i]});
            t.send({c.sequence[bad]});
            if (silent)
                t.reply({});
            else
                t.reply({uint8_t(c.sequence[bad] ^ 0x80)});
            f.play(t);
            Prepare(f.cmd, c);
            ExecuteCommand(f.port, f.cmd);
            EXPECT_EQ(f.cmd.Status, 1) << "byte " << bad;
            EXPECT_EQ(f.line->writes, t.out) << "byte " << bad;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, Handshake,
                         ::testing::Values(HandshakeCase{"ProgramModeControl", 0x00, {0x00, 0x21}},
                                           HandshakeCase{"Icsp", 0x01, {0x01, 0x21}},
                                           HandshakeCase{"IcspTimed", 0x03, {0x03, 0x21, 0x23}},
                                           HandshakeCase{"IcspLoad", 0x04, {0x04, 0x21, 0x41, 0x42}},
                                           HandshakeCase{"IcspPair", 0x05, {0x05, 0x21, 0x22, 0x23}},
                                           HandshakeCase{"IcspRepeat", 0x06, {0x06, 0x21, 0x43, 0x44}},
                                           HandshakeCase{"IcspStream", 0x07, {0x07, 0x21, 0x43, 0x44}}),
                         [](const auto &info) { return std::string(info.param.name); });

// Block commands: echo the code, write the payload at once, expect its sum.
TEST(BlockCommands, ChecksumDecidesStatusAndMissingEchoSendsNothingMore)
{
    struct Case {
        uint8_t code;
        size_t first, length;
    };
    for (Case c :
         {Case{0x09, 0, 5}, Case{0x0B, 0, 3}, Case{0x0E, 0, 2}, Case{0x0D, 4, 9}, Case{0x08, 0, 13}}) {
        auto prepare = [&](TCommand &cmd) {
            cmd.Code = c.code;
            for (size_t i = 0; i < 13; ++i)
                cmd.Args[i] = uint8_t(0x30 + 7 * i);
            cmd.Count = 5; // row write, form 0x08
        };
        uint8_t wire = c.code == 0x08 ? 0x08 : c.code;
        Bytes payload;
        for (size_t i = 0; i < c.length; ++i)
            payload.push_back(uint8_t(0x30 + 7 * (c.first + i)));
        if (c.code == 0x0D) payload[0] = 0x30 + 7 * 3; // the time byte travels in Args[4]

        LinkFixture ok;
        ok.play(Talk().echo({wire}).block(payload));
        prepare(ok.cmd);
        ExecuteCommand(ok.port, ok.cmd);
        EXPECT_EQ(ok.cmd.Status, 0) << int(c.code);
        EXPECT_EQ(ok.line->writes, (std::vector<Bytes>{{wire}, payload})) << int(c.code);

        LinkFixture bad;
        Talk t = Talk().echo({wire}).block(payload);
        t.in.back()[0] ^= 1;
        bad.play(t);
        prepare(bad.cmd);
        ExecuteCommand(bad.port, bad.cmd);
        EXPECT_EQ(bad.cmd.Status, 2) << int(c.code);

        LinkFixture silent;
        silent.play(Talk().echo({wire}));
        prepare(silent.cmd);
        ExecuteCommand(silent.port, silent.cmd);
        EXPECT_EQ(silent.cmd.Status, 2) << int(c.code);

        LinkFixture noEcho;
        prepare(noEcho.cmd);
        ExecuteCommand(noEcho.port, noEcho.cmd);
        EXPECT_EQ(noEcho.cmd.Status, 1) << int(c.code);
        EXPECT_EQ(noEcho.line->writes, (std::vector<Bytes>{{wire}})) << int(c.code);
    }
}

TEST(BlockCommands, RowWriteFormSelectsWireCodeAndRefusesOthersSilently)
{
    LinkFixture f;
    Bytes payload(13, 0);
    f.play(Talk().echo({0x15}).block(payload));
    f.cmd.Code = 0x08;
    f.cmd.Args = {};
    f.cmd.Count = 4;
    ExecuteCommand(f.port, f.cmd);
    EXPECT_EQ(f.cmd.Status, 0);
    EXPECT_EQ(f.line->writes.front(), Bytes{0x15});

    LinkFixture g;
    g.cmd.Code = 0x08;
    g.cmd.Count = 6;
    ExecuteCommand(g.port, g.cmd);
    EXPECT_EQ(g.cmd.Status, 3);
    EXPECT_TRUE(g.line->writes.empty());

    g.cmd.Code = 0x11;
    g.cmd.Status = 42;
    ExecuteCommand(g.port, g.cmd);
    EXPECT_EQ(g.cmd.Status, 42);
    EXPECT_TRUE(g.line->writes.empty());
}

TEST(ReadCommands, IcspReadNeedsThreeBytesStartingWithTheCommand)
{
    LinkFixture f;
    f.play(Talk().readWord(0x3FFF));
    f.cmd.Value = 0x1111;
    EXPECT_EQ(ReadProgramWord(f.link), 0x3FFF);
    EXPECT_EQ(f.cmd.Status, 0);
    EXPECT_EQ(f.line->writes, Talk().readWord(0x3FFF).out);

    for (Bytes answer : {Bytes{0x04, 0xFF}, Bytes{0x05, 0xFF, 0x3F}}) {
        LinkFixture g;
        g.play(Talk().echo({0x02}).reply(answer));
        g.cmd.Value = 0x1111;
        EXPECT_EQ(ReadProgramWord(g.link), 0x1111);
        EXPECT_EQ(g.cmd.Status, 1);
    }
}

TEST(ReadCommands, QueryTakesAnyByteAndSilenceIsStatus2)
{
    LinkFixture f;
    f.play(Talk().echo({0x0A}).reply({0xE7}));
    f.cmd.Code = 0x0A;
    f.cmd.Args[0] = 2;
    ExecuteCommand(f.port, f.cmd);
    EXPECT_EQ(f.cmd.Status, 0);
    EXPECT_EQ(f.cmd.Value, 0xE7);
    EXPECT_EQ(f.line->writes, (std::vector<Bytes>{{0x0A}, {0x02}}));

    LinkFixture g;
    g.play(Talk().echo({0x0A}));
    g.cmd.Code = 0x0A;
    ExecuteCommand(g.port, g.cmd);
    EXPECT_EQ(g.cmd.Status, 2);
}

TEST(ReadCommands, StreamStartersLeaveStatusAloneOnSuccess)
{
    LinkFixture f;
    f.play(Talk().echo({0x0C, 0x0F}));
    f.cmd.Status = 7;
    f.cmd.Code = 0x0C;
    f.cmd.Count = 0x0120;
    ExecuteCommand(f.port, f.cmd);
    f.cmd.Code = 0x0F;
    ExecuteCommand(f.port, f.cmd);
    EXPECT_EQ(f.cmd.Status, 7);
    EXPECT_EQ(f.line->writes, (std::vector<Bytes>{{0x0C}, {0x20, 0x01}, {0x0F}, {0x20}}));

    LinkFixture g;
    g.cmd.Code = 0x0C;
    ExecuteCommand(g.port, g.cmd);
    EXPECT_EQ(g.cmd.Status, 1);
}

TEST(ReadCommands, EepromWriteEchoesTheDataByte)
{
    LinkFixture f;
    f.play(Talk().echo({0x10, 0xA5}));
    EXPECT_EQ(WriteEepromByte(f.link, 0xA5), 0);
    EXPECT_EQ(f.cmd.Value, 0xA5);

    LinkFixture g;
    g.play(Talk().echo({0x10}).send({0xA5}).reply({0xA4}));
    EXPECT_EQ(WriteEepromByte(g.link, 0xA5), 2);
    EXPECT_EQ(g.line->writes, (std::vector<Bytes>{{0x10}, {0xA5}}));
}

TEST(Version, SilentCodeStillReadsReplyCutAtNul)
{
    // An adapter that holds bytes back for 16 ms each way widens the short
    // time-out by as much. Whatever follows the zero byte, up to 32 bytes in
    // all, belongs to the reply: none of it may be left for the next echo.
    const Bytes text = {'V', 'e', 'x', 'a', ' ', 'V', 'e', 'r', '.', '1', 0};
    const struct {
        int heldBack;
        std::vector<Bytes> after; // what arrives after the zero byte, read by read
        std::vector<std::string> timeouts;
    } cases[] = {
        {0, {}, {"timeouts 20 200", "timeouts 8 200", "timeouts 200 200"}},
        {16, {}, {"timeouts 52 200", "timeouts 40 200", "timeouts 200 200"}},
        {0, {Bytes(21, 0x00)}, {"timeouts 20 200", "timeouts 8 200", "timeouts 200 200"}},
        {0, {Bytes(21, ' ')}, {"timeouts 20 200", "timeouts 8 200", "timeouts 200 200"}},
        {0, {{'x', 'y'}}, {"timeouts 20 200", "timeouts 8 200", "timeouts 20 200", "timeouts 200 200"}},
    };
    for (const auto &c : cases) {
        LinkFixture f;
        f.line->heldBackMs = c.heldBack;
        Talk talk = Talk().reply({}).echo({0x00}).reply(text);
        for (const Bytes &part : c.after)
            talk.reply(part);
        talk.reply({}).reply({0x01}); // a quiet line, then the next command's echo
        f.play(talk);
        EXPECT_EQ(GetVersion(f.link), "Vexa Ver.1");
        EXPECT_EQ(f.cmd.Status, 0);
        EXPECT_EQ(f.line->writes, (std::vector<Bytes>{{0x00}, {0x00}}));
        EXPECT_EQ(f.line->events, c.timeouts);
        Bytes left;
        for (const Bytes &part : f.line->replies)
            left.insert(left.end(), part.begin(), part.end());
        EXPECT_EQ(left, Bytes{0x01});
    }
}

TEST(Version, WrongCodeEchoOrNoReplyFails)
{
    LinkFixture f;
    f.cmd.Reply = "old";
    f.play(Talk().reply({0x57}));
    EXPECT_EQ(GetVersion(f.link), "");
    EXPECT_EQ(f.cmd.Status, 1);
    EXPECT_EQ(f.line->writes.size(), 1u);

    LinkFixture g;
    g.play(Talk().echo({0x00, 0x00}).reply({}));
    EXPECT_EQ(GetVersion(g.link), "");
    EXPECT_EQ(g.cmd.Status, 1);
}

TEST(Operations, WorkedExchanges)
{
    LinkFixture f;
    Talk t = Talk().load(0x02, 0x1234).repeat(300).tablePtr(0x300000).enter(0);
    f.play(t);
    LoadProgramWord(f.link, 0x1234);
    IncAddressBy(f.link, 300);
    SetTablePointer(f.link, 0x300000);
    EnterProgramMode(f.link, 0);
    EXPECT_EQ(f.line->writes, t.out);
    EXPECT_EQ(f.line->events, std::vector<std::string>{"pause 20"});
    EXPECT_EQ(t.in[9], Bytes{0x30}); // the table pointer's checksum
}

TEST(Operations, IncAddressBySplitsIntoRunsOf2048)
{
    struct Case {
        int n;
        std::vector<uint16_t> runs;
    };
    for (const Case &c : {Case{0, {}}, Case{-3, {}}, Case{2048, {2048}}, Case{2049, {2048, 1}},
                          Case{5000, {2048, 2048, 904}}}) {
        LinkFixture f;
        Talk t;
        for (uint16_t r : c.runs)
            t.repeat(r);
        f.play(t);
        IncAddressBy(f.link, c.n);
        EXPECT_EQ(f.line->writes, t.out) << c.n;
    }
}

TEST(Probes, RowWriteForm)
{
    Bytes probe = {0x00, 0x01, 0x02, 0x03, 0xFF, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C};
    {
        LinkFixture f;
        f.play(Talk().echo({0x08}).send(probe).reply({0x49}));
        EXPECT_EQ(DetectRowWriteForm(f.link), 0x08);
        EXPECT_EQ(f.line->writes, (std::vector<Bytes>{{0x08}, probe}));
    }
    {
        LinkFixture f;
        f.play(Talk().reply({}).echo({0x15}).reply({0x49}));
        EXPECT_EQ(DetectRowWriteForm(f.link), 0x15);
        EXPECT_EQ(f.line->writes, (std::vector<Bytes>{{0x08}, {0x15}, probe}));
        EXPECT_TRUE(f.ui.messages.empty());
    }
    {
        LinkFixture f;
        EXPECT_EQ(DetectRowWriteForm(f.link), 0);
        EXPECT_EQ(f.line->writes, (std::vector<Bytes>{{0x08}, {0x15}}));
        EXPECT_TRUE(f.ui.messages.empty());
    }
    for (uint8_t first : {0x08, 0x15}) {
        LinkFixture f;
        Talk t;
        if (first == 0x15) t.reply({0x00});
        f.play(t.echo({first}).reply({0x48}));
        EXPECT_EQ(DetectRowWriteForm(f.link), -1);
        EXPECT_TRUE(f.ui.messages.empty()) << "the program that probed tells the front end";
    }
}

TEST(Probes, Pic18Support)
{
    LinkFixture yes;
    yes.play(Talk().echo({0x0A}).reply({0x00}));
    EXPECT_EQ(CheckPic18Support(yes.link), 10);
    EXPECT_EQ(yes.line->writes, (std::vector<Bytes>{{0x0A}, {0x02}}));

    LinkFixture noData;
    noData.play(Talk().echo({0x0A}));
    EXPECT_EQ(CheckPic18Support(noData.link), -1);

    LinkFixture noEcho;
    EXPECT_EQ(CheckPic18Support(noEcho.link), 0);
    EXPECT_EQ(noEcho.line->writes.size(), 1u);
}

} // namespace
