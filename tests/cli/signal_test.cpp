// What happens around tarnvik-cli rather than on its link: signals during an
// erase on a board that talks at the real speed, standard streams the caller
// closed, a calibration log that cannot be written, a board left in the
// middle of a command. The chip's calibration is read back from the
// simulator's own dump, never through the program under test.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/DeviceSpec.h"
#include "SimProcess.h"
#include "image/buffer.h"
#include "cli_files.h"
#include "image/hex.h"
#include "image/hex_load.h"

namespace {

const std::string Fixtures = TARNVIK_HEX_FIXTURES;
constexpr uint16_t FactoryOsccal = 0x3450, FactoryBandGap = 0x1000;

enum class Output { File, Closed, ClosedByReader };

struct Outcome {
    int status = -1; // exit status; -1 when ended by a signal
    std::string out, err;
    bool Says(const std::string &text) const { return (out + err).find(text) != std::string::npos; }
};

// tarnvik-cli in a folder of its own (settings, output, calibration log);
// whileRunning gets its process id.
Outcome RunCli(const std::string &folder, std::vector<std::string> args,
               const std::function<void(pid_t)> &whileRunning = {}, Output output = Output::File)
{
    const std::string settings = folder + "/settings.ini", outPath = folder + "/stdout",
                      errPath = folder + "/stderr";
    std::ofstream(settings, std::ios::app).close();
    args.insert(args.begin(), {"--settings", settings});
    const std::string dataHome = folder + "/data";
    int pipeEnds[2] = {-1, -1};
    if (output == Output::ClosedByReader && pipe(pipeEnds) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, STDIN_FILENO);
        dup2(output == Output::ClosedByReader ? pipeEnds[1] : out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        for (int fd : {in, out, err, pipeEnds[0], pipeEnds[1]})
            if (fd > STDERR_FILENO) close(fd);
        if (output == Output::Closed) close(STDOUT_FILENO);
        ExecCli(std::move(args));
    }
    // The reader is gone before the first line is written.
    for (int fd : pipeEnds)
        if (fd >= 0) close(fd);
    if (whileRunning) whileRunning(pid);
    int status = 0;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(outPath), ReadText(errPath)};
}

std::function<void(pid_t)> After(std::vector<std::pair<int, int>> msAndSignal)
{
    return [=](pid_t pid) {
        int slept = 0;
        for (const auto &[ms, sig] : msAndSignal) {
            usleep(static_cast<useconds_t>(ms - slept) * 1000);
            slept = ms;
            kill(pid, sig);
        }
    };
}

// The signals, timed from the moment the program's output first says text.
std::function<void(pid_t)> OnceSaid(const std::string &folder, const std::string &text,
                                    std::vector<std::pair<int, int>> msAndSignal)
{
    return [=](pid_t pid) {
        for (int polls = 0; polls < 5000 && ReadText(folder + "/stdout").find(text) == std::string::npos;
             ++polls)
            usleep(1000);
        After(msAndSignal)(pid);
    };
}

// A paced PIC12F675 board with known factory calibration, its chip dumped
// when it ends.
struct Board {
    explicit Board(const std::string &dump, bool paced = true) : dumpPath(dump), sim(Args(dump, paced)) {}
    static std::vector<std::string> Args(const std::string &dump, bool paced)
    {
        std::vector<std::string> a{"--chip", "PIC12F675", "--calib", "3450,1000", "--dump", dump};
        if (paced) a.push_back("--pace");
        return a;
    }
    // Ends the board; true when the chip still holds its factory calibration.
    bool CalibrationKept()
    {
        sim.Stop();
        const int index = FindDevice("PIC12F675");
        MemoryBuffer image;
        image.Clear(DeviceTable[static_cast<size_t>(index)]);
        LoadOutcome outcome;
        outcome.Device = {false, index};
        LoadNewFile(dumpPath, image, false, outcome);
        return image.Words[0x03FF] == FactoryOsccal && (image.Words[0x2007] & 0x3000) == FactoryBandGap;
    }
    std::string dumpPath;
    SimProcess sim;
};

