// tarnbox-sim as a separate program on a real pseudo-terminal, driven by
// the Linux serial backend exactly as Tarnvik drives a board.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "WireOracle.h"
#include "SimProcess.h"
#include "SimReplay.h"
#include "sim_rig.h"

namespace {

struct PtyRig {
    SerialPort port;
    TCommand cmd;
    QuietFrontEnd ui;
    Link link{port, cmd, ui};
    explicit PtyRig(const std::string &path)
        : port(MakePosixSerialBackend(), [path](const std::string &) { return path; })
    {
    }
};

std::string WriteHex(const std::string &name, const std::string &records)
{
    const std::string path = testing::TempDir() + name;
    std::ofstream(path) << records;
    return path;
}

} // namespace

TEST(TarnboxSim, HelpListsEveryOption)
{
    const std::string command = std::string(TARNBOX_SIM_PROGRAM) + " --help";
    FILE *p = popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, p))
        text += buffer;
    EXPECT_EQ(pclose(p), 0);
    for (const char *option : {"--chip", "--link", "--hex", "--calib", "--firmware", "--no-pic18",
                               "--version-text", "--version-pad", "--silent", "--pace", "--chunk", "--jitter",
                               "--slow-reply", "--seed", "--trace", "--replay", "--report", "--fault", "--dump",
                               "--help", "hangup-after"})
        EXPECT_NE(text.find(option), std::string::npos) << option;
}

TEST(TarnboxSim, WholeDeviceReadOfPic16F877AOverThePty)
{
    // Words 0 and 1 = 0x1234, 0x000F; EEPROM byte 0 = 0xAB.
    const std::string hex = WriteHex("pty877a.hex", ":0400000034120F00A7\n:02420000AB0011\n:00000001FF\n");
    const std::string link = testing::TempDir() + "tarnbox-link";
    SimProcess sim({"--chip", "pic16f877a", "--hex", hex, "--link", link});
    ASSERT_FALSE(sim.Path().empty());
    struct stat st {};
    EXPECT_EQ(lstat(link.c_str(), &st), 0);

    PtyRig rig(link);
    ASSERT_EQ(rig.port.OpenPort("COM1"), 0) << rig.port.LastError();
    EXPECT_EQ(GetVersion(rig.link).rfind("Vexa Ver.", 0), 0u);
    const TDeviceSpec &d = DeviceTable[FindDevice("PIC16F877A")];
    EXPECT_EQ(ReadDeviceId(rig.link, d) & 0x3FE0, d.DeviceId);
    std::vector<uint16_t> image(WordImageSize, 0);
    EXPECT_EQ(ReadDeviceMemories(rig.link, d, std::span<uint16_t, WordImageSize>(image.data(), WordImageSize),
                                 nullptr),
              0);
    EXPECT_EQ(image[0], 0x1234);
    EXPECT_EQ(image[1], 0x000F);
    EXPECT_EQ(image[2], 0x3FFF);
    EXPECT_EQ(image[0x2100], 0xAB);
    EXPECT_EQ(image[0x2006] & 0x3FE0, d.DeviceId);
    rig.port.ClosePort();

    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_NE(lstat(link.c_str(), &st), 0) << "the link is removed on SIGTERM";
}

TEST(TarnboxSim, WholeDeviceReadOfPic18F4550OverThePty)
{
    // Program bytes 0..3, ID byte 0 and EEPROM byte 1.
    const std::string hex = WriteHex("pty4550.hex", ":04000000DEADBEEFC4\n"
                                                    ":020000040020DA\n:0100000011EE\n"
                                                    ":0200000400F00A\n:0100010022DC\n:00000001FF\n");
    SimProcess sim({"--chip", "PIC18F4550", "--hex", hex});
    ASSERT_FALSE(sim.Path().empty());
    PtyRig rig(sim.Path());
    ASSERT_EQ(rig.port.OpenPort("COM1"), 0) << rig.port.LastError();
    EXPECT_EQ(CheckPic18Support(rig.link), 10);
    const TDeviceSpec18 &d = DeviceTable18[FindDevice("PIC18F4550")];
    EXPECT_EQ(ReadDeviceId18(rig.link) & 0xFFE0, d.DeviceId);
    MemoryBuffer image;
    image.Clear(d);
    EXPECT_EQ(ReadDeviceMemories18(rig.link, d, image, nullptr), 0);
    EXPECT_EQ(image.Program18[0], 0xDE);
    EXPECT_EQ(image.Program18[3], 0xEF);
    EXPECT_EQ(image.Program18[4], 0xFF);
    EXPECT_EQ(image.Id18[0], 0x11);
    EXPECT_EQ(image.EEData18[1], 0x22);
    EXPECT_EQ(image.Config18[1], d.ConfigDefault[1]);
}

