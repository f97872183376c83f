// compare A B and program --skip-identical: tarnvik-cli against files and
// against tarnbox-sim's chip, judged by the output, the --json object, the
// bytes on the wire and the chip's dump afterwards.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <string>
#include <vector>

#include "SimProcess.h"
#include "catalogue/DeviceSpec.h"
#include "cli_files.h"
#include "cli_run.h"
#include "test_files.h"
#include "texts/terminal_texts.h"

namespace {

const std::string Part = "PIC16F877A";

// A small PIC16F877A image: three program words, the configuration word and
// two EEPROM bytes, of which the tests change one each.
std::string Image877(uint16_t word1 = 0x3086, uint8_t ee1 = 0x22, uint16_t config = 0x3F72,
                     bool eeprom = true)
{
    return Record(0x0000, 0, {0x85, 0x30, uint8_t(word1), uint8_t(word1 >> 8), 0x07, 0x28}) + "\n" +
           Record(0x400E, 0, {uint8_t(config), uint8_t(config >> 8)}) + "\n" +
           (eeprom ? Record(0x4200, 0, {0x11, 0x00, ee1, 0x00}) + "\n" : "") + ":00000001FF\n";
}

std::string Written(const std::string &name, const std::string &text)
{
    std::ofstream(Temp(name), std::ios::binary) << text;
    return Temp(name);
}

MemoryBuffer Dumped(const std::string &dump)
{
    return Image(dump, false, FindDevice(Part));
}

} // namespace

TEST(Compare, FilesByTheirImagesNotTheirText)
{
    const std::string base = Written("cmp_base.hex", Image877());
    // The same image in other records: out of order, split, CRLF line ends.
    const std::string relaid =
        Written("cmp_relaid.hex", Lines({Record(0x4202, 0, {0x22, 0x00}), Record(0x0004, 0, {0x07, 0x28}),
                                         Record(0x400E, 0, {0x72, 0x3F}), Record(0x4200, 0, {0x11, 0x00}),
                                         Record(0x0000, 0, {0x85, 0x30, 0x86, 0x30}), ":00000001FF"}));
    struct Case {
        std::string file;
        int status;
        std::vector<std::string> says;
    } cases[] = {
        {relaid, 0, {"Program Memory: equal\n", "Configuration: equal\n", "A and B are equal.\n"}},
        {Written("cmp_word.hex", Image877(0x3087)),
         1,
         {"Program Memory: 1 word differs\n  0x0001: 3086 → 3087\n", "EEData Memory: equal\n",
          "A and B differ in 1 memory.\n"}},
        {Written("cmp_ee.hex", Image877(0x3086, 0x23)),
         1,
         {"EEData Memory: 1 byte differs\n  0x0001: 22 → 23\n"}},
        {Written("cmp_fosc.hex", Image877(0x3086, 0x22, 0x3F71)),
         1,
         {"Configuration: 1 word differs\n  FOSC: HS → XT\n", "User-ID: equal\n"}},
    };
    for (const Case &c : cases) {
        const CliResult r = RunCli({"-d", Part, "compare", base, c.file});
        EXPECT_EQ(r.status, c.status) << c.file << r.err;
        EXPECT_TRUE(r.Says("A: " + base + ", checksum ")) << r.out;
        for (const std::string &text : c.says)
            EXPECT_TRUE(r.Says(text)) << c.file << ": " << text << "\n" << r.out;
    }

    const nlohmann::json j = Parsed(RunCli({"--json", "-d", Part, "compare", base, cases[3].file}));
    EXPECT_EQ(j["result"], "different");
    EXPECT_EQ(j["exit_status"], 1);
    EXPECT_EQ(j["equal"], false);
    EXPECT_EQ(j["b"]["source"], cases[3].file);
    ASSERT_EQ(j["memories"].size(), 4u) << j.dump();
    EXPECT_EQ(j["memories"][3]["first"][0],
              (nlohmann::json{{"address", 0x2007}, {"a", 0x3F72}, {"b", 0x3F71}}));
    EXPECT_EQ(j["configuration_fields"][0]["name"], "FOSC");
    EXPECT_EQ(j["configuration_fields"][0]["b"], "XT");
    EXPECT_NE(j["a"]["checksum"], j["b"]["checksum"]);

    EXPECT_EQ(RunCli({"-d", Part, "compare", base}).status, 64);
    EXPECT_EQ(RunCli({"-d", Part, "compare", "chip", "chip"}).status, 64);
    EXPECT_EQ(RunCli({"-d", "auto", "compare", base, relaid}).status, 64);
}