std::string Folder(const std::string &name)
{
    const std::string folder = Temp(name);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

enum class Mode { Plain, Log, Gang, Repeat };
const char *ModeName(Mode m)
{
    return m == Mode::Plain ? "plain" : m == Mode::Log ? "--log" : m == Mode::Gang ? "two -p" : "--repeat";
}

// One erase under a signal: the boards' calibration and what was said.
struct Killed {
    Outcome outcome;
    bool kept = true;
};

Killed EraseUnder(const std::string &folder, Mode mode, const std::function<void(pid_t)> &signals,
                  Output output = Output::File)
{
    Board first(folder + "/chip1.hex");
    std::optional<Board> second;
    std::vector<std::string> args{"-d", "PIC12F675", "-p", first.sim.Path()};
    if (mode == Mode::Gang) {
        second.emplace(folder + "/chip2.hex");
        args.insert(args.end(), {"-p", second->sim.Path()});
    }
    if (mode == Mode::Log) args.insert(args.end(), {"--log", folder + "/production.csv"});
    if (mode == Mode::Repeat) args.push_back("--repeat");
    args.push_back("erase");
    Killed k;
    k.outcome = RunCli(folder, args, signals, output);
    k.kept = first.CalibrationKept() && (!second || second->CalibrationKept());
    return k;
}

// The one thing a signal may never do: leave a chip without its calibration
// and without the text that says how to put it back.
void ExpectNothingLost(const Killed &k, const std::string &where)
{
    EXPECT_TRUE(k.kept || k.outcome.Says("を書き戻してください。"))
        << where << k.outcome.out << k.outcome.err;
    // An erase that happened was followed by its write-back.
    if (k.outcome.Says("デバイスを消去しました。")) {
        EXPECT_TRUE(k.outcome.Says("へキャリブレーションデータ 3450 を書き込みました。"))
            << where << k.outcome.out;
    }
}

} // namespace

// Each signal once the calibration is read, in the erase's programming
// wait: the write-back is done first, then the run ends as after Ctrl-C.
// --repeat takes a first signal as "stop after this round", so it gets two.
TEST(Signals, HeldThroughTheEraseInEveryMode)
{
    for (Mode mode : {Mode::Plain, Mode::Log, Mode::Gang, Mode::Repeat}) {
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
            const std::string where = std::string(ModeName(mode)) + " " + strsignal(sig) + ": ";
            std::vector<std::pair<int, int>> signals{{0, sig}};
            if (mode == Mode::Repeat) signals.push_back({30, sig});
            const std::string folder = Folder("signals");
            const Killed k = EraseUnder(folder, mode, OnceSaid(folder, "を読み出しました。", signals));
            ExpectNothingLost(k, where);
            EXPECT_TRUE(k.kept) << where;
            EXPECT_TRUE(k.outcome.Says("へキャリブレーションデータ 3450 を書き込みました。")) << where;
            if (sig == SIGPIPE) {
                // Ignored: only a closed output counts.
                EXPECT_EQ(k.outcome.status, 0) << where << k.outcome.err;
                continue;
            }
            EXPECT_EQ(k.outcome.status, 128 + sig) << where << k.outcome.out << k.outcome.err;
            EXPECT_TRUE(k.outcome.Says("中断しました。")) << where << k.outcome.err;
        }
    }
}

// `erase | head -1`: the reader goes away before the first line.
TEST(Signals, ClosedPipeEndsTheRunAfterTheWriteBack)
{
    for (Mode mode : {Mode::Plain, Mode::Log}) {
        const Killed k = EraseUnder(Folder("pipe"), mode, {}, Output::ClosedByReader);
        EXPECT_TRUE(k.kept) << ModeName(mode);
        EXPECT_EQ(k.outcome.status, 128 + SIGPIPE) << ModeName(mode) << k.outcome.err;
    }
}

