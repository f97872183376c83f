// Production runs as a workshop uses them: tarnvik-cli with several
// tarnbox-sim boards, chip after chip fed from a pipe, serial numbers read
// back from the chips, the CSV log and the state file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

#include "SimProcess.h"
#include "catalogue/DeviceSpec.h"
#include "cli_files.h"
#include "image/buffer.h"
#include "image/hex.h"
#include "image/hex_load.h"
#include "production/SerialNumber.h"
#include "test_files.h"

namespace {

const std::string Fixture = std::string(TARNVIK_HEX_FIXTURES) + "/p16f877a.hex";
const std::string Device = "PIC16F877A";

// CSV rows after the header, split into fields, an empty last one included
// (the tests' fields hold no commas).
std::vector<std::vector<std::string>> LogRows(const std::string &path)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(ReadText(path));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::istringstream f(line);
        for (std::string field; std::getline(f, field, ',');)
            fields.push_back(field);
        if (!line.empty() && line.back() == ',') fields.emplace_back();
        rows.push_back(fields);
    }
    return rows;
}

// tarnvik-cli started in the background with its stdin on a pipe the test
// writes to, stdout and stderr in files.
class Cli {
public:
    explicit Cli(std::vector<std::string> args)
    {
        static int count = 0;
        const std::string settings = Temp("empty.ini");
        std::ofstream(settings, std::ios::app);
        out_ = Temp("out" + std::to_string(++count));
        err_ = out_ + ".err";
        args.insert(args.begin(), {"--settings", settings, "-d", Device});
        int in[2];
        if (pipe(in) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], STDIN_FILENO);
            close(in[0]);
            close(in[1]);
            const int out = open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(out, STDOUT_FILENO);
            dup2(err, STDERR_FILENO);
            ExecCli(std::move(args));
        }
        close(in[0]);
        input_ = in[1];
    }
    ~Cli()
    {
        if (input_ >= 0) close(input_);
        if (pid_ > 0) Wait();
    }
    void Send(const std::string &text)
    {
        if (input_ >= 0 && write(input_, text.data(), text.size()) < 0) ADD_FAILURE() << "stdin closed";
    }
    int Wait()
    {
        if (input_ >= 0) close(input_);
        input_ = -1;
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void Signal(int sig) { kill(pid_, sig); }
    std::string Out() const { return ReadText(out_); }
    std::string Err() const { return ReadText(err_); }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    std::string out_, err_;
};

int RunCli(const std::vector<std::string> &args)
{
    Cli cli(args);
    return cli.Wait();
}

// The serial number the chip behind port holds, read back over the link.
std::optional<uint64_t> ChipSerial(const std::string &port, const SerialLayout &layout)
{
    const std::string file = Temp("readback.hex");
    if (RunCli({"-p", port, "read", file}) != 0) return std::nullopt;
    const int row = FindDevice(Device);
    MemoryBuffer image;
    image.Clear(DeviceTable[static_cast<size_t>(row)]);
    LoadOutcome outcome;
    outcome.Device = {false, row};
    LoadNewFile(file, image, false, outcome);
    return ReadSerial(layout, {&DeviceTable[static_cast<size_t>(row)], nullptr}, image);
}

// A --repeat run's next chip: a fresh board on the same link, with these
// faults, and Enter.
void NextChip(std::unique_ptr<SimProcess> &board, const std::string &link, const std::vector<std::string> &faults,
              Cli &run)
{
    board.reset();
    std::vector<std::string> args{"--chip", Device, "--link", link};
    args.insert(args.end(), faults.begin(), faults.end());
    board = std::make_unique<SimProcess>(args);
    run.Send("\n");
}

