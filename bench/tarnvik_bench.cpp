// How close the window's READ, PROG. and VERIFY come to the protocol's own
// time. Each runs on a full PIC16F877A and a full PIC18F4550 image, through
// the window's own handlers, against tarnbox-sim --line L (real-time pacing
// on a pseudo-terminal) for the lines uart, usb=1 and usb=16.
//
// The floor is the least the same exchange can take on the same line: the
// window's handlers run against the in-process simulator with the same line
// model on a virtual clock, which charges only the bytes and the waits and
// nothing for the host:
//   - a host byte starts on the wire when the host sends it or when the
//     byte before it has left, and is whole at the board 10 bit times
//     (260.4 µs at 38400 baud) later; on usb=MS it first waits for the end
//     of the MS-millisecond frame it was sent in;
//   - the firmware handles it (echo, checksum, reply) in its modelled time,
//     and programming waits keep it busy for the time the command asks;
//   - each board byte goes out when the transmitter is free and is whole at
//     the host 10 bit times later; on usb=MS it is handed to the host at the
//     end of the frame it became whole in;
//   - the host reads a byte the instant it is handed over and sends its
//     next byte at the same instant; time-outs it waits out count in full.
// tarnbox-sim --line times the board by the same rules on its real clock,
// so the measured run adds only the host's own costs (system calls,
// pseudo-terminal hand-over, the event loop) and the simulator's wake-up
// lateness: 1.00 is a host that costs nothing. The round trips are the
// exchanges in which the host had to wait for the board after writing. On
// usb=MS the host is told the frame as it reads a real adapter's latency
// timer from sysfs, so its short time-outs leave room for it.
//
// Then the gang: the command line's program command (check, then a full
// PIC16F877A image) on one paced tarnbox-sim and on four at once, one thread
// per port as tarnvik-cli runs them. The gang ratio is the four-board wall
// time over the one-board wall time; 1.00 means the boards cost each other
// nothing. Then the gang's production cycle: a small program erased,
// blank-checked, programmed and verified on one board and on four at once,
// and the same cycle without the blank check.
//
// Last the production chip on each line (cycle: lines): tarnvik-cli
// program --erase --fast-cycle --repeat, a 200-word PIC16F877A image, two
// chips on one tarnbox-sim --line L, each chip's time as the run's log
// gives it (the first on a fresh open of the port, the second on the port
// the first left quiet, so its open leaves out the drain). Its lean floor
// is what must cross the wire for one chip: the check and the chain (erase,
// program, whole-chip verify) against the in-process simulator on the same
// line's virtual clock, so only their bytes at the line's byte time, the
// line's frame latency per exchange, the chip's programming waits and the
// programming-mode holds count; the open, its drain and anything the host
// does between exchanges count nothing. The chain itself does no avoidable
// work: the blank EEPROM after the erase is neither walked nor entered, and
// the check reads the DEVICE-ID twice, as it must.
//
//   tarnvik-bench [--sim PATH] [--cli PATH] [--line L,...] [--device D,...] [--runs N] [--no-gang] [--cycle]
//     --line    lines to measure (default uart,usb=1,usb=16; usb=16 alone
//               takes about five minutes); the cycle: lines take uart and
//               usb=MS lines only
//     --cycle   only the cycle: lines
//     --device  PIC16F877A, PIC18F4550 or both (default)
//     --runs    measure each case N times and keep the best (default 1)
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "SimBackend.h"
#include "image/hex_write.h"
#include "SimLine.h"
#include "Unit1.h"
#include "window_rig.h"
#include "Unit3.h"
#include "production/gang.h"
#include "operations/chain.h"
#include "operations/operations.h"
#include "settings/settings.h"