TEST(Compare, FileAgainstTheChipEitherWay)
{
    const std::string image = Written("cmp_chip.hex", Image877());
    const std::string other = Written("cmp_other.hex", Image877(0x3087, 0x23));
    SimProcess sim({"--chip", Part, "--hex", image});
    ASSERT_FALSE(sim.Path().empty());
    CliResult r = RunCli({"-p", sim.Path(), "-d", Part, "compare", image, "chip"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.LastLine(), "A and B are equal.");

    r = RunCli({"-p", sim.Path(), "-d", Part, "compare", "chip", other});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_TRUE(r.Says("B: " + other)) << r.out;
    EXPECT_TRUE(r.Says("  0x0001: 3086 → 3087\n")) << r.out; // the chip's first
    EXPECT_EQ(r.LastLine(), "A and B differ in 2 memories.");

    const nlohmann::json j =
        Parsed(RunCli({"--json", "-p", sim.Path(), "-d", Part, "compare", "chip", other}));
    EXPECT_EQ(j["a"]["source"], "chip");
    EXPECT_EQ(j["a"]["protected"], false);
    EXPECT_EQ(j["memories"][1]["first"][0], (nlohmann::json{{"address", 1}, {"a", 0x22}, {"b", 0x23}}));
}

TEST(Compare, SkipIdenticalWritesNothingOnlyWhenTheChipHoldsTheResult)
{
    const std::string image = Written("skip_image.hex", Image877());
    const std::string noEeprom = Written("skip_noee.hex", Image877(0x3086, 0x22, 0x3F72, false));
    // Code protection on: the chip reads back zeros.
    const std::string protectedImage = Written("skip_cp.hex", Image877(0x3086, 0x22, 0x1F72));
    const std::string skipLine = texts::ChipAlreadyHoldsImage();
    struct Case {
        std::string chip, file;
        std::vector<std::string> options;
        bool skipped;
    } cases[] = {
        {image, image, {}, true},
        {image, image, {"--erase"}, true},
        {image, Written("skip_word.hex", Image877(0x3084)), {}, false},
        // The EEPROM the file does not give is left alone without an erase,
        // and blanked by one.
        {image, noEeprom, {"--only", "code,id,config"}, true},
        {image, noEeprom, {"--erase"}, false},
        {protectedImage, protectedImage, {"--erase"}, false},
    };
    for (const Case &c : cases) {
        const std::string dump = Temp("skip.dump.hex"), trace = Temp("skip.trace");
        SimProcess sim({"--chip", Part, "--hex", c.chip, "--dump", dump});
        std::vector<std::string> args{"--json",  "--trace",         trace, "-p", sim.Path(), "-d", Part,
                                      "program", "--skip-identical"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(c.file);
        const CliResult r = RunCli(args);
        const nlohmann::json j = Parsed(r);
        EXPECT_EQ(j["exit_status"], 0) << c.file << r.err;
        EXPECT_EQ(j["skipped"], c.skipped) << c.file << " " << (c.options.empty() ? "" : c.options[0]);
        EXPECT_EQ(r.err.find(skipLine) != std::string::npos, c.skipped) << r.err;
        const size_t sent = HostBytesInTrace(trace);
        // A skip sends what a verify sends: the check and one read.
        ASSERT_EQ(RunCli({"--trace", trace, "-p", sim.Path(), "-d", Part, "verify", c.chip}).status,
                  c.skipped ? 0 : 1);
        if (c.skipped) {
            EXPECT_EQ(sent, HostBytesInTrace(trace)) << c.file;
        } else {
            EXPECT_GT(sent, HostBytesInTrace(trace)) << c.file;
        }
        ASSERT_EQ(sim.Stop(), 0);
        const MemoryBuffer after = Dumped(dump), want = Dumped(c.file);
        EXPECT_EQ(after.Words[1], want.Words[1]);
        EXPECT_EQ(after.Words[EEDataAreaStart + 1] & 0xFF,
                  (c.skipped ? Dumped(c.chip) : want).Words[EEDataAreaStart + 1] & 0xFF);
    }
    EXPECT_EQ(RunCli({"-d", Part, "verify", "--skip-identical", image}).status, 64);
}

TEST(Compare, SkipIdenticalLooksPastTheCalibrationWords)
{
    // The chip's own oscillator and band-gap calibration are no file's to match.
    const std::string file = std::string(TARNVIK_HEX_FIXTURES) + "/p12f675.hex";
    SimProcess sim({"--chip", "PIC12F675", "--calib", "3450"});
    const std::vector<std::string> base{"--json", "-p", sim.Path(), "-d", "PIC12F675"};
    auto run = [&](std::vector<std::string> more) {
        std::vector<std::string> args = base;
        args.insert(args.end(), more.begin(), more.end());
        return Parsed(RunCli(args));
    };
    ASSERT_EQ(run({"program", file})["exit_status"], 0);
    EXPECT_EQ(run({"program", "--erase", "--skip-identical", file})["skipped"], true);
    const nlohmann::json j = run({"compare", "chip", file});
    EXPECT_EQ(j["equal"], true);
    EXPECT_NE(j["a"]["checksum"], j["b"]["checksum"]) << "the chip's checksum counts its calibration word";
}