// Random kill points over the whole erase, each signal, plain and
// production runs alternating. TARNVIK_SIGNAL_SWEEP_RUNS sets the number of
// runs per signal (10 by default, to keep the suite short).
TEST(SignalSweep, NoCalibrationLostAtAnyKillPoint)
{
    const char *env = std::getenv("TARNVIK_SIGNAL_SWEEP_RUNS");
    const int perSignal = env && std::atoi(env) > 0 ? std::atoi(env) : 10;
    const std::vector<int> signals{SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};
    std::mt19937 random(20);
    std::uniform_int_distribution<int> when(0, 1300);
    struct Figures {
        int runs = 0, losses = 0, restoreTexts = 0, stopped = 0, heldErases = 0;
    };
    std::vector<Figures> figures(signals.size());
    // Two boards at a time.
    for (int run = 0; run < perSignal; run += 2) {
        for (size_t s = 0; s < signals.size(); ++s) {
            std::vector<std::thread> pair;
            std::vector<Killed> results(2);
            std::vector<int> delays{when(random), when(random)};
            for (int lane = 0; lane < 2 && run + lane < perSignal; ++lane)
                pair.emplace_back([&, lane] {
                    const Mode mode = lane == 0 ? Mode::Plain : Mode::Log;
                    results[static_cast<size_t>(lane)] = EraseUnder(
                        Folder("sweep" + std::to_string(lane)), mode, After({{delays[lane], signals[s]}}));
                });
            for (size_t lane = 0; lane < pair.size(); ++lane) {
                pair[lane].join();
                const Killed &k = results[lane];
                const std::string where = std::string(strsignal(signals[s])) + " at " +
                                          std::to_string(delays[lane]) + " ms, " +
                                          ModeName(lane ? Mode::Log : Mode::Plain);
                ExpectNothingLost(k, where);
                Figures &f = figures[s];
                ++f.runs;
                f.losses += !k.kept && !k.outcome.Says("を書き戻してください。");
                f.restoreTexts += k.outcome.Says("を書き戻してください。");
                f.stopped += k.outcome.status != 0;
                // Stopped by the signal once the erase had begun: it waited for the write-back.
                f.heldErases += k.outcome.status != 0 && k.outcome.Says("デバイスを消去しました。");
            }
        }
    }
    for (size_t s = 0; s < signals.size(); ++s)
        std::printf("%-12s runs %3d  stopped %3d  stopped after erasing %3d  losses %d  restore texts %d\n",
                    strsignal(signals[s]), figures[s].runs, figures[s].stopped, figures[s].heldErases,
                    figures[s].losses, figures[s].restoreTexts);
}

// A caller's closed stdout is /dev/null from the start: no text reaches the
// programmer (the wire is that of an ordinary run), and "-" as the output
// is refused instead of "saved" into nothing.
TEST(ClosedStreams, NoTextDownTheWireAndNoFalseSave)
{
    const std::string folder = Folder("streams");
    std::vector<size_t> hostBytes;
    for (Output output : {Output::File, Output::Closed}) {
        const std::string trace = folder + "/trace" + std::to_string(hostBytes.size());
        SimProcess sim({"--chip", "PIC12F675", "--trace", trace});
        EXPECT_EQ(RunCli(folder, {"-v", "-p", sim.Path(), "-d", "PIC12F675", "identify"}, {}, output).status,
                  0);
        sim.Stop();
        hostBytes.push_back(HostBytesInTrace(trace));
    }
    EXPECT_GT(hostBytes[0], 0u);
    EXPECT_EQ(hostBytes[0], hostBytes[1]);

    SimProcess sim({"--chip", "PIC12F675"});
    const Outcome read =
        RunCli(folder, {"-p", sim.Path(), "-d", "PIC12F675", "read", "-"}, {}, Output::Closed);
    EXPECT_EQ(read.status, 3);
    EXPECT_TRUE(read.Says("standard output is closed")) << read.err;
    EXPECT_FALSE(read.Says("にセーブしました")) << read.err;
}