namespace {

struct Case {
    const char *device;
    bool pic18;
};

void WriteSettings(const std::string &path, const Case &c, const std::string &com3)
{
    SettingsFile s(path);
    s.WriteString("device", "group", c.pic18 ? "PIC18" : "PIC16");
    s.WriteString("device", "name", c.device);
    s.WriteBool("port", "fixes", true);
    s.WriteString("port", "name", "COM3");
    if (!com3.empty()) s.WriteString("ports", "com3", com3);
    s.Save();
}


struct Floor {
    std::vector<double> ms;
    std::vector<uint64_t> roundTrips;
};

// Virtual time of each step on the in-process simulator, in ms.
Floor FloorTimes(const Case &c, const SimLine &line, const QTemporaryDir &dir)
{
    const std::string ini = dir.filePath(QString("floor-%1.ini").arg(c.device)).toStdString();
    WriteSettings(ini, c, {});
    SimOptions options;
    options.chip = c.device;
    options.line = line;
    auto backend = std::make_unique<SimBackend>(options);
    SimBackend &sim = *backend;
    TForm1 f(std::move(backend), ini);
    WaitForStartup(f);
    WindowRig::FillFullImage(f);
    Floor floor;
    for (const WindowStep &s : WindowSteps) {
        const double start = sim.NowMs();
        sim.ResetRoundTrips();
        (f.*s.run)();
        floor.ms.push_back(sim.NowMs() - start);
        floor.roundTrips.push_back(sim.RoundTrips());
    }
    return floor;
}

struct Measured {
    std::vector<double> ms;
    std::vector<QString> status;
    double longestPauseMs = 0;
};


Measured RealTimes(const Case &c, const SimLine &line, const QTemporaryDir &dir, const QString &simPath)
{
    Measured m;
    QProcess sim;
    sim.start(simPath, {"--line", QString::fromStdString(line.Name()), "--chip", c.device});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "tarnvik-bench: cannot start %s\n", qPrintable(simPath));
        std::exit(2);
    }
    const std::string pty = QString::fromLocal8Bit(sim.readLine()).trimmed().toStdString();
    const std::string ini = dir.filePath(QString("real-%1.ini").arg(c.device)).toStdString();
    WriteSettings(ini, c, pty);
    {
        TForm1 f(std::make_unique<KnownLineBackend>(MakePosixSerialBackend(),
                                                    static_cast<int>(line.frame / 1000000)),
                 ini);
        WaitForStartup(f);
        if (!WindowRig::PortOpen(f)) {
            std::fprintf(stderr, "tarnvik-bench: the window did not open %s\n", pty.c_str());
            std::exit(2);
        }
        WindowRig::FillFullImage(f);
        // A 10 ms timer stands for the window's repaints: the longest gap
        // between its ticks is the longest the event loop was not served.
        QElapsedTimer sinceTick;
        QTimer ticker;
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            m.longestPauseMs = std::max(m.longestPauseMs, double(sinceTick.nsecsElapsed()) / 1e6);
            sinceTick.restart();
        });
        for (const WindowStep &s : WindowSteps) {
            QElapsedTimer t;
            t.start();
            sinceTick.start();
            ticker.start();
            (f.*s.run)();
            ticker.stop();
            m.ms.push_back(double(t.nsecsElapsed()) / 1e6);
            m.status.push_back(f.findChild<QLineEdit *>("Edit3")->text());
        }
        WindowRig::ClosePort(f);
    }
    sim.terminate();
    sim.waitForFinished(3000);
    return m;
}

// A front end that shows nothing: the gang's ports run silent.
class SilentFrontEnd : public FrontEnd {
public:
    void SetStatus(const std::string &) override {}
    void AddLog(const std::string &) override {}
    void AddLogShowingMessages(const std::string &) override {}
    void SetDialogStatus(const std::string &) override {}
    ProgressBar &MainProgress() override { return bar_; }
    ProgressBar &DialogProgress() override { return bar_; }
    void ShowMessage(const std::string &) override {}
    void ProcessMessages() override {}

private:
    class : public ProgressBar {
        void SetRange(int, int) override {}
        void StepIt() override {}
        void SetPosition(int) override {}
    } bar_;
};

// What one board of a gang runs: true when the chip came out right.
using BoardJob = std::function<bool(OperationContext &ctx, SilentFrontEnd &ui)>;

