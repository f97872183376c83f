// The command line's accepted forms and its refusals, parsed alone.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "CliOptions.h"
#include "CliSession.h"
#include "Json.h"
#include "TerminalFrontEnd.h"
#include "support/textutil.h"

namespace {

struct ParseCase {
    std::vector<std::string> args;
    bool ok;
    CliCommand command;
    std::string file, port, device;
    Verbosity verbosity;
};

std::string Show(const std::vector<std::string> &args)
{
    std::string s;
    for (const std::string &a : args)
        s += (s.empty() ? "" : " ") + a;
    return s;
}

} // namespace

TEST(CliOptions, ParsesTheUsualForms)
{
    using C = CliCommand;
    const Verbosity N = Verbosity::Normal, Q = Verbosity::Quiet, V = Verbosity::Verbose;
    const ParseCase cases[] = {
        {{"-dPIC16F877A", "blank"}, true, C::Blank, "", "", "PIC16F877A", N},
        {{"-d", "PIC16F877A", "-pCOM3", "blank"}, true, C::Blank, "", "COM3", "PIC16F877A", N},
        {{"--device=PIC12F675", "--port=/dev/ttyUSB0", "erase"},
         true,
         C::Erase,
         "",
         "/dev/ttyUSB0",
         "PIC12F675",
         N},
        {{"-qv", "ports"}, true, C::Ports, "", "", "", V},
        {{"-vq", "ports"}, true, C::Ports, "", "", "", Q},
        {{"-v", "ports", "--quiet"}, true, C::Ports, "", "", "", Q},
        {{"read", "-"}, true, C::Read, "-", "", "", N},
        {{"program", "--", "-odd.hex"}, true, C::Program, "-odd.hex", "", "", N},
        {{"--", "dump", "-"}, true, C::Dump, "-", "", "", N},
        {{"-p", "COM1", "-p", "COM2", "blank"}, true, C::Blank, "", "COM2", "", N},
        {{"-p", "COM1", "-p", "COM2", "version"}, false, C::None, "", "", "", N}, // a gang needs a chip
                                                                                  // command
        {{"--help", "frobnicate"}, true, C::Help, "", "", "", N},
        {{"devices", "-h"}, true, C::Help, "", "", "", N},
        {{"--version"}, true, C::ProgramVersion, "", "", "", N},
        {{"--bogus", "--version"}, true, C::ProgramVersion, "", "", "", N},
        {{}, false, C::None, "", "", "", N},
        {{"frobnicate"}, false, C::None, "", "", "", N},
        {{"read"}, false, C::None, "", "", "", N},
        {{"blank", "extra"}, false, C::None, "", "", "", N},
        {{"-x", "blank"}, false, C::None, "", "", "", N},
        {{"--port"}, false, C::None, "", "", "", N},
        {{"blank", "--", "-v"}, false, C::None, "", "", "", N},
        {{"-d", "Auto", "read", "x.hex"}, true, C::Read, "x.hex", "", "", N}, // the chip names the device
        {{"-d", "auto", "config"}, true, C::Config, "", "", "", N},
        {{"-d", "auto", "dump", "x.hex"}, false, C::None, "", "", "", N}, // no chip to ask
        {{"-d", "auto", "config", "x.hex"}, false, C::None, "", "", "", N},
        {{"-d", "auto", "-p", "COM1", "-p", "COM2", "blank"}, false, C::None, "", "", "", N},
        {{"compare", "a.hex", "chip"}, true, C::Compare, "a.hex", "", "", N},
        {{"-d", "auto", "compare", "chip", "a.hex"}, true, C::Compare, "chip", "", "", N},
        {{"compare", "a.hex"}, false, C::None, "", "", "", N},
        {{"compare", "chip", "chip"}, false, C::None, "", "", "", N}, // one socket
        {{"-d", "auto", "compare", "a.hex", "b.hex"}, false, C::None, "", "", "", N},
    };
    for (const ParseCase &c : cases) {
        CliOptions o;
        std::string error;
        const bool ok = ParseCommandLine(c.args, o, error);
        ASSERT_EQ(ok, c.ok) << Show(c.args) << ": " << error;
        if (!ok) {
            EXPECT_FALSE(error.empty()) << Show(c.args);
            continue;
        }
        EXPECT_EQ(o.command, c.command) << Show(c.args);
        EXPECT_EQ(o.file, c.file) << Show(c.args);
        EXPECT_EQ(o.port, c.port) << Show(c.args);
        EXPECT_EQ(o.device, c.device) << Show(c.args);
        EXPECT_EQ(o.verbosity, c.verbosity) << Show(c.args);
        EXPECT_EQ(o.autoDevice, Show(c.args).find("-d ") != std::string::npos && c.device.empty())
            << Show(c.args);
    }
}