// The log keeps the values when the write-back fails, so an erase that
// cannot log them does not start; --no-calibration-log goes on.
TEST(CalibrationLog, UnwritableRefusesTheErase)
{
    struct Case {
        const char *name;
        std::function<void(const std::string &data)> spoil;
    };
    const std::vector<Case> cases{
        {"a folder in its place",
         [](const std::string &d) { std::filesystem::create_directories(d + "/tarnvik/calibration.log"); }},
        {"a FIFO in its place",
         [](const std::string &d) {
             std::filesystem::create_directories(d + "/tarnvik");
             mkfifo((d + "/tarnvik/calibration.log").c_str(), 0600);
         }},
        {"a device in its place",
         [](const std::string &d) {
             std::filesystem::create_directories(d + "/tarnvik");
             std::filesystem::create_symlink("/dev/full", d + "/tarnvik/calibration.log");
         }},
        {"a file where its folder goes", [](const std::string &d) { std::ofstream(d + "/tarnvik") << "x"; }},
        {"a read-only folder",
         [](const std::string &d) {
             std::filesystem::create_directories(d + "/tarnvik");
             chmod((d + "/tarnvik").c_str(), 0500);
         }},
    };
    for (const Case &c : cases) {
        if (geteuid() == 0 && std::string(c.name) == "a read-only folder") continue; // root writes anyway
        const std::string folder = Folder("callog");
        std::filesystem::create_directories(folder + "/data");
        c.spoil(folder + "/data");
        Board board(folder + "/chip.hex", false);
        const std::vector<std::string> args{"-p", board.sim.Path(), "-d", "PIC12F675", "erase"};
        const Outcome refused = RunCli(folder, args);
        EXPECT_EQ(refused.status, 3) << c.name << refused.out << refused.err;
        EXPECT_NE(refused.err.find(folder + "/data/tarnvik/calibration.log"), std::string::npos)
            << c.name << refused.err;
        EXPECT_NE(refused.err.find("消去を中止しました"), std::string::npos) << c.name << refused.err;
        EXPECT_FALSE(refused.Says("デバイスを消去しました。")) << c.name;

        std::vector<std::string> anyway = args;
        anyway.push_back("--no-calibration-log");
        const Outcome done = RunCli(folder, anyway);
        EXPECT_EQ(done.status, 0) << c.name << done.out << done.err;
        EXPECT_TRUE(done.Says("!キャリブレーションログに書き込めませんでした")) << c.name << done.out;
        EXPECT_TRUE(board.CalibrationKept()) << c.name;
        chmod((folder + "/data/tarnvik").c_str(), 0700);
    }
}

// A run killed outright between two bytes of a command leaves the board
// waiting for the rest; the next command's check brings it back.
TEST(KilledRun, NextCheckWorksTheFirstTime)
{
    const std::string folder = Folder("killed");
    SimProcess sim({"--chip", "PIC12F675", "--pace"});
    const std::vector<std::string> base{"-p", sim.Path(), "-d", "PIC12F675"};
    for (int ms = 250; ms <= 1150; ms += 75) {
        std::vector<std::string> program = base;
        program.insert(program.end(), {"program", Fixtures + "/p12f675.hex"});
        RunCli(folder, program, After({{ms, SIGKILL}}));
        std::vector<std::string> identify = base;
        identify.push_back("identify");
        const Outcome r = RunCli(folder, identify);
        EXPECT_EQ(r.status, 0) << "killed at " << ms << " ms: " << r.out << r.err;
    }
}