// Wall time of job on n paced PIC16F877A boards at once, each with its own
// copy of image, in ms; 0 when a board failed.
double GangTime(int n, const QString &simPath, const MemoryBuffer &image, const BoardJob &job)
{
    std::vector<std::unique_ptr<QProcess>> sims;
    std::vector<std::string> ptys;
    for (int i = 0; i < n; ++i) {
        sims.push_back(std::make_unique<QProcess>());
        sims.back()->start(simPath, {"--pace", "--chip", "PIC16F877A"});
        if (!sims.back()->waitForStarted(5000) || !sims.back()->waitForReadyRead(5000)) {
            std::fprintf(stderr, "tarnvik-bench: cannot start %s\n", qPrintable(simPath));
            std::exit(2);
        }
        ptys.push_back(QString::fromLocal8Bit(sims.back()->readLine()).trimmed().toStdString());
    }
    const int row = FindDevice("PIC16F877A");
    QElapsedTimer t;
    t.start();
    const std::vector<int> statuses = RunGang(
        static_cast<size_t>(n),
        [&](size_t i) {
            const std::string path = ptys[i];
            SerialPort port(MakePosixSerialBackend(), [path](const std::string &) { return path; });
            if (port.OpenPort("COM" + std::to_string(i + 1)) != 0) return 1;
            TCommand cmd;
            auto buffer = std::make_unique<MemoryBuffer>(image);
            SilentFrontEnd ui;
            OperationContext ctx{port, cmd, *buffer, ui, {false, row}};
            const bool ok = CheckConnection(ctx).Ok() && job(ctx, ui);
            port.ClosePort();
            return ok ? 0 : 1;
        },
        1);
    const double ms = double(t.nsecsElapsed()) / 1e6;
    for (auto &sim : sims) {
        sim->terminate();
        sim->waitForFinished(3000);
    }
    return WorstStatus(statuses) == 0 ? ms : 0;
}

std::vector<std::string> SplitList(const std::string &text)
{
    std::vector<std::string> items;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');)
        if (!item.empty()) items.push_back(item);
    return items;
}

// The production chip's image: 200 program words and the configuration word.
MemoryBuffer CycleImage(const TDeviceSpec &device)
{
    MemoryBuffer image;
    image.Clear(device);
    for (uint32_t i = 0; i < 200; ++i)
        image.Words[i] = static_cast<uint16_t>((i * 0x9E37u + 0x1234u) % 0x3FFF);
    image.Words[device.ConfigAddress1] = 0x3F32;
    return image;
}

// Virtual time of one production chip on line, in ms: the check and the
// fast-cycle chain on the in-process simulator; 0 when the chip failed.
double CycleFloor(const SimLine &line, const MemoryBuffer &image)
{
    SimOptions options;
    options.line = line;
    auto backend = std::make_unique<SimBackend>(options);
    SimBackend &sim = *backend;
    SerialPort port(std::move(backend));
    if (port.OpenPort("COM1") != 0) return 0;
    // The open's drain waits for the line to be quiet: no exchange.
    port.DrainInput();
    TCommand cmd;
    auto buffer = std::make_unique<MemoryBuffer>(image);
    SilentFrontEnd ui;
    OperationContext ctx{port, cmd, *buffer, ui, {false, FindDevice("PIC16F877A")}};
    ChainRun run;
    run.fastCycle = true;
    const double start = sim.NowMs();
    const bool ok = CheckConnection(ctx).Ok() && RunChain(ctx, Chain::EraseBlankCheckProgramVerify, run).Ok();
    return ok ? sim.NowMs() - start : 0;
}

// The two chips' times of a tarnvik-cli production run on a tarnbox-sim
// --line L, in ms, from the run's log; empty when the run did not program
// and verify both.
std::vector<double> CliCycle(const SimLine &line, const QString &simPath, const QString &cliPath,
                             const QTemporaryDir &dir, const std::string &hexPath)
{
    QProcess sim;
    sim.start(simPath, {"--line", QString::fromStdString(line.Name()), "--chip", "PIC16F877A"});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "tarnvik-bench: cannot start %s\n", qPrintable(simPath));
        std::exit(2);
    }
    const std::string pty = QString::fromLocal8Bit(sim.readLine()).trimmed().toStdString();
    const QString tag = QString::fromStdString(line.Name()).replace('=', '-');
    const std::string ini = dir.filePath("cycle-" + tag + ".ini").toStdString();
    const QString log = dir.filePath("cycle-" + tag + ".csv");
    WriteSettings(ini, Case{"PIC16F877A", false}, pty);
    QProcess cli;
    cli.setProcessChannelMode(QProcess::MergedChannels);
    cli.start(cliPath, {"--settings", QString::fromStdString(ini), "--log", log, "--repeat", "-q", "program",
                        "--erase", "--fast-cycle", QString::fromStdString(hexPath)});
    // One Enter for the second chip, then the end of input ends the run.
    cli.write("\n");
    cli.closeWriteChannel();
    const bool finished = cli.waitForFinished(120000);
    sim.terminate();
    sim.waitForFinished(3000);
    std::vector<double> ms;
    std::ifstream rows(log.toStdString());
    for (std::string row; std::getline(rows, row);) {
        // time, port, device, DEVICE-ID, serial, result, crc, elapsed ms, ...
        std::vector<std::string> fields;
        std::stringstream in(row);
        for (std::string field; std::getline(in, field, ',');)
            fields.push_back(field);
        if (fields.size() >= 8 && fields[5] == "ok") ms.push_back(std::stod(fields[7]));
    }
    if (!finished || cli.exitCode() != 0 || ms.size() != 2) {
        std::fprintf(stderr, "tarnvik-bench: the production run on %s failed:\n%s\n", line.Name().c_str(),
                     cli.readAll().constData());
        return {};
    }
    return ms;
}

