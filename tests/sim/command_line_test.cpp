// tarnbox-sim's command line: what scripts and tests pass, and the words
// a bad one is refused with.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "SimCommandLine.h"

namespace {

using Args = std::vector<std::string>;

SimCommandLine Parsed(const Args &args)
{
    SimCommandLine options;
    std::string error;
    EXPECT_TRUE(ParseSimCommandLine(args, options, error)) << error;
    return options;
}

} // namespace

TEST(SimCommandLine, GoodLinesFillTheirFields)
{
    const SimCommandLine plain = Parsed({});
    EXPECT_EQ(plain.request, SimRequest::Serve);
    EXPECT_EQ(plain.chip, "PIC16F877A");
    EXPECT_TRUE(plain.modelProtection);
    EXPECT_FALSE(plain.pace);
    EXPECT_EQ(plain.firmware.versionText, DefaultVersionText);
    EXPECT_FALSE(plain.firmware.versionPad.has_value());

    struct Case {
        Args args;
        std::function<void(const SimCommandLine &)> check;
    } cases[] = {
        {{"--chip", "pic18f4550", "--link", "-board", "--detach", "--pid-file", "p", "--no-protection"},
         [](const SimCommandLine &o) {
             EXPECT_EQ(o.chip, "pic18f4550");
             EXPECT_EQ(o.link, "-board"); // a value is taken whatever it looks like
             EXPECT_TRUE(o.detach);
             EXPECT_EQ(o.pidFile, "p");
             EXPECT_FALSE(o.modelProtection);
         }},
        {{"--calib", "3468,1000", "--firmware", "row15", "--no-pic18", "--version-text", " V 1 ",
          "--version-pad", "a5", "--silent"},
         [](const SimCommandLine &o) {
             EXPECT_EQ(o.calibration, (std::vector<uint16_t>{0x3468, 0x1000}));
             EXPECT_EQ(o.firmware.rowWrite, RowWriteForms::Row15);
             EXPECT_FALSE(o.firmware.pic18);
             EXPECT_EQ(o.firmware.versionText, " V 1 ");
             EXPECT_EQ(o.firmware.versionPad, 0xA5);
             EXPECT_TRUE(o.firmware.silent);
         }},
        {{"--line", "usb=16", "--chunk", "64", "--jitter", "0", "--slow-reply", "50", "--seed",
          "18446744073709551615"},
         [](const SimCommandLine &o) {
             EXPECT_TRUE(o.pace);
             EXPECT_EQ(o.line.kind, LineKind::Usb);
             EXPECT_EQ(o.shaping.chunkMax, 64);
             EXPECT_EQ(o.shaping.slowReplyEvery, 50);
             EXPECT_EQ(o.shaping.seed, UINT64_MAX);
         }},
        // --fault adds up in order; other options count with their last value.
        {{"--fault", "drop=3", "--chip", "none", "--fault", "hangup-after=9", "--chip", "PIC10F200",
          "--version-text", "x", "--version-text", ""},
         [](const SimCommandLine &o) {
             EXPECT_EQ(o.firmware.versionText, "");
             ASSERT_EQ(o.firmware.faults.size(), 2u);
             EXPECT_EQ(o.firmware.faults[0].kind, FaultKind::Drop);
             EXPECT_EQ(o.firmware.faults[1].count, 9u);
             EXPECT_EQ(o.chip, "PIC10F200");
         }},
        {{"--replay", "t", "--report", "r", "--trace", "w", "--dump", "d", "--hex", "h"},
         [](const SimCommandLine &o) {
             EXPECT_EQ(o.replayFile + o.reportFile + o.traceFile + o.dumpFile + o.hexFile, "trwdh");
         }},
        {{"--chunk", "0", "--help"}, [](const SimCommandLine &o) { EXPECT_EQ(o.request, SimRequest::Help); }},
        {{"--version", "stray"}, [](const SimCommandLine &o) { EXPECT_EQ(o.request, SimRequest::Version); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        c.check(Parsed(c.args));
    }
}

TEST(SimCommandLine, BadLinesAreRefusedInTheirOwnWords)
{
    const struct {
        Args args;
        const char *error;
    } cases[] = {
        {{"--pace", "--chip"}, "--chip needs a value (see --help)"},
        {{"--bogus"}, "unknown option '--bogus' (see --help)"},
        {{"--pace", "stray"}, "unknown option 'stray' (see --help)"},
        {{"--chunk", "65"}, "bad --chunk '65' (1 to 64)"},
        {{"--chunk", "7", "--chunk", "0"}, "bad --chunk '0' (1 to 64)"},
        {{"--jitter", "-1"}, "bad --jitter '-1' (0 to 100)"},
        {{"--seed", "18446744073709551616"}, "bad --seed '18446744073709551616' (0 to 18446744073709551615)"},
        {{"--calib", "12345"}, "bad --calib '12345' (XXXX or XXXX,XXXX)"},
        {{"--calib", "1,2", "--calib", "3"}, "bad --calib '3' (XXXX or XXXX,XXXX)"},
        {{"--firmware", "row16"}, "bad --firmware 'row16' (row08, row15 or norow)"},
        {{"--version-pad", "100"}, "bad --version-pad '100' (hexadecimal 00 to FF)"},
        {{"--line", "usb=0"}, "bad --line 'usb=0' (pty, uart or usb=MS, MS 1 to 255)"},
        {{"--fault", "drop"},
         "bad fault 'drop' (silent-after=N, drop=N, bad-echo=N, bad-sum=N or hangup-after=N)"},
        {{"--report", "r"}, "--report needs --replay: it reports how the host kept to the trace"},
        {{"--replay", "t", "--slow-reply", "2"},
         "--replay plays the trace's own timing; --chunk, --jitter and --slow-reply do not apply"},
    };
    for (const auto &c : cases) {
        SimCommandLine options;
        std::string error;
        EXPECT_FALSE(ParseSimCommandLine(c.args, options, error)) << testing::PrintToString(c.args);
        EXPECT_EQ(error, c.error);
    }
}