// Waits (bounded) until the log holds rows rows.
bool WaitForRows(const std::string &log, size_t rows)
{
    for (int i = 0; i < 600; ++i) {
        if (LogRows(log).size() >= rows) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

} // namespace

TEST(Production, AGangGoesOnWhenOneBoardIsLost)
{
    SimProcess a({"--chip", Device}), lost({"--chip", Device, "--fault", "hangup-after=400"}),
        c({"--chip", Device});
    Cli run({"-p", a.Path(), "-p", lost.Path(), "-p", c.Path(), "program", Fixture});
    EXPECT_EQ(run.Wait(), 1) << run.Out() << run.Err();
    const std::string out = run.Out();
    EXPECT_NE(out.find("[" + a.Path() + "] ベリファイOK。一致しました。"), std::string::npos) << out;
    EXPECT_NE(out.find("[" + lost.Path() + "] プログラマーからの応答が途切れました。"), std::string::npos);
    // The table: the lost board's line says so, the others passed.
    for (const auto &[port, result] :
         {std::pair{a.Path(), " ok "}, {lost.Path(), " link lost "}, {c.Path(), " ok "}}) {
        const size_t line = out.find("\n" + port + " ");
        ASSERT_NE(line, std::string::npos) << out;
        EXPECT_NE(out.substr(line, out.find('\n', line + 1) - line).find(result), std::string::npos) << out;
    }
    // The two other chips hold the image.
    EXPECT_EQ(RunCli({"-p", a.Path(), "verify", Fixture}), 0);
    EXPECT_EQ(RunCli({"-p", c.Path(), "verify", Fixture}), 0);
}

// Each chip's hook runs with its facts in the environment and its output in
// the run's lines; a hook that fails ends a --repeat run after its round.
TEST(Production, HooksRunPerChipWithItsFacts)
{
    const std::string record = Temp("hooks.txt");
    const std::string hook = "sh -c 'echo \"$TARNVIK_RESULT $TARNVIK_PORT $TARNVIK_SERIAL $TARNVIK_DEVICE_ID "
                             "$TARNVIK_CHECKSUM $TARNVIK_REASON\" >> " + record + "; echo said'";
    {
        SimProcess good({"--chip", Device}), lost({"--chip", Device, "--fault", "hangup-after=400"});
        Cli run({"-p", good.Path(), "-p", lost.Path(), "--serial", "7", "--serial-at", "0x1F00", "--on-pass", hook,
                 "--on-fail", hook, "program", Fixture});
        EXPECT_EQ(run.Wait(), 1) << run.Out() << run.Err();
        EXPECT_NE(run.Out().find("[" + good.Path() + "] --on-pass: said"), std::string::npos) << run.Out();
        std::vector<std::string> lines;
        std::istringstream in(ReadText(record));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        std::sort(lines.begin(), lines.end());
        EXPECT_EQ(lines, (std::vector<std::string>{"fail " + lost.Path() + " 8 0E20 rev 2 0E3C link lost",
                                                   "pass " + good.Path() + " 7 0E20 rev 2 0E3C "}));
    }
    // A hook that fails: the chip stays programmed, the run ends before the next round.
    SimProcess board({"--chip", Device});
    Cli run({"-p", board.Path(), "--repeat", "--on-pass", "false", "program", Fixture});
    EXPECT_EQ(run.Wait(), 1) << run.Out() << run.Err();
    EXPECT_NE(run.Err().find("--on-pass failed with exit status 1; the run stops after this round"),
              std::string::npos)
        << run.Err();
    EXPECT_EQ(RunCli({"-p", board.Path(), "verify", Fixture}), 0);
}

// Each board's row says how its operations ended: a chip that differs from
// the file, a chip of another kind, one that holds the file.
TEST(Production, EachRowTellsHowItsChipEnded)
{
    SimProcess good({"--chip", Device, "--hex", Fixture}), blank({"--chip", Device}),
        other({"--chip", "PIC16F84A"});
    const std::string log = Temp("outcomes.csv");
    Cli run({"-p", good.Path(), "-p", blank.Path(), "-p", other.Path(), "--log", log, "verify", Fixture});
    EXPECT_EQ(run.Wait(), 2) << run.Out() << run.Err();
    const auto rows = LogRows(log);
    ASSERT_EQ(rows.size(), 3u) << run.Out();
    const std::pair<std::string, std::string> expected[] = {
        {good.Path(), "ok"}, {blank.Path(), "verify failed"}, {other.Path(), "refused"}};
    for (size_t i = 0; i < 3; ++i) {
        ASSERT_EQ(rows[i].size(), 10u);
        EXPECT_EQ(rows[i][1], expected[i].first);
        EXPECT_EQ(rows[i][5], expected[i].second);
        // The file's checksum beside its CRC-32, as the dump prints it.
        EXPECT_EQ(rows[i][8], "0E3C");
    }
}

// A board on a noisy line is told apart from one that is gone: the row
// keeps "link lost" and says in its last column what came back wrong (the
// first checksum of a PIC16 program is that of the row-write probe).
TEST(Production, ARowSaysHowTheLinkWasLost)
{
    SimProcess echo({"--chip", Device, "--fault", "bad-echo=400"}),
        sum({"--chip", Device, "--fault", "bad-sum=1"}), good({"--chip", Device});
    const std::string log = Temp("noisy.csv");
    Cli run({"-p", echo.Path(), "-p", sum.Path(), "-p", good.Path(), "--log", log, "program", Fixture});
    EXPECT_EQ(run.Wait(), 1) << run.Out() << run.Err();
    EXPECT_NE(run.Out().find(" link lost (echo) "), std::string::npos) << run.Out();
    const auto rows = LogRows(log);
    ASSERT_EQ(rows.size(), 3u) << run.Out();
    const std::pair<std::string, std::string> expected[] = {
        {"link lost", "echo"}, {"link lost", "checksum"}, {"ok", ""}};
    for (size_t i = 0; i < 3; ++i) {
        ASSERT_EQ(rows[i].size(), 10u);
        EXPECT_EQ(rows[i][5], expected[i].first) << i;
        EXPECT_EQ(rows[i][9], expected[i].second) << i;
    }
}

// --fast-cycle: the full verify after programming stands in for the blank
// check; only for production runs.
TEST(Production, FastCycleLeavesOutTheBlankCheck)
{
    SimProcess a({"--chip", Device}), b({"--chip", Device});
    Cli single({"-p", a.Path(), "--erase", "--fast-cycle", "program", Fixture});
    EXPECT_EQ(single.Wait(), 2);
    EXPECT_NE(single.Err().find("--fast-cycle は --repeat か複数のポート (-p) と使ってください。"),
              std::string::npos)
        << single.Err();
    Cli gang({"-p", a.Path(), "-p", b.Path(), "--erase", "--fast-cycle", "program", Fixture});
    EXPECT_EQ(gang.Wait(), 0) << gang.Out() << gang.Err();
    const std::string out = gang.Out();
    for (const std::string &port : {a.Path(), b.Path()})
        EXPECT_NE(out.find("[" + port + "] ベリファイOK。一致しました。"), std::string::npos) << out;
    EXPECT_EQ(out.find("デバイスはブランクです。"), std::string::npos) << out;
    EXPECT_NE(out.find("デバイスを消去しました。"), std::string::npos) << out;
}

TEST(Production, ChipAfterChipEachWithItsOwnNumber)
{
    const std::string link = Temp("board"), state = Temp("serial.state"), log = Temp("chips.csv");
    const SerialLayout retlw{SerialFormat::Retlw, 0x1F00, 3, false};
    auto board = std::make_unique<SimProcess>(std::vector<std::string>{"--chip", Device, "--link", link});
    Cli run({"-p", link, "--repeat", "program", Fixture, "--serial", "500:2", "--serial-at", "0x1F00",
             "--serial-format", "retlw", "--serial-bytes", "3", "--serial-state", state, "--log", log});
    // The second chip loses its link; its number goes to the third.
    const std::vector<std::string> faults[] = {{}, {"--fault", "hangup-after=300"}, {}, {}};
    const std::optional<uint64_t> held[] = {500, std::nullopt, 502, 504};
    for (size_t chip = 0; chip < 4; ++chip) {
        if (chip > 0) NextChip(board, link, faults[chip], run);
        ASSERT_TRUE(WaitForRows(log, chip + 1)) << run.Out() << run.Err();
        if (held[chip]) {
            EXPECT_EQ(ChipSerial(link, retlw), held[chip]) << "chip " << chip;
        }
    }
    run.Send("q\n");
    EXPECT_EQ(run.Wait(), 1) << run.Out() << run.Err();
    EXPECT_NE(run.Out().find("passed 3, failed 1"), std::string::npos) << run.Out();
    const auto rows = LogRows(log);
    ASSERT_EQ(rows.size(), 4u);
    const char *results[] = {"ok", "link lost", "ok", "ok"};
    const char *linkErrors[] = {"", "silent", "", ""};
    const char *serials[] = {"500", "502", "502", "504"};
    for (size_t i = 0; i < 4; ++i) {
        ASSERT_EQ(rows[i].size(), 10u);
        EXPECT_EQ(rows[i][1], link);
        EXPECT_EQ(rows[i][2], Device);
        EXPECT_EQ(rows[i][3], "0E20 rev 2");
        EXPECT_EQ(rows[i][4], serials[i]);
        EXPECT_EQ(rows[i][5], results[i]);
        EXPECT_EQ(rows[i][6], rows[0][6]); // one image, one CRC
        EXPECT_EQ(rows[i][9], linkErrors[i]);
    }

    // A restart continues from the state file, here into the EEPROM.
    board.reset();
    board = std::make_unique<SimProcess>(std::vector<std::string>{"--chip", Device, "--link", link});
    Cli again({"-p", link, "program", Fixture, "--serial-state", state, "--serial-at", "0x21F0",
               "--serial-format", "eeprom", "--serial-bytes", "2", "--log", log});
    EXPECT_EQ(again.Wait(), 0) << again.Out() << again.Err();
    EXPECT_EQ(ChipSerial(link, {SerialFormat::Eeprom, 0x21F0, 2, false}), 506u);
    EXPECT_EQ(LogRows(log).size(), 5u);
}

// Numbers from a list, as digits the chip returns: each is used up by one
// chip that verifies, a failed chip's goes to the next, and the list's end
// stops the run before a chip without a number.
TEST(Production, AListsNumbersOnePerGoodChipUntilItEnds)
{
    const std::string link = Temp("listed"), list = Temp("labels.txt"), log = Temp("listed.csv");
    std::ofstream(list) << "# roll 7\n1001\n1002\n";
    const SerialLayout ascii{SerialFormat::Ascii, 0x1F00, 4, false};
    auto board = std::make_unique<SimProcess>(std::vector<std::string>{"--chip", Device, "--link", link});
    Cli run({"-p", link, "--repeat", "program", Fixture, "--serial-list", list, "--serial-at", "0x1F00",
             "--serial-format", "ascii", "--log", log});
    const std::vector<std::string> faults[] = {{}, {"--fault", "hangup-after=300"}, {}};
    for (size_t chip = 0; chip < 3; ++chip) {
        if (chip > 0) NextChip(board, link, faults[chip], run);
        ASSERT_TRUE(WaitForRows(log, chip + 1)) << run.Out() << run.Err();
    }
    EXPECT_EQ(ChipSerial(link, ascii), 1002u);
    run.Send("\n");
    EXPECT_EQ(run.Wait(), 2) << run.Out() << run.Err(); // no number: refused
    EXPECT_NE(run.Err().find("the serial list labels.txt is used up: all 2 numbers are on chips"), std::string::npos)
        << run.Err();
    const auto rows = LogRows(log);
    ASSERT_EQ(rows.size(), 3u);
    const char *serials[] = {"1001", "1002", "1002"};
    const char *results[] = {"ok", "link lost", "ok"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(rows[i][4], serials[i]);
        EXPECT_EQ(rows[i][5], results[i]);
    }
}

// Between rounds only an empty line runs the next chips and q stops; any
// other answer (quit, exit) is explained and asked again.
TEST(Production, OnlyEnterRunsTheNextChips)
{
    SimProcess board({"--chip", Device});
    const std::string log = Temp("answers.csv");
    Cli run({"-p", board.Path(), "--repeat", "blank", "--log", log});
    ASSERT_TRUE(WaitForRows(log, 1)) << run.Out() << run.Err();
    run.Send("quit\nexit\n\n");
    ASSERT_TRUE(WaitForRows(log, 2)) << run.Out() << run.Err();
    run.Send("q\n");
    EXPECT_EQ(run.Wait(), 0) << run.Out() << run.Err();
    EXPECT_EQ(LogRows(log).size(), 2u);
    const std::string err = run.Err();
    const std::string text = "Enter で続行、q で終了します。\n";
    const size_t first = err.find(text);
    ASSERT_NE(first, std::string::npos) << err;
    EXPECT_NE(err.find(text, first + 1), std::string::npos) << "once per answer: " << err;
}

// A board unplugged while its chip is changed (its device path gone) is
// waited for, and the next chip goes on once it is back; Ctrl-C ends the
// wait with the run's totals.
TEST(Production, RepeatWaitsForAnUnpluggedBoard)
{
    const std::string link = Temp("replugged"), log = Temp("replugged.csv");
    auto board = std::make_unique<SimProcess>(std::vector<std::string>{"--chip", Device, "--link", link});
    Cli run({"-p", link, "--repeat", "blank", "--log", log});
    ASSERT_TRUE(WaitForRows(log, 1)) << run.Out() << run.Err();
    const std::string waiting = link + " が見つかりません。ボードの接続を待っています…（Ctrl-C で終了）";
    // Waits until the wait has been announced that many times.
    auto saysWaiting = [&](size_t times) {
        for (int i = 0; i < 600; ++i) {
            const std::string err = run.Err();
            size_t found = 0;
            for (size_t at = err.find(waiting); at != std::string::npos; at = err.find(waiting, at + 1))
                ++found;
            if (found >= times) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    };
    size_t round = 0;
    for (bool back : {true, false}) {
        board.reset();
        std::filesystem::remove(link);
        run.Send("\n");
        ASSERT_TRUE(saysWaiting(++round)) << run.Err();
        if (back) {
            board = std::make_unique<SimProcess>(std::vector<std::string>{"--chip", Device, "--link", link});
            ASSERT_TRUE(WaitForRows(log, 2)) << run.Out() << run.Err();
        }
    }
    run.Signal(SIGINT);
    EXPECT_EQ(run.Wait(), 0) << run.Out() << run.Err();
    EXPECT_NE(run.Out().find("passed 2, failed 0"), std::string::npos) << run.Out();
    EXPECT_EQ(LogRows(log).size(), 2u);

    // A path that never led to a board is not waited for: each round says so.
    const std::string never = Temp("never.csv");
    Cli typo({"-p", Temp("no-such-board"), "--repeat", "blank", "--log", never});
    ASSERT_TRUE(WaitForRows(never, 1)) << typo.Out() << typo.Err();
    typo.Send("\n");
    ASSERT_TRUE(WaitForRows(never, 2)) << typo.Out() << typo.Err();
    typo.Send("q\n");
    EXPECT_EQ(typo.Wait(), 2);
    EXPECT_EQ(typo.Err().find("ボードの接続を待っています"), std::string::npos) << typo.Err();
}

TEST(Production, CtrlCBetweenChipsEndsTheRunWithItsTotals)
{
    SimProcess a({"--chip", Device}), b({"--chip", Device});
    const std::string log = Temp("ctrlc.csv");
    Cli run({"-p", a.Path(), "-p", b.Path(), "--repeat", "program", Fixture, "--log", log});
    ASSERT_TRUE(WaitForRows(log, 2)) << run.Out() << run.Err();
    run.Signal(SIGINT);
    EXPECT_EQ(run.Wait(), 0) << run.Out() << run.Err();
    EXPECT_NE(run.Out().find("passed 2, failed 0"), std::string::npos) << run.Out();
}

TEST(Production, RefusedNumbersProgramNothing)
{
    SimProcess board({"--chip", Device});
    const std::string log = Temp("refused.csv");
    const std::vector<std::string> cases[] = {
        {"--serial", "70000", "--serial-bytes", "2", "--serial-at", "0x1F00"}, // too large
        {"--serial", "1", "--serial-at", "0x1FFE"},                            // past program memory
        {"--serial", "1", "--serial-at", "0x0000"},                            // the file's code is there
    };
    for (const auto &serial : cases) {
        std::vector<std::string> args{"-p", board.Path(), "program", Fixture, "--log", log};
        args.insert(args.end(), serial.begin(), serial.end());
        Cli run(args);
        EXPECT_EQ(run.Wait(), 2) << serial[1] << " " << serial.back() << "\n" << run.Out() << run.Err();
        EXPECT_EQ(run.Out().find("シリアル番号 "), std::string::npos) << run.Out();
    }
    // A file the part would not get as written stops the run before any chip.
    const std::string beyond = Temp("beyond.hex");
    std::ofstream(beyond, std::ios::trunc) << Lines({Record(0x4400, 0, {0x34, 0x12}), ":00000001FF"});
    SimProcess second({"--chip", Device});
    Cli run({"-p", board.Path(), "-p", second.Path(), "program", beyond, "--log", log});
    EXPECT_EQ(run.Wait(), 3) << run.Out() << run.Err();
    EXPECT_TRUE(LogRows(log).empty());
    EXPECT_EQ(RunCli({"-p", board.Path(), "blank"}), 0);
}

TEST(Production, TwoRunsSharingStateAndLogNeverRepeatANumber)
{
    const std::string state = Temp("shared.state"), log = Temp("shared.csv");
    SimProcess a({"--chip", Device}), b({"--chip", Device});
    auto start = [&](const SimProcess &board) {
        return std::make_unique<Cli>(std::vector<std::string>{
            "-p", board.Path(), "--repeat", "-q", "program", Fixture, "--serial", "1", "--serial-at",
            "0x21F0", "--serial-format", "eeprom", "--serial-state", state, "--log", log});
    };
    auto first = start(a);
    auto second = start(b);
    first->Send("\n\nq\n");
    second->Send("\n\nq\n");
    EXPECT_EQ(first->Wait(), 0) << first->Err();
    EXPECT_EQ(second->Wait(), 0) << second->Err();
    std::set<std::string> serials;
    for (const auto &row : LogRows(log))
        if (row.size() == 10) serials.insert(row[4]);
    EXPECT_EQ(serials.size(), 6u) << ReadText(log);
}

// A logged chip is named by the DEVICE-ID its check read: the log adds no
// exchange with the board, so a production chip costs what a plain one does.
TEST(Production, TheLogNamesTheChipWithoutReadingItAgain)
{
    std::vector<size_t> hostBytes;
    const std::string log = Temp("ids.csv");
    std::filesystem::remove(log);
    for (bool logged : {false, true}) {
        const std::string trace = Temp(logged ? "logged.trace" : "plain.trace");
        SimProcess sim({"--chip", Device, "--trace", trace});
        std::vector<std::string> args{"-p", sim.Path()};
        if (logged) args.insert(args.end(), {"--log", log});
        args.push_back("blank");
        EXPECT_EQ(RunCli(args), 0);
        sim.Stop();
        hostBytes.push_back(HostBytesInTrace(trace));
    }
    EXPECT_GT(hostBytes[0], 0u);
    EXPECT_EQ(hostBytes[0], hostBytes[1]);
    const auto rows = LogRows(log);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_NE(ReadText(log).find(",0E2"), std::string::npos) << ReadText(log);
}