// The cycle: lines, the best of runs production runs on each uart or usb
// line; 1 when a run failed.
int CycleLines(const std::vector<SimLine> &lines, const QString &simPath, const QString &cliPath,
               const QTemporaryDir &dir, int runs)
{
    const TDeviceSpec &device = DeviceTable[static_cast<size_t>(FindDevice("PIC16F877A"))];
    const MemoryBuffer image = CycleImage(device);
    const std::string hex = dir.filePath("cycle.hex").toStdString();
    WriteHexLines(hex, Hex16Lines(image.Words, device, false));
    int status = 0;
    for (const SimLine &line : lines) {
        if (line.kind == LineKind::Pty) continue;
        const double floor = CycleFloor(line, image);
        std::vector<double> best;
        for (int r = 0; r < runs; ++r) {
            const std::vector<double> ms = CliCycle(line, simPath, cliPath, dir, hex);
            if (ms.empty()) continue;
            if (best.empty()) best = ms;
            for (size_t i = 0; i < ms.size(); ++i)
                best[i] = std::min(best[i], ms[i]);
        }
        if (best.empty() || floor <= 0) {
            std::printf("cycle: PIC16F877A %s 200 words program --erase --fast-cycle: - (a chip failed)\n",
                        line.Name().c_str());
            status = 1;
            continue;
        }
        std::printf("cycle: PIC16F877A %-6s 200 words program --erase --fast-cycle: first chip %.0f ms, "
                    "next chip %.0f ms; lean floor %.0f ms; ratio %.3f, %.3f\n",
                    line.Name().c_str(), best[0], best[1], floor, best[0] / floor, best[1] / floor);
        std::fflush(stdout);
    }
    return status;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: tarnvik-bench [--sim PATH] [--cli PATH] [--line L,...] [--device D,...] [--runs N] "
                 "[--no-gang] [--cycle]\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString simPath = TARNBOX_SIM, cliPath = TARNVIK_CLI;
    std::vector<SimLine> lines;
    std::vector<Case> cases;
    int runs = 1;
    bool gang = true, cycleOnly = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--sim" && hasValue) {
            simPath = argv[++i];
        } else if (arg == "--cli" && hasValue) {
            cliPath = argv[++i];
        } else if (arg == "--cycle") {
            cycleOnly = true;
        } else if (arg == "--line" && hasValue) {
            for (const std::string &name : SplitList(argv[++i])) {
                SimLine line;
                if (!ParseSimLine(name, line)) return Usage();
                lines.push_back(line);
            }
        } else if (arg == "--device" && hasValue) {
            for (const std::string &name : SplitList(argv[++i])) {
                if (name != "PIC16F877A" && name != "PIC18F4550") return Usage();
                cases.push_back(Case{name == "PIC16F877A" ? "PIC16F877A" : "PIC18F4550", name == "PIC18F4550"});
            }
        } else if (arg == "--runs" && hasValue) {
            runs = std::max(1, QString(argv[++i]).toInt());
        } else if (arg == "--no-gang") {
            gang = false;
        } else {
            return Usage();
        }
    }
    if (lines.empty())
        for (const char *name : {"uart", "usb=1", "usb=16"}) {
            lines.emplace_back();
            ParseSimLine(name, lines.back());
        }
    if (cases.empty()) cases = {Case{"PIC16F877A", false}, Case{"PIC18F4550", true}};

    QTemporaryDir dir;
    if (cycleOnly) return CycleLines(lines, simPath, cliPath, dir, runs);
    double worstUart = 0, worstUsb = 0;
    std::printf("%-11s %-7s %-7s %10s %10s %6s %7s  %s\n", "device", "line", "command", "measured", "floor",
                "ratio", "trips", "result");
    for (const Case &c : cases) {
        for (const SimLine &line : lines) {
            const Floor floor = FloorTimes(c, line, dir);
            Measured best;
            for (int r = 0; r < runs; ++r) {
                Measured m = RealTimes(c, line, dir, simPath);
                if (best.ms.empty()) {
                    best = m;
                    continue;
                }
                for (size_t i = 0; i < m.ms.size(); ++i)
                    if (m.ms[i] < best.ms[i]) {
                        best.ms[i] = m.ms[i];
                        best.status[i] = m.status[i];
                    }
                best.longestPauseMs = std::max(best.longestPauseMs, m.longestPauseMs);
            }
            for (size_t i = 0; i < std::size(WindowSteps); ++i) {
                const double ratio = best.ms[i] / floor.ms[i];
                double &worst = line.kind == LineKind::Usb ? worstUsb : worstUart;
                worst = std::max(worst, ratio);
                std::printf("%-11s %-7s %-7s %8.0fms %8.0fms %6.3f %7llu  %s\n", c.device, line.Name().c_str(),
                            WindowSteps[i].name, best.ms[i], floor.ms[i], ratio,
                            static_cast<unsigned long long>(floor.roundTrips[i]),
                            best.status[i].toUtf8().constData());
            }
            std::printf("%-11s %-7s longest event-loop pause: %.0f ms\n", c.device, line.Name().c_str(),
                        best.longestPauseMs);
            std::fflush(stdout);
        }
    }
    std::printf("worst ratio: uart %.3f, usb %.3f\n", worstUart, worstUsb);
    if (!gang) return 0;

    const TDeviceSpec &device = DeviceTable[static_cast<size_t>(FindDevice("PIC16F877A"))];
    MemoryBuffer full;
    full.Clear(device);
    for (uint32_t i = 0; i < device.ProgramSize; ++i)
        full.Words[i] = static_cast<uint16_t>((i * 0x9E37u + 0x1234u) % 0x3FFF);
    for (uint32_t i = 0; i < device.EEDataSize; ++i)
        full.Words[EEDataAreaStart + i] = static_cast<uint16_t>((i * 13 + 5) % 255);
    const BoardJob program = [](OperationContext &ctx, SilentFrontEnd &ui) {
        return ProgramDevice(ctx, &ui.MainProgress()).Ok();
    };
    const double one = GangTime(1, simPath, full, program);
    const double four = GangTime(4, simPath, full, program);
    std::printf("gang PIC16F877A program: 1 board %.0f ms, 4 boards %.0f ms\n", one, four);
    if (one <= 0 || four <= 0) {
        std::printf("gang ratio: - (a board failed)\n");
        return 1;
    }
    std::printf("gang ratio: %.2f\n", four / one);

    // A production chip: a small program (64 words and the configuration
    // word) on a PIC16F877A, erased, blank-checked, programmed and verified
    // as program --erase does; and the same with --fast-cycle, the
    // whole-chip verify after the program standing in for the blank check.
    MemoryBuffer small;
    small.Clear(device);
    for (uint32_t i = 0; i < 64; ++i)
        small.Words[i] = static_cast<uint16_t>((i * 0x9E37u + 0x1234u) % 0x3FFF);
    small.Words[device.ConfigAddress1] = 0x3F32;
    const auto cycle = [](bool blankCheck) -> BoardJob {
        return [blankCheck](OperationContext &ctx, SilentFrontEnd &ui) {
            ChainRun run;
            run.progress = &ui.MainProgress();
            run.fastCycle = !blankCheck;
            return RunChain(ctx, Chain::EraseBlankCheckProgramVerify, run).Ok();
        };
    };
    int status = 0;
    for (const bool blankCheck : {true, false}) {
        const double cycleOne = GangTime(1, simPath, small, cycle(blankCheck));
        const double cycleFour = GangTime(4, simPath, small, cycle(blankCheck));
        std::printf("cycle: PIC16F877A small program, erase%s, program, verify: 1 board %.0f ms a chip; "
                    "4 boards %.0f ms, %.0f ms a chip\n",
                    blankCheck ? ", blank check" : " (no blank check)", cycleOne, cycleFour, cycleFour / 4);
        if (cycleOne <= 0 || cycleFour <= 0) status = 1;
    }
    return std::max(status, CycleLines(lines, simPath, cliPath, dir, runs));
}