TEST(CliOptions, CommandOptionsAndTheirValues)
{
    CliOptions o;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"program", "--erase", "--no-verify", "--auto-select", "f.hex"}, o, error))
        << error;
    EXPECT_TRUE(o.erase && !o.verify && o.autoSelect);
    o = {};
    ASSERT_TRUE(ParseCommandLine({"--cal1=3fA0", "erase", "--cal2", "0000"}, o, error)) << error;
    EXPECT_EQ(o.cal1, "3fA0");
    EXPECT_EQ(o.cal2, "0000");

    for (const std::vector<std::string> &bad : std::vector<std::vector<std::string>>{
             {"erase", "--cal1", "12G4"},
             {"erase", "--cal1", "123"},
             {"blank", "--cal1", "1234"},
             {"verify", "--no-verify", "x.hex"},
             {"read", "--erase", "x.hex"},
             {"--settings", "/nonexistent/tarnvik.ini", "devices"},
             {"config", "a.hex", "b.hex"},
             {"blank", "--config", "WDTE=ON"},
             {"devices", "--config", "PIC16F88", "--config", "PIC16F877A"},
             {"--json", "read", "-"},
             {"--json", "-p", "COM1", "-p", "COM2", "blank"},
             {"verify", "--skip-identical", "x.hex"},
             {"-p", "COM1", "-p", "COM2", "program", "--skip-identical", "x.hex"},
         }) {
        o = {};
        EXPECT_FALSE(ParseCommandLine(bad, o, error)) << Show(bad);
    }

    // Each --config counts, in order, and takes one value only.
    o = {};
    ASSERT_TRUE(
        ParseCommandLine({"program", "--config", "WDTE=ON", "--config=FOSC=HS,CP=OFF", "f.hex"}, o, error))
        << error;
    EXPECT_EQ(o.configSettings, (std::vector<std::string>{"WDTE=ON", "FOSC=HS,CP=OFF"}));
    EXPECT_EQ(o.file, "f.hex");
    o = {};
    ASSERT_TRUE(ParseCommandLine({"devices", "--json", "--config", "pic16f88"}, o, error)) << error;
    EXPECT_TRUE(o.configSettings.empty());
    EXPECT_EQ(o.configDevice, "pic16f88");
    o = {};
    ASSERT_TRUE(ParseCommandLine({"config"}, o, error)) << error;
    EXPECT_EQ(o.command, CliCommand::Config);
    EXPECT_TRUE(o.file.empty());

    const std::string settings = testing::TempDir() + "settings.ini";
    std::ofstream(settings) << "";
    o = {};
    EXPECT_TRUE(ParseCommandLine({"--settings", settings, "devices"}, o, error)) << error;
    EXPECT_EQ(o.settings, settings);
}

TEST(CliOptions, ProductionOptions)
{
    CliOptions o;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"-p", "COM3", "-p", "/dev/ttyUSB2", "--repeat", "program", "f.hex",
                                  "--serial", "0x100:4", "--serial-at", "0x21F0", "--serial-format", "EEPROM",
                                  "--serial-bytes", "2", "--log", "l.csv"},
                                 o, error))
        << error;
    EXPECT_EQ(o.ports, (std::vector<std::string>{"COM3", "/dev/ttyUSB2"}));
    EXPECT_TRUE(o.Production() && o.repeat && o.serial && o.serialStartGiven);
    EXPECT_EQ(o.serialStart, 0x100u);
    EXPECT_EQ(o.serialStep, 4u);
    EXPECT_EQ(o.serialLayout.address, 0x21F0u);
    EXPECT_EQ(o.serialLayout.format, SerialFormat::Eeprom);
    EXPECT_EQ(o.serialLayout.bytes, 2);
    EXPECT_EQ(o.log, "l.csv");

    for (const std::vector<std::string> &bad : std::vector<std::vector<std::string>>{
             {"-p", "COM3", "-p", "COM3", "blank"},
             {"--repeat", "read", "x.hex"},
             {"verify", "x.hex", "--serial", "1", "--serial-at", "0"},
             {"program", "x.hex", "--serial", "1"},
             {"program", "x.hex", "--serial-at", "0"},
             {"program", "x.hex", "--serial", "1:0", "--serial-at", "0"},
             {"program", "x.hex", "--serial", "1", "--serial-at", "0", "--serial-format", "bcd"},
             {"program", "x.hex", "--serial", "1", "--serial-at", "0", "--serial-bytes", "9"},
             {"program", "x.hex", "--serial", "1", "--serial-at", "0", "--no-verify"},
             {"-p", "COM3", "-p", "COM4", "--trace", "t.trace", "program", "x.hex"},
             {"--trace", "", "version"},
         }) {
        o = {};
        EXPECT_FALSE(ParseCommandLine(bad, o, error)) << Show(bad);
    }
}

