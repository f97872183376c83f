// tarnvik-cli as a user runs it: a separate process talking to tarnbox-sim
// on a pseudo-terminal, judged by its exit status, its output and the files
// it writes.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "catalogue/DeviceSpec.h"
#include "FakeDevTree.h"
#include "SimProcess.h"
#include "image/buffer.h"
#include "cli_files.h"
#include "cli_run.h"
#include "test_files.h"
#include "image/dump.h"
#include "image/hex.h"
#include "image/hex_load.h"
#include "support/textutil.h"
#include "test_files.h"
#include "operations/regions.h"

namespace {

const std::string Fixtures = TARNVIK_HEX_FIXTURES;

// A device and the kind of board it sits on: tarnbox-sim's options for
// each way the protocol lets a firmware or an adapter answer.
struct DeviceCase {
    const char *name;
    const char *fixture;
    const char *board = "Plain";
    std::vector<std::string> boardOptions{};
};

void PrintTo(const DeviceCase &c, std::ostream *os)
{
    *os << c.board << "_" << c.name;
}

class CliRoundTrip : public testing::TestWithParam<DeviceCase> {};

} // namespace

TEST_P(CliRoundTrip, ProgramVerifyReadEraseBlank)
{
    const DeviceCase c = GetParam();
    const std::string source = Fixtures + "/" + c.fixture;
    std::vector<std::string> board{"--chip", c.name};
    board.insert(board.end(), c.boardOptions.begin(), c.boardOptions.end());
    SimProcess sim(board);
    ASSERT_FALSE(sim.Path().empty());
    const std::vector<std::string> base{"-p", sim.Path(), "-d", c.name};
    auto run = [&](std::vector<std::string> more) {
        std::vector<std::string> args = base;
        args.insert(args.end(), more.begin(), more.end());
        return RunCli(args);
    };

    CliResult r = run({"program", source});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(r.Says("ファイル \"" + std::string(c.fixture) + "\" をロードしました。")) << r.out;
    EXPECT_EQ(r.LastLine(), "ベリファイOK。一致しました。") << r.out;

    r = run({"verify", source});
    EXPECT_EQ(r.status, 0) << r.out;

    // Read back and compare with the source image: every word or byte the
    // source sets must come back from the chip as it was written.
    const std::string back = Temp(std::string("back_") + c.fixture);
    r = run({"read", back});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.LastLine(), " \"" + back.substr(back.find_last_of('/') + 1) + "\" にセーブしました。");
    int index = -1;
    bool pic18 = false;
    for (int i = 1; i < DeviceTableSize; ++i)
        if (std::string(DeviceTable[i].Name) == c.name) index = i;
    for (int i = 1; i < DeviceTable18Size && index < 0; ++i)
        if (std::string(DeviceTable18[i].Name) == c.name) index = i, pic18 = true;
    ASSERT_GE(index, 0);
    const MemoryBuffer want = Image(source, pic18, index);
    const MemoryBuffer got = Image(back, pic18, index);
    if (pic18) {
        EXPECT_EQ(got.Program18, want.Program18);
        EXPECT_EQ(got.EEData18, want.EEData18);
        EXPECT_EQ(got.Id18[0], want.Id18[0]);
        const TDeviceSpec18 &d = DeviceTable18[static_cast<size_t>(index)];
        for (int k = 0; k < 14; ++k)
            EXPECT_EQ(got.Config18[k] & d.ConfigMask[k], want.Config18[k] & d.ConfigMask[k])
                << "CONFIG byte " << k;
    } else {
        const TDeviceSpec &d = DeviceTable[static_cast<size_t>(index)];
        for (uint32_t a = 0; a < d.ProgramSize; ++a) {
            // The last word of a part with its calibration there is the
            // chip's own, not the file's.
            if (a == d.CalibAddress1 || a == d.CalibAddress2) continue;
            ASSERT_EQ(got.Words[a], want.Words[a]) << "program word " << a;
        }
        for (uint32_t a = 0; a < d.EEDataSize; ++a)
            ASSERT_EQ(got.Words[EEDataAreaStart + a] & 0xFF, want.Words[EEDataAreaStart + a] & 0xFF)
                << "EEData " << a;
        const uint32_t config = d.ConfigAddress1 >= ConfigAreaStart ? d.ConfigAddress1 : Config12BitWord;
        EXPECT_EQ(got.Words[config] & d.ConfigMask1, want.Words[config] & d.ConfigMask1);
    }

    r = run({"erase"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.LastLine(), "消去OK。　デバイスはブランクです。");
    r = run({"blank"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.LastLine(), "デバイスはブランクです。");

    // The erased chip no longer holds the file: a negative result.
    r = run({"verify", source});
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_EQ(r.LastLine(), " !! 一致しません。");
}

// Every board variant with both families; a board behind a 16 ms adapter
// that the system knows nothing of (a pseudo-terminal has no latency timer)
// with the smallest part, whose reads its paced line keeps short.
INSTANTIATE_TEST_SUITE_P(
    BothFamilies, CliRoundTrip,
    testing::Values(DeviceCase{"PIC16F877A", "p16f877a.hex"}, DeviceCase{"PIC12F675", "p12f675.hex"},
                    DeviceCase{"PIC10F200", "p10f200.hex"}, DeviceCase{"PIC18F4550", "p18f4550.hex"},
                    DeviceCase{"PIC16F877A", "p16f877a.hex", "PaddedWithNul", {"--version-pad", "00"}},
                    DeviceCase{"PIC18F4550", "p18f4550.hex", "PaddedWithSpaces", {"--version-pad", "20"}},
                    DeviceCase{"PIC12F675", "p12f675.hex", "Packets", {"--chunk", "64", "--seed", "5"}},
                    DeviceCase{"PIC18F4550", "p18f4550.hex", "Packets", {"--chunk", "64", "--seed", "9"}},
                    DeviceCase{"PIC16F877A", "p16f877a.hex", "Jitter",
                               {"--jitter", "5", "--slow-reply", "500", "--seed", "4"}},
                    DeviceCase{"PIC18F4550", "p18f4550.hex", "Jitter",
                               {"--jitter", "5", "--slow-reply", "500", "--seed", "6"}},
                    DeviceCase{"PIC10F200", "p10f200.hex", "Usb16", {"--line", "usb=16"}}),
    [](const testing::TestParamInfo<DeviceCase> &info) {
        return std::string(info.param.board) + "_" + info.param.name;
    });

TEST(Cli, ProgramWithEraseFirstOverwritesAnOldImage)
{
    // The chip starts with another program; --erase clears it before the
    // file is written, so the verify passes.
    SimProcess sim({"--chip", "PIC16F877A", "--hex", Fixtures + "/p12f675.hex"});
    ASSERT_FALSE(sim.Path().empty());
    const CliResult r =
        RunCli({"-p", sim.Path(), "-d", "pic16f877a", "program", "--erase", Fixtures + "/p16f877a.hex"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(r.Says("デバイスはブランクです。")) << r.out;
    EXPECT_EQ(r.LastLine(), "ベリファイOK。一致しました。");
}

TEST(Cli, EraseKeepsOrReplacesTheCalibrationWord)
{
    SimProcess sim({"--chip", "PIC12F675", "--calib", "3450"});
    ASSERT_FALSE(sim.Path().empty());
    const std::vector<std::string> base{"-p", sim.Path(), "-d", "PIC12F675"};
    const int index = FindDevice("PIC12F675");
    const uint16_t calib = DeviceTable[static_cast<size_t>(index)].CalibAddress1;
    const std::string back = Temp("calib.hex");

    auto args = [&](std::vector<std::string> more) {
        std::vector<std::string> a = base;
        a.insert(a.end(), more.begin(), more.end());
        return a;
    };
    ASSERT_EQ(RunCli(args({"program", Fixtures + "/p12f675.hex"})).status, 0);
    ASSERT_EQ(RunCli(args({"erase"})).status, 0);
    ASSERT_EQ(RunCli(args({"read", back})).status, 0);
    EXPECT_EQ(Image(back, false, index).Words[calib], 0x3450);

    const CliResult r = RunCli(args({"erase", "--cal1", "3480"}));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(r.Says("!キャリブレーションデータは入力値に置き換わりました。")) << r.out;
    ASSERT_EQ(RunCli(args({"read", back})).status, 0);
    EXPECT_EQ(Image(back, false, index).Words[calib], 0x3480);
}

TEST(Cli, CalibrationChangeRefusedAndErasedCalibrationKeptOnlyWhenAsked)
{
    {
        // The part's erase keeps its calibration word: exit 2, chip untouched.
        const std::string dump = Temp("615.dump.hex");
        SimProcess sim({"--chip", "PIC12F615", "--calib", "2A51", "--dump", dump});
        const CliResult r = RunCli({"-p", sim.Path(), "-d", "PIC12F615", "--cal1", "1234", "erase"});
        EXPECT_EQ(r.status, 2) << r.out;
        EXPECT_TRUE(r.Says(" !! このデバイスではCALIBデータを変更できません。消去を中止しました。")) << r.out;
        ASSERT_EQ(sim.Stop(), 0);
        EXPECT_EQ(Image(dump, false, FindDevice("PIC12F615")).Words[0x2008], 0x2A51);
    }
    // Calibration words that read as erased: refused unless kept on purpose.
    SimProcess sim({"--chip", "PIC10F200", "--calib", "0FFF,0FFF"});
    const std::vector<std::string> base{"-p", sim.Path(), "-d", "PIC10F200", "erase"};
    const CliResult refused = RunCli(base);
    EXPECT_EQ(refused.status, 1) << refused.out;
    EXPECT_TRUE(refused.Says("--keep-erased-calibration")) << refused.out;
    std::vector<std::string> keep = base;
    keep.push_back("--keep-erased-calibration");
    EXPECT_EQ(RunCli(keep).status, 0);
}

TEST(Cli, RefusedChecksExitWithTwoAndTheirTexts)
{
    {
        // Another chip in the socket than the one chosen.
        SimProcess sim({"--chip", "PIC16F628A"});
        const CliResult r =
            RunCli({"-p", sim.Path(), "-d", "PIC16F877A", "program", Fixtures + "/p16f877a.hex"});
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.Says("DEVICEIDが異なります。")) << r.out;
        EXPECT_EQ(r.LastLine(), " !! DEVICE-IDが異なります。");
        // What was read, what was expected, and which part the chip is.
        EXPECT_NE(r.err.find("DEVICE-ID read 1060 (rev 2), expected 0E20 for PIC16F877A; the chip in the "
                             "socket looks like PIC16F628A (try -d PIC16F628A)"),
                  std::string::npos)
            << r.err;
    }
    {
        // A board that answers nothing.
        SimProcess sim({"--silent"});
        const CliResult r = RunCli({"-p", sim.Path(), "-d", "PIC16F877A", "blank"});
        EXPECT_EQ(r.status, 2);
        // The port is named by the path given, never by a made-up COM name.
        EXPECT_TRUE(r.Says(sim.Path() + "にプログラマーの接続を確認できませんでした。")) << r.out;
        EXPECT_FALSE(r.Says("COM0")) << r.out;
        EXPECT_EQ(r.LastLine(), " !! 接続を確認してください");
    }
    {
        // No programmer at all: the port does not exist.
        const CliResult r = RunCli({"-p", "/nonexistent/tty", "-d", "PIC16F877A", "erase"});
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.Says("COMポートがオープンされていません。")) << r.out;
        EXPECT_EQ(r.LastLine(), " !! 接続を確認してポートをオープンしてください。");
        EXPECT_NE(r.err.find("/nonexistent/tty"), std::string::npos) << r.err;
    }
    {
        // No device chosen and none saved in the settings.
        SimProcess sim({});
        const CliResult r = RunCli({"-p", sim.Path(), "blank"});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.LastLine(), " !! デバイスを選択してください。");
    }
}