// The link lost in the middle of a DEVICE-ID read is a lost link in the
// production log, not a refused chip.
TEST(KilledRun, LinkLostInTheIdReadIsLoggedAsSuch)
{
    const std::string folder = Folder("idlink");
    SimProcess sim({"--chip", "PIC12F675", "--fault", "silent-after=5"});
    const std::string log = folder + "/production.csv";
    const Outcome r = RunCli(folder, {"-p", sim.Path(), "-d", "PIC12F675", "--log", log, "erase"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_TRUE(r.Says("プログラマーからの応答が途切れました。")) << r.out;
    EXPECT_FALSE(r.Says("DEVICEIDが異なります。")) << r.out;
    EXPECT_NE(ReadText(log).find("link lost"), std::string::npos) << ReadText(log);
}

// program --erase --keep-eeprom --keep-config under a signal at a random
// moment, SIGKILL among them: the chip keeps its EEPROM and configuration,
// or they are in a copy on the disk that the run, or else the next check of
// the chip, names with the command that restores it. The signals the
// program catches wait for the write-back, so only SIGKILL leaves a copy.
// TARNVIK_KEEP_SWEEP_RUNS sets the runs per signal (2 by default).
TEST(SignalSweep, KeptDataOnTheChipOrOnTheDisk)
{
    const char *env = std::getenv("TARNVIK_KEEP_SWEEP_RUNS");
    const int perSignal = env && std::atoi(env) > 0 ? std::atoi(env) : 2;
    const std::string folder = Folder("keepsweep");
    const std::string chipImage = folder + "/used.hex";
    // A used chip: EEPROM bytes and an oscillator setting of its own.
    {
        std::ofstream out(chipImage);
        out << ":10420000A5005A00A5005A00A5005A00A5005A00B2\n:02400E00843FED\n:00000001FF\n";
    }
    const std::vector<int> signals{SIGINT, SIGTERM, SIGHUP, SIGKILL};
    std::mt19937 random(35);
    std::uniform_int_distribution<int> when(0, 2600);
    for (int sig : signals) {
        int lost = 0, restoreTexts = 0;
        for (int run = 0; run < perSignal; ++run) {
            std::filesystem::remove_all(folder + "/data");
            const std::string dump = folder + "/chip.hex";
            SimProcess sim({"--chip", "PIC12F675", "--calib", "3450,1000", "--hex", chipImage, "--dump", dump,
                            "--pace"});
            const int ms = when(random);
            const Outcome r = RunCli(folder,
                                     {"-p", sim.Path(), "-d", "PIC12F675", "program", "--erase", "--keep-eeprom",
                                      "--keep-config", Fixtures + "/p12f675.hex"},
                                     After({{ms, sig}}));
            const Outcome next = RunCli(folder, {"-p", sim.Path(), "-d", "PIC12F675", "blank"});
            sim.Stop();
            MemoryBuffer chip;
            const int index = FindDevice("PIC12F675");
            chip.Clear(DeviceTable[static_cast<size_t>(index)]);
            LoadOutcome outcome;
            outcome.Device = {false, index};
            LoadNewFile(dump, chip, false, outcome);
            const bool kept = chip.Words[0x2100] == 0xA5 && chip.Words[0x2107] == 0x5A &&
                              (chip.Words[0x2007] & 0x01FF) == (0x3F84 & 0x01FF);
            const std::string where = std::string(strsignal(sig)) + " at " + std::to_string(ms) + " ms: ";
            if (sig != SIGKILL) {
                EXPECT_TRUE(kept) << where << r.out << r.err;
            }
            if (kept) continue;
            ++lost;
            std::vector<std::string> copies;
            for (const auto &entry : std::filesystem::directory_iterator(folder + "/data/tarnvik/kept"))
                copies.push_back(entry.path().string());
            ASSERT_EQ(copies.size(), 1u) << where;
            const std::string restore = "program --only eeprom,config " + copies[0];
            const bool told = r.Says(restore) || (next.Says("が書き戻されていません") && next.Says(restore));
            EXPECT_TRUE(told) << where << r.out << r.err << next.out << next.err;
            restoreTexts += told;
        }
        std::printf("%-12s runs %3d  gone from the chip %3d  copy and restore text %3d\n", strsignal(sig),
                    perSignal, lost, restoreTexts);
    }
}