TEST(CliProgress, OneLineFittedToTheTerminal)
{
    struct Case {
        int columns;
        const char *phase;
        int percent, secondsLeft;
        const char *want;
    };
    const Case cases[] = {
        {40, "書き込み", 50, 75, "書き込み  50% [######.......] 残り 1:15"},
        {30, "ベリファイ", 100, 0, "ベリファイ 100% [###########]"},
        {20, "ブランクチェック", 7, -1, "  7%"},
        {24, "読み込み", 0, -1, "読み込み   0% [.......]"},
        {4, "読み込み", 100, 3, "100"},
    };
    for (const Case &c : cases) {
        const std::string line = TerminalProgress::Text(c.phase, c.percent, c.secondsLeft, c.columns);
        EXPECT_EQ(line, c.want) << c.columns;
        EXPECT_LT(DisplayWidth(line), c.columns) << line;
    }
}

// A production run's port draws its progress into the shared line through
// its front end's own bar; the operations get that bar from MainProgress().
TEST(TerminalFrontEnd, ProgressIsTheFrontEndsOwnBar)
{
    struct PortLike : TerminalFrontEnd {
        using TerminalFrontEnd::TerminalFrontEnd;
        ProgressBar &MainProgress() override { return own; }
        NullProgress own;
    };
    CliOptions options;
    PortLike ui(options, stdout, stderr, false);
    EXPECT_EQ(&static_cast<FrontEnd &>(ui).MainProgress(), &ui.own);
}

// A failure inside the program with --json still ends in one result object,
// exit status 70, the failure among its messages.
TEST(CliJson, AnInternalErrorStillWritesTheResultObject)
{
    class FailingFrontEnd : public TerminalFrontEnd {
    public:
        using TerminalFrontEnd::TerminalFrontEnd;
        void AddLog(const std::string &) override { throw std::runtime_error("boom"); }
    };
    const std::string hex = testing::TempDir() + "internal.hex";
    const std::string settings = testing::TempDir() + "internal.ini";
    std::ofstream(hex) << ":00000001FF\n";
    std::ofstream(settings) << "";
    CliOptions options;
    std::string error;
    ASSERT_TRUE(
        ParseCommandLine({"--json", "--settings", settings, "-d", "PIC16F877A", "dump", hex}, options, error))
        << error;
    FILE *out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    FailingFrontEnd ui(options, out, stderr, false);
    CliSession session(options, ui);
    EXPECT_EQ(session.Run(), 70);
    std::rewind(out);
    std::string text;
    for (int c; (c = std::fgetc(out)) != EOF;)
        text += static_cast<char>(c);
    std::fclose(out);
    const JsonObject result = JsonObject::parse(text);
    EXPECT_EQ(result["command"], "dump");
    EXPECT_EQ(result["result"], "internal error");
    EXPECT_EQ(result["exit_status"], 70);
    EXPECT_EQ(result["messages"].back(), "internal error: boom") << text;
}

// Names a device gives itself (USB strings, by-id links) are shown, never
// obeyed: control characters and bytes that are no UTF-8 escaped, text in
// any script as it is; --json carries them as data.
TEST(PortsText, ControlCharactersAreShownEscaped)
{
    const struct {
        std::string raw, shown;
    } cases[] = {
        {"FT232R USB UART", "FT232R USB UART"},
        {"日本語のアダプター ü", "日本語のアダプター ü"},
        {"A\x1b]0;owned\x07" "B", "A\\x1b]0;owned\\x07B"},
        {"\x1b[2J\r\n\t", "\\x1b[2J\\x0d\\x0a\\x09"},
        {"del\x7f", "del\\x7f"},
        {"csi\xc2\x9b" "31m", "csi\\u009b31m"},
        {"bad\xff\xc0\xaf", "bad\\xff\\xc0\\xaf"},        // no UTF-8, an overlong '/'
        {"cut\xe3\x81", "cut\\xe3\\x81"},                    // a character cut short
        {"sur\xed\xa0\x80", "sur\\xed\\xa0\\x80"},           // a surrogate
    };
    for (const auto &c : cases)
        EXPECT_EQ(EscapeControls(c.raw), c.shown) << c.raw;
    const std::string json = JsonText({{"serial", "A\x1b]0;x\x07\xff"}});
    EXPECT_EQ(json.find('\x1b'), std::string::npos) << json;
    EXPECT_NE(json.find("\\u001b]0;x\\u0007"), std::string::npos) << json;
}