TEST(Cli, HangupMidProgramIsALinkFailure)
{
    // The board goes away a few hundred bytes into the program; a generous
    // CTest time-out guards against a command that waits once per word.
    SimProcess sim({"--chip", "PIC16F877A", "--fault", "hangup-after=400"});
    const CliResult r = RunCli({"-p", sim.Path(), "-d", "PIC16F877A", "program", Fixtures + "/p16f877a.hex"});
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(r.Says("プログラマーからの応答が途切れました。")) << r.out;
    EXPECT_FALSE(r.Says("ベリファイOK")) << r.out;
}

// --json names how the link was lost, and only when it was. The first
// checksum of a PIC16 program is that of the row-write probe.
TEST(Cli, JsonSaysHowTheLinkWasLost)
{
    const std::pair<const char *, const char *> cases[] = {
        {"hangup-after=400", "silent"}, {"bad-echo=400", "echo"}, {"bad-sum=1", "checksum"}, {"", nullptr}};
    for (const auto &[fault, word] : cases) {
        std::vector<std::string> board{"--chip", "PIC16F877A"};
        if (*fault) board.insert(board.end(), {"--fault", fault});
        SimProcess sim(board);
        const CliResult r =
            RunCli({"--json", "-p", sim.Path(), "-d", "PIC16F877A", "program", Fixtures + "/p16f877a.hex"});
        const nlohmann::json j = Parsed(r);
        if (!word) {
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_FALSE(j.contains("link_error")) << r.out;
            continue;
        }
        EXPECT_EQ(r.status, 1) << fault;
        EXPECT_EQ(j.value("link_error", ""), word) << fault << " " << r.out;
    }
}

// Stops asked for by signal on a board that talks at the real speed: the
// command ends at its next command boundary, out of programming mode, says
// so and exits 128 + the signal; a read leaves the old file as it was; the
// next command works at once, even after a kill that left the board talking.
TEST(Cli, InterruptedCommandsLeaveTheBoardReady)
{
    SimProcess sim({"--chip", "PIC12F675", "--calib", "3450", "--pace"});
    ASSERT_FALSE(sim.Path().empty());
    const std::vector<std::string> base{"-p", sim.Path(), "-d", "PIC12F675"};
    auto args = [&](std::vector<std::string> more) {
        std::vector<std::string> a = base;
        a.insert(a.end(), more.begin(), more.end());
        return a;
    };
    auto after = [](int ms, int sig) {
        return [=](pid_t pid) {
            usleep(static_cast<useconds_t>(ms) * 1000);
            kill(pid, sig);
        };
    };
    const std::string back = Temp("kept.hex");
    std::ofstream(back, std::ios::binary) << ":00000001FF\r\n";

    CliResult r = RunCli(args({"read", back}), "", after(700, SIGINT));
    EXPECT_EQ(r.status, 130) << r.out << r.err;
    EXPECT_NE(r.err.find("中断しました。"), std::string::npos) << r.err;
    EXPECT_FALSE(r.Says("プログラマーからの応答が途切れました。")) << r.out;
    EXPECT_EQ(ReadText(back), ":00000001FF\r\n");
    r = RunCli(args({"identify"}));
    EXPECT_EQ(r.status, 0) << r.out << r.err;

    // Killed outright, the reader leaves the board streaming; the next
    // command drains it first.
    r = RunCli(args({"read", back}), "", after(700, SIGKILL));
    EXPECT_EQ(ReadText(back), ":00000001FF\r\n");
    r = RunCli(args({"identify"}));
    EXPECT_EQ(r.status, 0) << r.out << r.err;

    // SIGTERM at any moment of an erase: calibration is never lost.
    const int index = FindDevice("PIC12F675");
    const uint16_t calib = DeviceTable[static_cast<size_t>(index)].CalibAddress1;
    bool stopped = false;
    for (int ms : {150, 300, 450, 600}) {
        ASSERT_EQ(RunCli(args({"program", Fixtures + "/p12f675.hex"})).status, 0);
        r = RunCli(args({"erase"}), "", after(ms, SIGTERM));
        EXPECT_TRUE(r.status == 143 || r.status == 0) << ms << " ms: " << r.status << r.out << r.err;
        stopped = stopped || r.status == 143;
        const CliResult again = RunCli(args({"read", back}));
        ASSERT_EQ(again.status, 0) << ms << " ms" << r.out << r.err << again.out << again.err;
        EXPECT_EQ(Image(back, false, index).Words[calib], 0x3450) << ms << " ms";
    }
    EXPECT_TRUE(stopped);
}

TEST(Cli, FileErrorsExitWithThree)
{
    const CliResult missing = RunCli({"-d", "PIC16F877A", "dump", Temp("no-such-file.hex")});
    EXPECT_EQ(missing.status, 3);
    EXPECT_NE(missing.err.find("no-such-file.hex"), std::string::npos) << missing.err;
    EXPECT_FALSE(missing.Says("をロードしました")) << missing.out;

    SimProcess sim({"--chip", "PIC16F877A"});
    const CliResult unwritable =
        RunCli({"-p", sim.Path(), "-d", "PIC16F877A", "read", "/nonexistent/dir/x.hex"});
    EXPECT_EQ(unwritable.status, 3);
    EXPECT_FALSE(unwritable.Says("にセーブしました")) << unwritable.out;
}