TEST(TarnboxSim, ChunkedJitteredRepliesStillAnswerTheHost)
{
    // Words 0 and 1 = 0x1234, 0x000F; the jitter stays inside the version
    // query's 20 ms.
    const std::string hex = WriteHex("chunked.hex", ":0400000034120F00A7\n:00000001FF\n");
    SimProcess sim({"--hex", hex, "--chunk", "7", "--jitter", "4", "--slow-reply", "50", "--seed", "3"});
    ASSERT_FALSE(sim.Path().empty());
    PtyRig rig(sim.Path());
    ASSERT_EQ(rig.port.OpenPort("COM1"), 0) << rig.port.LastError();
    EXPECT_EQ(GetVersion(rig.link), DefaultVersionText);
    const TDeviceSpec &d = DeviceTable[FindDevice("PIC16F877A")];
    EXPECT_EQ(ReadDeviceId(rig.link, d) & 0x3FE0, d.DeviceId);
    EnterProgramMode(rig.link, 0);
    std::vector<uint16_t> words(300);
    EXPECT_EQ(ReadWords(rig.link, 4, 300, words, nullptr), 0);
    ExitProgramMode(rig.link, 0);
    EXPECT_EQ(words[0], 0x1234);
    EXPECT_EQ(words[1], 0x000F);
    EXPECT_EQ(words[299], 0x3FFF);
    rig.port.ClosePort();
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(TarnboxSim, DetachedReplayReportsWhereTheHostLeavesTheTrace)
{
    const std::string dir = testing::TempDir();
    const std::string trace = dir + "report.trace", link = dir + "replayed", pidFile = dir + "replayed.pid";
    std::ofstream(trace) << "0.000000 > 01\n0.000100 < 01\n0.000200 > 06\n0.000300 < 06\n";
    // To the report file, or to standard error, which the detached board
    // keeps even where it is not a terminal.
    for (bool toFile : {true, false}) {
        const std::string out = dir + (toFile ? "replay.report" : "replay.stderr");
        const std::string command = std::string(TARNBOX_SIM_PROGRAM) + " --replay " + trace + " --link " +
                                    link + " --pid-file " + pidFile + " --detach >/dev/null" +
                                    (toFile ? " --report " + out + " 2>/dev/null" : " 2>" + out);
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        {
            PtyRig rig(link);
            ASSERT_EQ(rig.port.OpenPort("COM1"), 0) << rig.port.LastError();
            SendIcsp(rig.link, 0x07); // the trace has 0x06
        }
        long board = 0;
        std::ifstream(pidFile) >> board;
        ASSERT_GT(board, 0);
        kill(static_cast<pid_t>(board), SIGTERM);
        for (int i = 0; i < 500 && access(pidFile.c_str(), F_OK) == 0; ++i)
            usleep(10000);
        std::ifstream in(out);
        std::string first, more;
        std::getline(in, first);
        EXPECT_NE(first.find("the host's byte 2 is 07 where the trace has 06"), std::string::npos) << first;
        EXPECT_FALSE(std::getline(in, more)) << more;
    }
}

// A trace cut by a crash or a full disk ends in a line without its line
// end: everything before it is played, and the cut is named; a damaged line
// anywhere else still refuses the trace.
TEST(TarnboxSim, ReplayOfACutTracePlaysUpToTheCut)
{
    const std::string dir = testing::TempDir();
    const std::string whole = "# header\n0.000000 open COM1\n0.000100 > 01\n0.000200 < 01\n";
    struct Case {
        const char *what;
        std::string text;
        bool read;
        size_t events;
        long cut;
    };
    const Case cases[] = {
        {"whole", whole, true, 2, 0},
        {"cut in a byte", whole + "0.000300 > 0", true, 2, 5},
        {"cut after a whole byte line", whole + "0.000300 > 06", true, 2, 5},
        {"cut in a port name", whole + "0.000300 close\n0.000400 open /dev/tty", true, 2, 6},
        {"cut in the header", "# tarnvik-cli (", true, 0, 1},
        {"a damaged line before the end", whole + "0.0003 > 0\n0.000400 > 06\n", false, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir + "cut.trace";
        std::ofstream(path) << c.text;
        std::vector<TraceEvent> events;
        std::string error;
        long cut = -1;
        EXPECT_EQ(ReadTraceForReplay(path, events, error, cut), c.read) << error;
        if (!c.read) continue;
        EXPECT_EQ(events.size(), c.events);
        EXPECT_EQ(cut, c.cut);
    }

    // The board says where it was cut.
    const std::string trace = dir + "cut.trace", pidFile = dir + "cut.pid", err = dir + "cut.stderr";
    std::ofstream(trace) << whole << "0.000300 > 0";
    const std::string command = std::string(TARNBOX_SIM_PROGRAM) + " --replay " + trace + " --pid-file " +
                                pidFile + " --detach >/dev/null 2>" + err;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    long board = 0;
    std::ifstream(pidFile) >> board;
    ASSERT_GT(board, 0);
    kill(static_cast<pid_t>(board), SIGTERM);
    std::ifstream in(err);
    std::string line;
    std::getline(in, line);
    EXPECT_NE(line.find("cut.trace:5: the trace was cut"), std::string::npos) << line;
}

TEST(TarnboxSim, HangupEndsTheHostsReadAsAFailure)
{
    SimProcess sim({"--fault", "hangup-after=3"});
    ASSERT_FALSE(sim.Path().empty());
    PtyRig rig(sim.Path());
    ASSERT_EQ(rig.port.OpenPort("COM1"), 0);
    const TDeviceSpec &d = DeviceTable[FindDevice("PIC16F877A")];
    std::vector<uint16_t> image(WordImageSize, 0);
    // 8200 words plus EEPROM and configuration: had each missing word waited
    // out the 200 ms time-out this would not end within the test's limit.
    const int missing = ReadDeviceMemories(
        rig.link, d, std::span<uint16_t, WordImageSize>(image.data(), WordImageSize), nullptr);
    EXPECT_GT(missing, 8000);
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(TarnboxSim, PacedStreamIsNotFasterThanTheWire)
{
    const std::string trace = testing::TempDir() + "pace.trace";
    SimProcess sim({"--pace", "--trace", trace});
    ASSERT_FALSE(sim.Path().empty());
    {
        PtyRig rig(sim.Path());
        ASSERT_EQ(rig.port.OpenPort("COM1"), 0);
        EnterProgramMode(rig.link, 0);
        std::vector<uint16_t> words(1024);
        EXPECT_EQ(ReadWords(rig.link, 4, 1024, words, nullptr), 0);
        ExitProgramMode(rig.link, 0);
    }
    EXPECT_EQ(sim.Stop(), 0);

    // The board's 2048 stream bytes, time-stamped as they left it.
    std::ifstream in(trace);
    std::vector<double> boardTimes;
    double t;
    char direction;
    std::string byte;
    while (in >> t >> direction >> byte)
        if (direction == '<') boardTimes.push_back(t);
    ASSERT_GE(boardTimes.size(), 2048u + 8u);
    // Four echoes precede the stream; the last stream byte is followed by the
    // two echoes of the exit.
    const double first = boardTimes[boardTimes.size() - 2 - 2048];
    const double last = boardTimes[boardTimes.size() - 3];
    EXPECT_GE(last - first, 2047 * 10.0 / 38400 * 0.95);
}

TEST(TarnboxSim, DumpWritesTheWholeChipOnExit)
{
    struct Case {
        const char *chip;
        std::vector<std::string> extra;
    };
    // Program word 0 (or byte 0), EEPROM byte 1, and for the 12-bit part
    // the configuration word at 0x0FFF, as --hex takes them.
    for (const Case &c :
         {Case{"PIC12F675",
               {"--calib", "3468,1000", "--hex",
                WriteHex("d675.hex", ":020000003412B8\n:0242020055006"
                                     "5\n:00000001FF\n")}},
          Case{"PIC10F200",
               {"--calib", "0C1A,0C1B", "--hex", WriteHex("d200.hex", ":021FFE00EA0FE8\n:00000001FF\n")}},
          Case{"PIC18F4550",
               {"--hex", WriteHex("d4550.hex", ":0100000012ED\n:020000040030CA\n:01000300"
                                               "0AF2\n:00000001FF\n")}}}) {
        const std::string dump = testing::TempDir() + std::string(c.chip) + ".dump.hex";
        std::vector<std::string> args = {"--chip", c.chip, "--dump", dump};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        std::string error;
        auto expected = MakeSimChip(c.chip, error);
        ASSERT_TRUE(expected) << error;
        for (size_t i = 0; i + 1 < c.extra.size(); i += 2) {
            if (c.extra[i] == "--hex") {
                ASSERT_TRUE(LoadHexIntoChip(*expected, c.extra[i + 1], error)) << error;
            }
        }
        {
            SimProcess sim(args);
            ASSERT_FALSE(sim.Path().empty()) << c.chip;
            EXPECT_EQ(sim.Stop(), 0);
        }
        auto dumped = MakeSimChip(c.chip, error);
        dumped->SetCalibration({0, 0}); // nothing of the factory values left but what the file gives
        ASSERT_TRUE(LoadHexIntoChip(*dumped, dump, error)) << error;
        if (std::string(c.chip) == "PIC12F675") {
            expected->SetCalibration({0x3468, 0x1000});
            EXPECT_EQ(dumped->Peek(0), 0x1234);
            EXPECT_EQ(dumped->Eeprom(1), 0x55);
        } else if (std::string(c.chip) == "PIC10F200") {
            expected->SetCalibration({0x0C1A, 0x0C1B});
            EXPECT_EQ(dumped->Peek(Config12BitWord), 0x0FEA);
        } else {
            EXPECT_EQ(dumped->Peek(0), 0x12);
            EXPECT_EQ(dumped->Peek(0x300003), 0x0A);
            EXPECT_EQ(dumped->Peek(0x300000),
                      DeviceTable18[static_cast<size_t>(FindDevice("PIC18F4550"))].ConfigDefault[0]);
        }
        EXPECT_EQ(dumped->Calibration(), expected->Calibration()) << c.chip;
        for (uint32_t a : {0u, 1u, 0x00FFu, 0x0104u, 0x03FFu, 0x2007u, 0x300001u, 0x300005u})
            EXPECT_EQ(dumped->Peek(a), expected->Peek(a)) << c.chip << " " << a;
    }
}