TEST(Cli, DashIsStandardInputAndOutput)
{
    SimProcess sim({"--chip", "PIC12F675", "--hex", Fixtures + "/p12f675.hex"});
    const CliResult read = RunCli({"-p", sim.Path(), "-d", "PIC12F675", "read", "-"});
    ASSERT_EQ(read.status, 0) << read.err;
    // stdout holds the HEX file alone; the texts went to stderr.
    EXPECT_EQ(read.out.rfind(":", 0), 0u) << read.out;
    EXPECT_NE(read.err.find("にセーブしました。"), std::string::npos) << read.err;

    const std::string copy = Temp("copy.hex");
    std::ofstream(copy, std::ios::binary) << read.out;
    const CliResult verify = RunCli({"-p", sim.Path(), "-d", "PIC12F675", "verify", "-"}, "", {}, copy);
    EXPECT_EQ(verify.status, 0) << verify.out;
}

TEST(Cli, AutoSelectTakesTheDeviceFromTheFile)
{
    const std::string file = Temp("tagged.hex");
    std::ofstream(file) << ";PIC12F675\n:0400000001020304F2\n:00000001FF\n";
    SimProcess sim({"--chip", "PIC12F675"});
    // The file gives no configuration: the chip keeps its own.
    CliResult r = RunCli({"-p", sim.Path(), "--auto-select", "--keep-config", "program", file});
    EXPECT_EQ(r.status, 0) << r.out;
    // Without the flag, the settings file's device is the one checked.
    r = RunCli({"-p", sim.Path(), "--keep-config", "program", file}, "[device]\ngroup=PIC16\nname=PIC16F877A\n");
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_EQ(r.LastLine(), " !! DEVICE-IDが異なります。");
}

TEST(Cli, PortsShowsEachPortsState)
{
    SimProcess board({"--chip", "PIC16F877A"});
    SimProcess silent({"--silent"});
    std::string settings = "[ports]\ncom2=" + silent.Path() + "\ncom3=" + board.Path() + "\n";
    for (int n : {1, 4, 5, 6, 7, 8, 9, 10})
        settings += "com" + std::to_string(n) + "=/nonexistent/tty" + std::to_string(n) + "\n";
    const CliResult json = RunCli({"--json", "ports"}, settings);
    EXPECT_EQ(json.status, 0) << json.out;
    const nlohmann::json ports = Parsed(json)["ports"];
    ASSERT_EQ(ports.size(), 10u) << json.out;
    EXPECT_EQ(ports[2], (nlohmann::json{{"port", "COM3"},
                                        {"state", "programmer"},
                                        {"reason", nullptr},
                                        {"path", board.Path()},
                                        {"by_id", nullptr},
                                        {"node", board.Path()},
                                        {"usb", nullptr},
                                        {"latency_ms", nullptr}}));
    EXPECT_EQ(ports[1]["state"], "no programmer");
    const CliResult r = RunCli({"ports"}, settings);
    EXPECT_EQ(r.status, 0) << r.out;
    const auto lines = r.Lines();
    ASSERT_EQ(lines.size(), 10u) << r.out;
    EXPECT_EQ(lines[0].rfind("COM1  使用不可", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("COM2  未接続", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind("COM3  Tarnbox", 0), 0u) << lines[2];
    EXPECT_EQ(lines[9].rfind("COM10 使用不可", 0), 0u) << lines[9];
    // The paths start in one column on the terminal.
    for (const std::string &line : lines)
        EXPECT_EQ(DisplayWidth(line.substr(0, line.find('/'))), 16) << line;

    // Without -p the command finds the programmer the same way.
    const CliResult blank = RunCli({"-d", "PIC16F877A", "-v", "blank"}, settings);
    EXPECT_EQ(blank.status, 0) << blank.out;
    EXPECT_TRUE(blank.Says("COM3をオープンしました。")) << blank.out;
}

// --json names the port the command ran on however it was chosen, though
// the command has closed it before the object is written.
TEST(Cli, JsonNamesThePortUsed)
{
    SimProcess board({"--chip", "PIC16F877A"});
    std::string map = "[ports]\ncom3=" + board.Path() + "\n";
    for (int n : {1, 2, 4, 5, 6, 7, 8, 9, 10})
        map += "com" + std::to_string(n) + "=/nonexistent/tty" + std::to_string(n) + "\n";
    struct Case {
        const char *how;
        std::vector<std::string> args;
        std::string settings, port;
    } cases[] = {
        {"fixed in the settings", {}, map + "[port]\nfixes=1\nname=COM3\n", "COM3"},
        {"found by the search", {}, map, "COM3"},
        {"given as a COM name", {"-p", "COM3"}, map, "COM3"},
        {"given as a path", {"-p", board.Path()}, "", board.Path()},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args{"--json"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back("version");
        const CliResult r = RunCli(args, c.settings);
        EXPECT_EQ(r.status, 0) << c.how << r.out << r.err;
        EXPECT_EQ(Parsed(r)["port"], c.port) << c.how;
    }
}

// A built-in UART the user may not open gets advice for its kind: a rule by
// its kernel name and the group dialout, never the USB rule's ids. Its node
// stands in by a file that refuses even root's writes.
TEST(Cli, PortsAdviseAUartByItsKind)
{
    const std::string refusing = "/proc/sys/kernel/osrelease";
    const int fd = open(refusing.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) close(fd);
    if (fd >= 0 || errno != EACCES) GTEST_SKIP() << refusing << " does not refuse with EACCES here";
    FakeDevTree tree("cli-uart");
    tree.AddUart("ttyS0", false);
    std::filesystem::remove(tree.Dev("ttyS0"));
    std::filesystem::create_symlink(refusing, tree.Dev("ttyS0"));
    std::string absent = "[ports]\n";
    for (int n = 1; n <= 10; ++n)
        absent += "com" + std::to_string(n) + "=/nonexistent/tty" + std::to_string(n) + "\n";

    const CliResult r = RunCli({"ports"}, absent);
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_TRUE(r.Says("-     権限なし  " + tree.Dev("ttyS0") + "\n")) << r.out;
    const std::string all = r.out + r.err;
    for (const std::string &says :
         {tree.Dev("ttyS0") + " を開く権限がありません（-r--r--r-- root root）。内蔵のシリアルポート",
          std::string("echo 'KERNEL==\"ttyS0\", GROUP=\"dialout\", MODE=\"0660\"' | sudo tee "),
          std::string("sudo usermod -aG dialout $USER")})
        EXPECT_NE(all.find(says), std::string::npos) << says << "\n" << all;
    EXPECT_EQ(all.find("idVendor"), std::string::npos) << all;
}

// A USB adapter udev named in /dev/serial/by-id, with the simulated board
// behind it: listed with its stable name, node and USB ids, and reached
// through -p by each name a user may give it.
TEST(Cli, PortsByStableName)
{
    SimProcess board({"--chip", "PIC16F877A"});
    FakeDevTree tree("cli-by-id");
    const std::string byId = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    tree.AddUsbTty("ttyUSB4", {.serial = "A50285BI"}, byId, board.Path());
    std::string absent = "[ports]\n";
    for (int n = 1; n <= 10; ++n)
        absent += "com" + std::to_string(n) + "=/nonexistent/tty" + std::to_string(n) + "\n";

    CliResult r = RunCli({"ports"}, absent);
    EXPECT_EQ(r.status, 0) << r.out;
    auto lines = r.Lines();
    ASSERT_EQ(lines.size(), 11u) << r.out;
    EXPECT_EQ(lines[10], "-     Tarnbox   " + tree.ById(byId) + " → " + tree.Dev("ttyUSB4") +
                             "  FTDI FT232R USB UART, 0403:6001, usb:A50285BI")
        << r.out;
    const nlohmann::json json = Parsed(RunCli({"--json", "ports"}, absent))["ports"];
    ASSERT_EQ(json.size(), 11u);
    EXPECT_EQ(json[10]["port"], nullptr);
    EXPECT_EQ(json[10]["state"], "programmer");
    EXPECT_EQ(json[10]["by_id"], tree.ById(byId));
    EXPECT_EQ(json[10]["node"], tree.Dev("ttyUSB4"));
    EXPECT_EQ(json[10]["usb"]["serial"], "A50285BI");
    EXPECT_EQ(json[0]["reason"], "missing");

    // A COM name the map gives the by-id name stands for the device; its
    // line says so instead of probing the board twice.
    r = RunCli({"ports"}, absent + "com5=" + byId + "\n");
    lines = r.Lines();
    ASSERT_EQ(lines.size(), 11u) << r.out;
    EXPECT_EQ(lines[4], "COM5  Tarnbox   " + tree.ById(byId)) << r.out;
    EXPECT_EQ(lines[10].rfind("COM5  Tarnbox   " + tree.ById(byId) + " → ", 0), 0u) << r.out;
    EXPECT_EQ(Parsed(RunCli({"--json", "ports"}, absent + "com5=" + byId + "\n"))["ports"][4]["by_id"], tree.ById(byId));

    struct Case {
        std::string port;
        int status;
        std::string says; // on stdout, or stderr for a failure
    } cases[] = {
        {byId, 0, "Vexa"},
        {tree.ById(byId), 0, "Vexa"},
        {"usb:A50285BI", 0, "Vexa"},
        {"usb:A50285BX", 2, "usb:A50285BX: no serial device has this USB serial number"},
    };
    for (const Case &c : cases) {
        r = RunCli({"-p", c.port, "version"});
        EXPECT_EQ(r.status, c.status) << c.port << r.out << r.err;
        EXPECT_NE((c.status ? r.err : r.out).find(c.says), std::string::npos) << c.port << r.out << r.err;
    }
    // Messages and --json name the port by the device it led to.
    EXPECT_EQ(Parsed(RunCli({"--json", "-p", "usb:A50285BI", "version"}))["port"], tree.ById(byId));
}

TEST(Cli, VersionAndIdentify)
{
    SimProcess sim({"--chip", "PIC18F4550"});
    CliResult r = RunCli({"-p", sim.Path(), "version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.Says("コントローラバージョン Vexa")) << r.out;
    r = RunCli({"-p", sim.Path(), "identify"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.Says("PIC18F4550")) << r.out;

    SimProcess empty({"--chip", "none"});
    r = RunCli({"-p", empty.Path(), "identify"});
    EXPECT_EQ(r.status, 1) << r.out;
}

TEST(Cli, DumpPrintsTheWindowsViews)
{
    const std::string file = Fixtures + "/p16f877a.hex";
    const CliResult r = RunCli({"-q", "-d", "PIC16F877A", "dump", file});
    ASSERT_EQ(r.status, 0) << r.err;
    const int index = FindDevice("PIC16F877A");
    const MemoryBuffer image = Image(file, false, index);
    const TDeviceSpec &d = DeviceTable[static_cast<size_t>(index)];
    EXPECT_TRUE(r.Says(ProgramDumpHeader(false) + "\n" + ProgramDumpText(image, d) + "\n"));
    EXPECT_TRUE(r.Says(DataDumpText(image, d)));
    EXPECT_TRUE(r.Says(ConfigDumpText(image, d)));
    EXPECT_TRUE(r.Says("\nチェックサム 0E3C\n")) << r.out; // worked out in the core's checksum test
}

// Data the part would not get as the file says: dump and config warn on
// stderr and go on.
TEST(Cli, DumpAndConfigWarnOfDataThePartWouldNotGet)
{
    const std::string file = Temp("too-big.hex");
    std::ofstream(file, std::ios::trunc) << Lines({Record(0x0000, 0, {0x34, 0x12}), Record(0x3E00, 0, {0x34, 0x12}),
                                                   Record(0x4200, 0, {0x12, 0x01}), ":00000001FF"});
    const std::string heading =
        "tarnvik-cli: ファイル \"too-big.hex\" の 2 件のレコードがデバイス PIC16F628A にそのとおりには入りません。\n";
    for (const std::vector<std::string> &args : {std::vector<std::string>{"-d", "PIC16F628A", "dump", file},
                                                 std::vector<std::string>{"-d", "PIC16F628A", "config", file}}) {
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find(heading), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("  2 行目 (0x1F00): デバイスのメモリの外にあるデータです（書き込まれません）。\n"),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("  3 行目 (0x2100): EEPROMのデータの上位バイトが0ではありません"), std::string::npos)
            << r.err;
    }
}

// Program and verify refuse a file the part would not get as written, before
// the port is opened: the chip keeps what it held, and a port that does not
// exist is never reached (exit 3, not the check's 2).
TEST(Cli, ProgramAndVerifyRefuseDataThePartWouldNotGet)
{
    struct Row {
        const char *name;
        std::string text;
        const char *says;
    };
    const std::vector<Row> rows{
        {"beyond-program.hex",
         Lines({Record(0x0000, 0, {0x34, 0x12}), Record(0x3E00, 0, {0x34, 0x12}), ":00000001FF"}),
         "  2 行目 (0x1F00): デバイスのメモリの外にあるデータです"},
        {"eeprom-high.hex",
         Lines({Record(0x0000, 0, {0x34, 0x12}), Record(0x4200, 0, {0x12, 0x01}), ":00000001FF"}),
         "  2 行目 (0x2100): EEPROMのデータの上位バイトが0ではありません"},
        {"pic18.hex",
         Lines({Record(0x0000, 0, {0x34, 0x12}), Record(0x0000, 4, {0x00, 0x30}),
                Record(0x0000, 0, {0x12, 0x01}), ":00000001FF"}),
         "  2 行目 (0x300000-0x300001): PIC18用の拡張アドレスです"},
    };
    const std::string before = Temp("held.hex");
    std::ofstream(before, std::ios::trunc) << Lines({Record(0x0000, 0, {0x05, 0x28}), ":00000001FF"});
    const int index = FindDevice("PIC16F628A");
    for (const Row &row : rows) {
        const std::string file = Temp(row.name);
        std::ofstream(file, std::ios::trunc) << row.text;
        for (const char *command : {"program", "verify"}) {
            SCOPED_TRACE(std::string(row.name) + " " + command);
            const std::string dump = Temp("held.dump.hex");
            SimProcess sim({"--chip", "PIC16F628A", "--hex", before, "--dump", dump});
            for (const std::string &port : {sim.Path(), std::string("/nonexistent/tty")}) {
                const CliResult r = RunCli({"-p", port, "-d", "PIC16F628A", command, file});
                EXPECT_EQ(r.status, 3) << r.out << r.err;
                EXPECT_NE(r.err.find(row.says), std::string::npos) << r.err;
                EXPECT_NE(
                    r.err.find("tarnvik-cli: "
                               "ファイルの内容がそのとおりにはデバイスに入らないため、中止しました。\n"),
                    std::string::npos)
                    << r.err;
            }
            ASSERT_EQ(sim.Stop(), 0);
            EXPECT_EQ(Image(dump, false, index).Words[0], 0x2805);
        }
    }
}

// -d auto: the DEVICE-ID picks the part, or the refusal names the candidates.
TEST(Cli, DeviceAutoPicksFromTheDeviceId)
{
    struct Row {
        const char *chip;
        int status;
        const char *says;
    };
    const Row rows[] = {
        {"PIC16F877A", 0, "DEVICE-ID 0E20 から PIC16F877A を選択しました。"},
        {"PIC18F4550", 0, "DEVICE-ID 1200 から PIC18F4550 を選択しました。"},
        {"PIC16F636", 2, "DEVICE-ID 10A0 のデバイスが複数あり、決められません（PIC16F636, PIC16F639）。"},
        // A part without an ID reads as erased or empty, and may be any such part.
        {"PIC10F200", 2, "のないデバイスかもしれません: PIC10F200,"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.chip);
        SimProcess sim({"--chip", row.chip});
        const CliResult r = RunCli({"-p", sim.Path(), "-d", "auto", "blank"});
        EXPECT_EQ(r.status, row.status) << r.out << r.err;
        EXPECT_TRUE(r.Says(row.says)) << r.out;
        if (row.status == 0) {
            EXPECT_EQ(r.LastLine(), "デバイスはブランクです。") << r.out;
        }
    }
}

// A chip whose configuration protects it reads back zeros in the protected
// memories; the simulator's dump still shows what the cells hold.
TEST(Cli, ProtectedChipReadsAsZeros)
{
    const std::string image = Temp("protected.hex"), dump = Temp("protected.dump.hex"), out = Temp("read.hex");
    // The assembled file's code and EEPROM with CP = ALL and CPD = ON.
    std::ofstream(image, std::ios::trunc)
        << Lines({Record(0x0000, 0, {0x8A, 0x01, 0x05, 0x28}), Record(0x4200, 0, {0x5A, 0x00}),
                  Record(0x400E, 0, {0x72, 0x1E}), ":00000001FF"});
    SimProcess sim({"--chip", "PIC16F877A", "--hex", image, "--dump", dump});
    const CliResult r = RunCli({"-p", sim.Path(), "-d", "PIC16F877A", "read", out});
    // Saved, but marked by the warning and exit status 1.
    ASSERT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("保護されたメモリーは 0 として読み出されています。"), std::string::npos) << r.out;
    ASSERT_EQ(sim.Stop(), 0);
    const int index = FindDevice("PIC16F877A");
    const MemoryBuffer read = Image(out, false, index), cells = Image(dump, false, index);
    EXPECT_EQ(read.Words[0], 0x0000);
    EXPECT_EQ(read.Words[EEDataAreaStart], 0x0000);
    EXPECT_EQ(read.Words[0x2007], 0x1E72);
    EXPECT_EQ(cells.Words[0], 0x018A);
    EXPECT_EQ(cells.Words[EEDataAreaStart], 0x005A);
}

TEST(Cli, HelpAndBadUsage)
{
    const CliResult help = RunCli({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char *word :
         {"ports",         "version",          "devices",       "identify",   "read",
          "program",       "verify",           "erase",         "blank",      "dump",
          "--port",        "--device",         "--auto-select", "--erase",    "--no-verify",
          "--small-block", "--verify-user-id", "--save-all",    "--cal1",     "--cal2",
          "--settings",    "--quiet",          "--verbose",     "Exit status"})
        EXPECT_TRUE(help.Says(word)) << word;

    // Bad usage has its own status, apart from a refused check's 2.
    EXPECT_EQ(RunCli({}).status, 64);
    EXPECT_EQ(RunCli({"frobnicate"}).status, 64);
    EXPECT_EQ(RunCli({"read"}).status, 64);
    EXPECT_EQ(RunCli({"--port"}).status, 64);
    EXPECT_EQ(RunCli({"-d", "PIC99X", "blank"}, "").status, 64);
    EXPECT_EQ(RunCli({"erase", "--cal1", "12G4", "-d", "PIC12F675"}).status, 64);
    // Options that would be silently ignored are refused.
    EXPECT_EQ(RunCli({"blank", "--cal1", "1234"}).status, 64);
    EXPECT_EQ(RunCli({"verify", "--no-verify", "x.hex"}).status, 64);
    // A part without calibration words cannot have them replaced.
    EXPECT_EQ(RunCli({"-d", "PIC16F877A", "erase", "--cal1", "1234"}).status, 64);

    const CliResult version = RunCli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("tarnvik-cli (Tarnvik Ver.2.53+a", 0), 0u) << version.out;

    const CliResult devices = RunCli({"devices"});
    EXPECT_EQ(devices.status, 0);
    EXPECT_EQ(devices.Lines().size(), static_cast<size_t>(DeviceTableSize - 1 + DeviceTable18Size - 1));
    EXPECT_FALSE(devices.Says("<PIC")) << "the family switch rows are no devices";
}

TEST(Cli, ConfigurationBitsByName)
{
    const std::string source = Fixtures + "/p16f877a.hex";
    CliResult r = RunCli({"-d", "PIC16F877A", "config", source});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(r.Says("CONFIG (2007) = 3F72\nFOSC = HS  (HS oscillator)\nWDTE = OFF  (WDT disabled)\n"))
        << r.out;

    r = RunCli({"-d", "PIC18F4550", "--json", "config", Fixtures + "/p18f4550.hex"});
    ASSERT_EQ(r.status, 0) << r.err;
    const nlohmann::json plldiv = Parsed(r)["words"][0]["fields"][0];
    EXPECT_EQ(plldiv["name"], "PLLDIV") << r.out;
    EXPECT_EQ(plldiv["mask"], "07");
    EXPECT_EQ(plldiv["bits"], "04");
    EXPECT_EQ(plldiv["setting"], "5");

    r = RunCli({"devices", "--config", "pic16f88"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.Says("CONFIG2 (2008)")) << r.out;
    EXPECT_TRUE(r.Says("    IESO=OFF")) << r.out;

    // Parts without names keep the words in hexadecimal, with a note.
    r = RunCli({"-d", "PIC12F610", "config", Fixtures + "/p12f675.hex"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.Says("このデバイスのコンフィグビット名がありません。\nCONFIG (2007) = ")) << r.out;

    SimProcess sim({"--chip", "PIC16F877A"});
    ASSERT_FALSE(sim.Path().empty());
    r = RunCli({"-p", sim.Path(), "-d", "PIC16F877A", "program", "--config", "wdte=on", source});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    r = RunCli({"-p", sim.Path(), "-d", "PIC16F877A", "config"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(r.Says("CONFIG (2007) = 3F76\n")) << r.out;
    EXPECT_TRUE(r.Says("WDTE = ON  (WDT enabled)")) << r.out;
    EXPECT_FALSE(r.Says("Program Memory")) << "only the configuration words are read";

    for (const char *bad : {"WDTX=ON", "FOSC=QQ"}) {
        r = RunCli({"-p", sim.Path(), "-d", "PIC16F877A", "program", "--config", bad, source});
        EXPECT_EQ(r.status, 64) << bad;
        EXPECT_NE(r.err.find(bad[0] == 'W' ? "有効な名前: FOSC WDTE" : "有効な設定: LP XT HS EXTRC"),
                  std::string::npos)
            << r.err;
        EXPECT_FALSE(r.Says("書き込みました")) << r.out;
    }
}

// Whatever ends the run, stdout holds one valid JSON object with the
// command, its result and the exit status; names that are no UTF-8 (a file,
// a port, a device, a header's text) come out as U+FFFD.
TEST(Cli, JsonIsOneResultObjectOnStdout)
{
    SimProcess sim({"--chip", "PIC16F628A"});
    SimProcess paced({"--chip", "PIC12F675", "--pace"});
    ASSERT_FALSE(sim.Path().empty());
    const std::string hex = Fixtures + "/p16f877a.hex";
    const std::string headers = Temp("hostile-headers");
    mkdir(headers.c_str(), 0700);
    std::ofstream(headers + "/p16f877a.inc") << "_CONFIG EQU H'2007'\n;----- CONFIG Options ---\n"
                                                "_FOO_A EQU H'3FFE' ; caf\xe9\n_FOO_B EQU H'3FFF' ; second\n";
    SimProcess loaded({"--chip", "PIC16F877A", "--hex", hex});
    const std::string beyond = Temp("json-beyond.hex");
    std::ofstream(beyond, std::ios::trunc)
        << Lines({Record(0x0000, 0, {0x34, 0x12}), Record(0x3E00, 0, {0x34, 0x12}), ":00000001FF"});
    using J = nlohmann::json;
    struct Case {
        std::vector<std::string> args;
        int status;
        const char *result;
        std::vector<std::pair<std::string, J>> fields; // JSON pointer, value
        int signalAfterMs = 0;
    };
    const std::vector<Case> cases{
        {{"devices"},
         0,
         "ok",
         {{"/devices/" + std::to_string(FindDevice("PIC16F877A") - 1),
           {{"name", "PIC16F877A"},
            {"family", "14-bit"},
            {"program_size", 8192},
            {"program_unit", "words"},
            {"eedata_bytes", 256},
            {"device_id", "0E20"}}}}},
        {{"-p", sim.Path(), "version"},
         0,
         "ok",
         {{"/port", sim.Path()}, {"/controller", "Vexa Ver.1.30 Tarnbox"}}},
        {{"-p", sim.Path(), "identify"},
         0,
         "ok",
         {{"/device_id", "1060 rev 2"},
          {"/id", "1060"},
          {"/revision", 2},
          {"/chips/0",
           {{"device_id", "1060 rev 2"},
            {"id", "1060"},
            {"revision", 2},
            {"family", "PIC10/12/16"},
            {"names", {"PIC16F628A"}}}},
          {"/messages/0", "DEVICE-ID 1060 rev 2 (PIC10/12/16)  PIC16F628A"}}},
        {{"-p", sim.Path(), "-d", "PIC16F628A", "blank"}, 0, "ok", {{"/device", "PIC16F628A"}}},
        {{"-p", sim.Path(), "-d", "PIC16F877A", "program", hex},
         2,
         "refused",
         {{"/messages/1", "ファイル \"p16f877a.hex\" をロードしました。"}}},
        {{"-d", "PIC16F628A", "dump", "/nonexistent/x.hex"}, 3, "file error", {{"/port", nullptr}}},
        {{"--config", "PIC16F88", "devices"}, 0, "ok", {{"/device", "PIC16F88"}, {"/names", true}}},
        {{"-d", "PIC16F877A", "config", hex}, 0, "ok", {{"/command", "config"}, {"/words/0/value", "3F72"}}},
        // What the file would not give the part, as data; the checksum of
        // the file and of the chip read back (the dump test's figure).
        {{"-d", "PIC16F628A", "dump", beyond},
         0,
         "ok",
         {{"/findings",
           {{{"line", 2},
             {"first", "1F00"},
             {"last", "1F00"},
             {"kind", "outside_part"},
             {"addresses", "buffer"},
             {"changes_what_is_written", true}}}},
          {"/findings_count", 1}}},
        {{"-p", loaded.Path(), "-d", "PIC16F877A", "verify", hex},
         0,
         "ok",
         {{"/checksum", "0E3C"}, {"/findings", J::array()}}},
        {{"-p", loaded.Path(), "-d", "PIC16F877A", "read", Temp("json-read.hex")},
         0,
         "ok",
         {{"/checksum", "0E3C"}}},
        // Every way a run can end.
        {{"--bogus", "devices"}, 64, "usage", {{"/command", nullptr}}},
        {{"--settings", "/nonexistent/tarnvik.ini", "devices"}, 64, "usage", {}},
        {{"program"}, 64, "usage", {{"/command", "program"}}},
        {{"--repeat", "-p", sim.Path(), "blank"}, 64, "usage", {}},
        {{"-p", paced.Path(), "-d", "PIC12F675", "read", Temp("interrupted.hex")},
         130,
         "interrupted",
         {},
         700},
        // Names that are no UTF-8.
        {{"dump", "/nonexistent/\xff\xfe.hex"}, 3, "file error", {}},
        {{"-d", "PIC16F\xff", "devices"},
         64,
         "usage",
         {{"/messages/0", "unknown device 'PIC16F\uFFFD' (see tarnvik-cli devices)"}}},
        {{"-p", "/nonexistent/tty\xc3", "-d", "PIC16F628A", "blank"},
         2,
         "port not open",
         {{"/port", "/nonexistent/tty\uFFFD"}}},
        {{"--config", "PIC16F877A", "devices"},
         0,
         "ok",
         {{"/words/0/fields/0/settings/0/description", "caf\uFFFD"}}},
    };
    setenv("TARNVIK_GPUTILS_HEADERS", headers.c_str(), 1);
    for (const Case &c : cases) {
        std::vector<std::string> args{"--json"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliResult r = RunCli(args, "",
                                   c.signalAfterMs ? std::function<void(pid_t)>([&](pid_t pid) {
                                       usleep(static_cast<useconds_t>(c.signalAfterMs) * 1000);
                                       kill(pid, SIGINT);
                                   })
                                                   : std::function<void(pid_t)>());
        std::string name;
        for (const std::string &a : c.args)
            name += a + " ";
        EXPECT_EQ(r.status, c.status) << name << r.err;
        // One object on one line: nothing else on stdout.
        ASSERT_EQ(r.Lines().size(), 1u) << name << r.out;
        const J result = Parsed(r);
        if (!result.is_object()) continue;
        EXPECT_EQ(result["result"], std::string(c.result)) << name << r.out;
        EXPECT_EQ(result["exit_status"], c.status) << name;
        EXPECT_TRUE(result.contains("command") && result["messages"].is_array()) << name << r.out;
        for (const auto &[pointer, value] : c.fields) {
            const J::json_pointer at(pointer);
            ASSERT_TRUE(result.contains(at)) << name << pointer << "\n" << r.out;
            EXPECT_EQ(result[at], value) << name << pointer << "\n" << r.out;
        }
        if (c.status != 0) {
            EXPECT_FALSE(r.err.empty()) << name << ": the texts go to stderr";
        }
    }
    unsetenv("TARNVIK_GPUTILS_HEADERS");
}

TEST(Cli, VerboseShowsEachLineOnceAndCommandLineAdvice)
{
    SimProcess sim({"--chip", "PIC16F877A"});
    ASSERT_FALSE(sim.Path().empty());
    CliResult r = RunCli({"-v", "-p", sim.Path(), "-d", "PIC16F877A", "program", Fixtures + "/p16f877a.hex"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const auto lines = r.Lines();
    for (size_t i = 0; i < lines.size(); ++i)
        for (size_t k = i + 1; k < lines.size(); ++k)
            EXPECT_NE(lines[i], lines[k]) << r.out;

    // No window here to pick a port in: the advice names -p and the ports command.
    r = RunCli({"-p", "/nonexistent/tty", "-d", "PIC16F877A", "blank"});
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(r.Says("Optionタブ")) << r.out;
    EXPECT_TRUE(r.Says("-p でポートを指定してください")) << r.out;
    EXPECT_TRUE(r.Says("tarnvik-cli ports")) << r.out;
}

// A session recorded with --trace on a board at the real speed, played back
// by tarnbox-sim --replay, gives the host the same result: the same exit
// status, the same texts and the same file read. A failing board's session
// (a wrong echo in the middle) comes back as the same failure. The trace
// names the user's file in its header and nowhere else.
TEST(Cli, TracedSessionReplaysToTheSameResult)
{
    struct Case {
        const char *name;
        std::vector<std::string> board; // beside --line uart --chip PIC12F675
        std::vector<std::string> command;
        int status;
    };
    const std::string source = Fixtures + "/p12f675.hex";
    const std::string readBack = Temp("traced_read.hex");
    const Case cases[] = {
        {"program --erase", {"--calib", "3450"}, {"program", "--erase", source}, 0},
        {"read", {"--hex", source}, {"read", readBack}, 0},
        {"failing echo", {"--fault", "bad-echo=300"}, {"program", source}, 1},
    };
    for (const Case &c : cases) {
        const std::string trace = Temp("session.trace");
        std::vector<std::string> board{"--line", "uart", "--chip", "PIC12F675"};
        board.insert(board.end(), c.board.begin(), c.board.end());
        auto run = [&](const std::string &port, std::vector<std::string> more) {
            std::vector<std::string> args{"-p", port, "-d", "PIC12F675"};
            args.insert(args.end(), more.begin(), more.end());
            args.insert(args.end(), c.command.begin(), c.command.end());
            CliResult r = RunCli(args);
            // The two boards sit on different terminals.
            for (size_t at; (at = r.out.find(port)) != std::string::npos;)
                r.out.replace(at, port.size(), "PORT");
            return r;
        };
        CliResult recorded, replayed;
        std::string readFirst;
        std::remove(readBack.c_str());
        {
            SimProcess sim(board);
            ASSERT_FALSE(sim.Path().empty());
            recorded = run(sim.Path(), {"--trace", trace});
            readFirst = ReadText(readBack);
        }
        std::remove(readBack.c_str());
        {
            SimProcess replay({"--replay", trace});
            ASSERT_FALSE(replay.Path().empty());
            replayed = run(replay.Path(), {});
        }
        EXPECT_EQ(recorded.status, c.status) << c.name << "\n" << recorded.out << recorded.err;
        EXPECT_EQ(replayed.status, recorded.status) << c.name << "\n" << replayed.out << replayed.err;
        EXPECT_EQ(replayed.out, recorded.out) << c.name;
        EXPECT_EQ(ReadText(readBack), readFirst) << c.name;

        std::istringstream lines(ReadText(trace));
        std::string header;
        std::getline(lines, header);
        EXPECT_EQ(header.rfind("# tarnvik-cli (", 0), 0u) << header;
        EXPECT_NE(header.find("; device PIC12F675; port "), std::string::npos) << header;
        // The file by its name alone.
        const std::string file = c.command.back();
        EXPECT_NE(header.find(" " + file.substr(file.rfind('/') + 1)), std::string::npos) << header;
        EXPECT_EQ(header.find(file.substr(0, file.rfind('/'))), std::string::npos) << header;
        size_t sent = 0, received = 0;
        for (std::string line; std::getline(lines, line);) {
            EXPECT_EQ(line.find(".hex"), std::string::npos) << c.name << ": " << line;
            sent += line.find(" > ") != std::string::npos;
            received += line.find(" < ") != std::string::npos;
        }
        EXPECT_GT(sent, 40u) << c.name;
        EXPECT_GT(received, 100u) << c.name;
    }
    EXPECT_EQ(RunCli({"--trace", "/nonexistent/dir/t", "-p", "/dev/null", "version"}).status, 3);
}

// Hand-edited [rts-dtr] keys set the lines and the wait the window sets for
// the same file (its settings test reads the same record), and a trace that
// holds them still replays.
TEST(Cli, HandEditedLineKeysSetTheWindowsLines)
{
    const std::string odd = "[rts-dtr]\nenable=1\nrts=2\ndtr=1\nwait=0x1388\n";
    const std::string trace = Temp("lines.trace");
    {
        SimProcess sim({"--chip", "PIC16F877A"});
        ASSERT_FALSE(sim.Path().empty());
        const CliResult r = RunCli({"--trace", trace, "-p", sim.Path(), "version"}, odd);
        ASSERT_EQ(r.status, 0) << r.out << r.err;
    }
    const std::string text = ReadText(trace);
    EXPECT_NE(text.find(" lines rts=1 dtr=1 wait=200\n"), std::string::npos) << text;
    SimProcess replay({"--replay", trace});
    ASSERT_FALSE(replay.Path().empty());
    EXPECT_EQ(RunCli({"-p", replay.Path(), "version"}, odd).status, 0);
}

// A trace path that would destroy a file of the run, write through a link
// or block is refused with the file-error status before any port is opened
// (a refused trace never reaches /dev/null, which no board answers on), and
// the files stay as they were.
TEST(Cli, TracePathsThatWouldLoseAFileOrBlockAreRefused)
{
    const std::string hex = Temp("traced_app.hex"), target = Temp("trace_target.txt");
    std::ofstream(hex) << ReadText(Fixtures + "/p12f675.hex");
    std::ofstream(target) << "keep";
    const std::string link = Temp("trace_link"), fifo = Temp("trace_fifo");
    std::remove(link.c_str());
    std::remove(fifo.c_str());
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // A FIFO that blocked the open would be ended here: a bounded wait,
    // whose end the status shows.
    const auto bounded = [](pid_t pid) {
        siginfo_t info{};
        for (int i = 0; i < 1000; ++i) {
            info.si_pid = 0;
            if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != 0)
                return;
            usleep(10000);
        }
        kill(pid, SIGKILL);
    };
    for (const std::string &trace : {hex, link, fifo, Temp("settings.ini")}) {
        SCOPED_TRACE(trace);
        const CliResult r =
            RunCli({"--json", "--trace", trace, "-p", "/dev/null", "-d", "PIC12F675", "program", hex}, "", bounded);
        EXPECT_EQ(r.status, 3) << r.err;
        const nlohmann::json result = Parsed(r);
        EXPECT_EQ(result["result"], "file error") << r.out;
    }
    EXPECT_EQ(ReadText(hex), ReadText(Fixtures + "/p12f675.hex"));
    EXPECT_EQ(ReadText(target), "keep");
    std::remove(link.c_str());
    std::remove(fifo.c_str());
}

// A trace a write fails for (here the file-size limit of ulimit -f) leaves
// the chip's run as it went: programmed and verified, exit status 0, and
// the run says the trace is cut, on stderr and in --json.
TEST(Cli, ACutTraceIsSaidAndTheRunGoesOn)
{
    SimProcess sim({"--chip", "PIC12F675"});
    ASSERT_FALSE(sim.Path().empty());
    const std::string trace = Temp("limited.trace");
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    const rlimit limited{8192, before.rlim_max};
    const auto previous = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limited);
    const CliResult r = RunCli(
        {"--json", "--trace", trace, "-p", sim.Path(), "-d", "PIC12F675", "program", Fixtures + "/p12f675.hex"});
    setrlimit(RLIMIT_FSIZE, &before);
    signal(SIGXFSZ, previous);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("通信トレースを最後まで書き込めませんでした"), std::string::npos) << r.err;
    const nlohmann::json result = Parsed(r);
    EXPECT_EQ(result["trace_incomplete"], true) << r.out;
    EXPECT_EQ(result["result"], "ok") << r.out;

    const CliResult whole = RunCli(
        {"--json", "--trace", trace, "-p", sim.Path(), "-d", "PIC12F675", "verify", Fixtures + "/p12f675.hex"});
    EXPECT_EQ(whole.status, 0) << whole.err;
    EXPECT_EQ(Parsed(whole)["trace_incomplete"], false) << whole.out;
}

// A command reads the DEVICE-ID twice, in the check, and never again: each
// read is a programming-mode entry more, which a production chip pays for.
// The reads are found in the trace by their commands: on PIC10/12/16 the
// configuration load, six increments and a word read; on PIC18 the table
// pointer set to 0x3FFFFE.
TEST(Cli, EachCommandReadsTheDeviceIdTwice)
{
    const std::vector<unsigned char> pic16Read{0x04, 0x00, 0x00, 0x00, 0x06, 0x06, 0x06, 0x00, 0x02, 0x04};
    const std::vector<unsigned char> pic18Read{0x0B, 0xFE, 0xFF, 0x3F};
    struct Case {
        const char *chip;
        const char *hex;    // the file the command is given
        bool boardHolds;    // the chip holds the file already
        std::vector<std::string> command;
    };
    const std::string readBack = Temp("id_reads.hex");
    const Case cases[] = {
        {"PIC12F675", "/p12f675.hex", false, {"program", "--erase"}},
        {"PIC12F675", "/p12f675.hex", false, {"--log", Temp("id_reads.csv"), "program"}},
        {"PIC12F675", "/p12f675.hex", true, {"verify"}},
        {"PIC12F675", nullptr, false, {"read", readBack}},
        {"PIC12F675", nullptr, false, {"erase"}},
        {"PIC18F4550", "/p18f4550.hex", false, {"program"}},
        {"PIC18F4550", nullptr, false, {"blank"}},
    };
    for (const Case &c : cases) {
        const bool pic18 = std::string(c.chip).rfind("PIC18", 0) == 0;
        const std::string trace = Temp("id_reads.trace");
        std::vector<std::string> board{"--chip", c.chip};
        if (!pic18) board.insert(board.end(), {"--calib", "3450"});
        if (c.boardHolds) board.insert(board.end(), {"--hex", Fixtures + c.hex});
        SimProcess sim(board);
        ASSERT_FALSE(sim.Path().empty());
        std::vector<std::string> args{"--trace", trace, "-p", sim.Path(), "-d", c.chip};
        args.insert(args.end(), c.command.begin(), c.command.end());
        if (c.hex) args.push_back(Fixtures + c.hex);
        const CliResult r = RunCli(args);
        const std::string name = std::string(c.chip) + " " + c.command.back();
        ASSERT_EQ(r.status, 0) << name << "\n" << r.out << r.err;
        const std::vector<unsigned char> sent = HostByteValues(trace);
        const std::vector<unsigned char> &read = pic18 ? pic18Read : pic16Read;
        int reads = 0;
        for (auto at = sent.begin(); (at = std::search(at, sent.end(), read.begin(), read.end())) != sent.end();
             ++at)
            ++reads;
        EXPECT_EQ(reads, 2) << name;
    }
}

namespace {

// A PIC16F877A image: configuration 3F72 (HS oscillator), a word of code
// and EEPROM bytes, as the chip starts in the tests below.
std::string ChipImage(bool full = true)
{
    return (full ? Record(0x0000, 0, {0x85, 0x30}) + "\n" : "") + Record(0x400E, 0, {0x72, 0x3F}) + "\n" +
           Record(0x4200, 0, full ? std::vector<uint8_t>{0x11, 0x00, 0x22, 0x00} : std::vector<uint8_t>{0x11, 0x00}) +
           "\n:00000001FF\n";
}

MemoryBuffer Dumped(const std::string &dump)
{
    return Image(dump, false, FindDevice("PIC16F877A"));
}

} // namespace

TEST(Cli, ConfigurationTheFileDoesNotGiveIsNeverInvented)
{
    const std::string chip = Temp("chip877.hex");
    std::ofstream(chip) << ChipImage(false);
    const std::string eeOnly = Temp("ee_only.hex");
    std::ofstream(eeOnly) << Record(0x4200, 0, {0x5A, 0x00}) << "\n:00000001FF\n";
    struct Case {
        std::vector<std::string> options;
        int status;
        uint16_t config; // the chip's configuration word afterwards
    } cases[] = {
        {{}, 3, 0x3F72},                        // refused before the port is opened
        {{"--keep-config"}, 0, 0x3F72},         // read and written back
        {{"--keep-config", "--erase"}, 0, 0x3F72},
        {{"--config", "FOSC=XT", "--erase"}, 0, 0x3FFD}, // the user says what it becomes
    };
    for (const Case &c : cases) {
        const std::string dump = Temp("ee_only.dump.hex");
        SimProcess sim({"--chip", "PIC16F877A", "--hex", chip, "--dump", dump});
        std::vector<std::string> args{"-p", sim.Path(), "-d", "PIC16F877A", "program"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(eeOnly);
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        ASSERT_EQ(sim.Stop(), 0);
        const MemoryBuffer after = Dumped(dump);
        EXPECT_EQ(after.Words[0x2007] & 0x3FFF, c.config) << r.err;
        if (c.status == 3) {
            EXPECT_NE(r.err.find("ファイル \"ee_only.hex\" にConfigurationがありません。"
                                 "デバイスには次の値が書き込まれます: "),
                      std::string::npos)
                << r.err;
            EXPECT_NE(r.err.find("--keep-config"), std::string::npos) << r.err;
            EXPECT_EQ(after.Words[EEDataAreaStart] & 0xFF, 0x11); // untouched
        } else {
            EXPECT_EQ(r.LastLine(), "ベリファイOK。一致しました。") << r.out;
            EXPECT_EQ(after.Words[EEDataAreaStart] & 0xFF, 0x5A);
        }
    }
    // --keep-config and --config both decide the configuration.
    EXPECT_EQ(RunCli({"-d", "PIC16F877A", "program", "--keep-config", "--config", "FOSC=HS", eeOnly}).status,
              64);
}

TEST(Cli, VerifyReportsCountsAndTheFirstDifferencesWithBothValues)
{
    const std::string chip = Temp("report_chip.hex");
    std::ofstream(chip) << ChipImage();
    // Twenty program words where the chip holds one word and blanks, one
    // EEPROM byte off, the configuration equal.
    std::vector<uint8_t> code;
    for (int k = 0; k < 20; ++k)
        code.insert(code.end(), {static_cast<uint8_t>(k), 0x34});
    const std::string file = Temp("report.hex");
    std::ofstream(file) << Record(0x0000, 0, code) << "\n"
                        << Record(0x400E, 0, {0x72, 0x3F}) << "\n"
                        << Record(0x4200, 0, {0x11, 0x00, 0x23, 0x00}) << "\n:00000001FF\n";
    SimProcess sim({"--chip", "PIC16F877A", "--hex", chip});
    const CliResult r = RunCli({"-p", sim.Path(), "-d", "PIC16F877A", "verify", file});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.LastLine(), " !! 一致しません。");
    const std::string report = "Program Memory $0000 が一致しません。\n"
                               "EEData Memory 0001が一致しません。\n"
                               "Program Memory: 20 ワードが一致しません。\n"
                               "  0x0000: file 3400, chip 3085\n"
                               "  0x0001: file 3401, chip 3FFF\n";
    EXPECT_TRUE(r.Says(report)) << r.out;
    EXPECT_TRUE(r.Says("  0x000F: file 340F, chip 3FFF\n  …\nEEData Memory: 1 バイトが一致しません。\n"
                       "  0x0001: file 23, chip 22\n"))
        << r.out;
    EXPECT_FALSE(r.Says("0x0010:")) << r.out;

    const nlohmann::json j = Parsed(RunCli({"-p", sim.Path(), "-d", "PIC16F877A", "--json", "verify", file}));
    ASSERT_TRUE(j.contains("differences")) << j.dump();
    const nlohmann::json &d = j["differences"];
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0]["memory"], "Program Memory");
    EXPECT_EQ(d[0]["count"], 20);
    EXPECT_EQ(d[0]["unit"], "words");
    EXPECT_EQ(d[0]["first"].size(), 16u);
    EXPECT_EQ(d[0]["first"][0], (nlohmann::json{{"address", 0}, {"file", 0x3400}, {"chip", 0x3085}}));
    EXPECT_EQ(d[1]["first"][0], (nlohmann::json{{"address", 1}, {"file", 0x23}, {"chip", 0x22}}));
}

TEST(Cli, RegionsTouchOnlyTheMemoriesNamed)
{
    const std::string chip = Temp("regions_chip.hex");
    std::ofstream(chip) << ChipImage();
    // Every memory differs from the chip's.
    const std::string file = Temp("regions.hex");
    std::ofstream(file) << Record(0x0000, 0, {0x86, 0x30}) << "\n"
                        << Record(0x4000, 0, {0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00}) << "\n"
                        << Record(0x400E, 0, {0x71, 0x3F}) << "\n"
                        << Record(0x4200, 0, {0x5A, 0x00, 0x5B, 0x00}) << "\n:00000001FF\n";
    const MemoryBuffer before = Dumped(chip), given = Dumped(file);
    struct Case {
        std::vector<std::string> options;
        unsigned fromFile; // the memories that must end as the file has them; the rest as before
        int status;
    } cases[] = {
        {{"--only", "eeprom"}, RegionEEData, 0},
        {{"--only", "id,eeprom"}, RegionEEData | RegionUserId, 0},
        {{"--only", "code,id,config", "--erase", "--keep-eeprom"}, RegionCode | RegionUserId | RegionConfig, 0},
        // The bulk erase would clear the EEPROM the command leaves out.
        {{"--only", "code,id,config", "--erase"}, 0, 2},
    };
    for (const Case &c : cases) {
        const std::string dump = Temp("regions.dump.hex");
        SimProcess sim({"--chip", "PIC16F877A", "--hex", chip, "--dump", dump});
        std::vector<std::string> args{"-p", sim.Path(), "-d", "PIC16F877A", "program"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(file);
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        if (c.status == 2) {
            EXPECT_NE(r.err.find("一括消去"), std::string::npos) << r.err;
        }
        ASSERT_EQ(sim.Stop(), 0);
        const MemoryBuffer after = Dumped(dump);
        auto expect = [&](unsigned region, uint32_t from, uint32_t to, uint16_t mask) {
            const MemoryBuffer &want = (c.fromFile & region) ? given : before;
            for (uint32_t a = from; a < to; ++a)
                EXPECT_EQ(after.Words[a] & mask, want.Words[a] & mask) << "word " << std::hex << a << " "
                                                                       << c.options.back();
        };
        expect(RegionCode, 0, 0x2000, 0x3FFF);
        expect(RegionUserId, 0x2000, 0x2004, 0x000F);
        expect(RegionConfig, 0x2007, 0x2008, 0x3FFF);
        expect(RegionEEData, EEDataAreaStart, EEDataAreaStart + 256, 0x00FF);
    }

    // verify and read take the same memories.
    SimProcess sim({"--chip", "PIC16F877A", "--hex", chip});
    const std::vector<std::string> base{"-p", sim.Path(), "-d", "PIC16F877A"};
    auto run = [&](std::vector<std::string> more) {
        std::vector<std::string> args = base;
        args.insert(args.end(), more.begin(), more.end());
        return RunCli(args);
    };
    EXPECT_EQ(run({"verify", "--only", "config", file}).status, 1);
    EXPECT_EQ(run({"verify", "--only", "config", chip}).status, 0);
    ASSERT_EQ(run({"program", "--only", "eeprom", file}).status, 0);
    EXPECT_EQ(run({"verify", "--only", "eeprom", file}).status, 0);
    EXPECT_EQ(run({"verify", "--only", "code,config", chip}).status, 0);
    const std::string back = Temp("regions_back.hex");
    ASSERT_EQ(run({"read", "--only", "eeprom", back}).status, 0);
    const MemoryBuffer read = Dumped(back);
    EXPECT_EQ(read.Words[0], 0x3FFF); // code left out
    EXPECT_EQ(read.Words[EEDataAreaStart] & 0xFF, 0x5A);
    EXPECT_EQ(run({"read", "--only", "flash", back}).status, 64);
}

TEST(Cli, ProtectedChipsProgramWithTheConfigurationLastAndReadWithAWarning)
{
    // Code protection on (CP bits 0), HS oscillator.
    const std::string file = Temp("protected.hex");
    std::ofstream(file) << Record(0x0000, 0, {0x86, 0x30}) << "\n"
                        << Record(0x400E, 0, {0x72, 0x1F}) << "\n:00000001FF\n";
    SimProcess sim({"--chip", "PIC16F877A"});
    const std::vector<std::string> base{"-p", sim.Path(), "-d", "PIC16F877A"};
    auto run = [&](std::vector<std::string> more) {
        std::vector<std::string> args = base;
        args.insert(args.end(), more.begin(), more.end());
        return RunCli(args);
    };
    CliResult r = run({"program", file});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(r.Says("コードプロテクトが有効なため、Configurationは他のメモリーのベリファイ後に書き込みます。")) << r.out;
    EXPECT_EQ(r.LastLine(), "ベリファイOK。一致しました。");

    const std::string back = Temp("protected_back.hex");
    const nlohmann::json j = Parsed(run({"--json", "read", back}));
    EXPECT_EQ(j["exit_status"], 1);
    EXPECT_EQ(j["result"], "protected");
    EXPECT_EQ(j["protected"], true);
    EXPECT_EQ(Dumped(back).Words[0x2007] & 0x3FFF, 0x1F72) << "saved all the same";
}
