// How long the window's event loop goes unserved while READ, PROG. and
// VERIFY run, through the window's own handlers against tarnbox-sim --line L
// on a pseudo-terminal. A 10 ms timer stands for the repaints and a pressed
// control: the longest gap between two of its ticks during a command is the
// longest the window stalled, printed per command and line.
//
//   stall-bench [--sim PATH] [--line L,...] [--device D,...]
//     --line    lines to measure (default uart,usb=1,usb=16)
//     --device  PIC16F877A, PIC18F4550 or both (default PIC16F877A)
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "SimLine.h"
#include "Unit1.h"
#include "window_rig.h"
#include "settings/settings.h"

namespace {


void WriteSettings(const std::string &path, const std::string &device, const std::string &com3)
{
    SettingsFile s(path);
    s.WriteString("device", "group", device == "PIC18F4550" ? "PIC18" : "PIC16");
    s.WriteString("device", "name", device);
    s.WriteBool("port", "fixes", true);
    s.WriteString("port", "name", "COM3");
    s.WriteString("ports", "com3", com3);
    s.Save();
}


// Runs the steps on one device and line; false when the window could not
// reach the simulator.
bool MeasureStalls(const std::string &device, const SimLine &line, const QTemporaryDir &dir, const QString &simPath)
{
    QProcess sim;
    sim.start(simPath, {"--line", QString::fromStdString(line.Name()), "--chip", QString::fromStdString(device)});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "stall-bench: cannot start %s\n", qPrintable(simPath));
        return false;
    }
    const std::string pty = QString::fromLocal8Bit(sim.readLine()).trimmed().toStdString();
    const std::string ini = dir.filePath(QString::fromStdString("stall-" + device + ".ini")).toStdString();
    WriteSettings(ini, device, pty);
    bool ok = true;
    {
        TForm1 f(std::make_unique<KnownLineBackend>(MakePosixSerialBackend(),
                                                    static_cast<int>(line.frame / 1000000)),
                 ini);
        WaitForStartup(f);
        ok = WindowRig::PortOpen(f);
        if (!ok) std::fprintf(stderr, "stall-bench: the window did not open %s\n", pty.c_str());
        if (ok) WindowRig::FillFullImage(f);
        double longest = 0;
        int ticks = 0;
        QElapsedTimer sinceTick;
        QTimer ticker;
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longest = std::max(longest, double(sinceTick.nsecsElapsed()) / 1e6);
            sinceTick.restart();
            ++ticks;
        });
        for (const WindowStep &s : WindowSteps) {
            if (!ok) break;
            longest = 0;
            ticks = 0;
            QElapsedTimer t;
            t.start();
            sinceTick.start();
            ticker.start();
            (f.*s.run)();
            ticker.stop();
            // The gap from the last tick to the command's end counts too.
            longest = std::max(longest, double(sinceTick.nsecsElapsed()) / 1e6);
            std::printf("%-11s %-7s %-7s %8.0fms %6d ticks  longest stall %5.0f ms  %s\n", device.c_str(),
                        line.Name().c_str(), s.name, double(t.nsecsElapsed()) / 1e6, ticks, longest,
                        f.findChild<QLineEdit *>("Edit3")->text().toUtf8().constData());
            std::fflush(stdout);
        }
        WindowRig::ClosePort(f);
    }
    sim.terminate();
    sim.waitForFinished(3000);
    return ok;
}

std::vector<std::string> SplitList(const std::string &text)
{
    std::vector<std::string> items;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');)
        if (!item.empty()) items.push_back(item);
    return items;
}

int Usage()
{
    std::fprintf(stderr, "usage: stall-bench [--sim PATH] [--line L,...] [--device D,...]\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString simPath = TARNBOX_SIM;
    std::vector<SimLine> lines;
    std::vector<std::string> devices;
    for (int i = 1; i < argc; ++i) {
        const QString arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--sim" && hasValue) {
            simPath = argv[++i];
        } else if (arg == "--line" && hasValue) {
            for (const std::string &name : SplitList(argv[++i])) {
                SimLine line;
                if (!ParseSimLine(name, line)) return Usage();
                lines.push_back(line);
            }
        } else if (arg == "--device" && hasValue) {
            for (const std::string &name : SplitList(argv[++i])) {
                if (name != "PIC16F877A" && name != "PIC18F4550") return Usage();
                devices.push_back(name);
            }
        } else {
            return Usage();
        }
    }
    if (lines.empty())
        for (const char *name : {"uart", "usb=1", "usb=16"}) {
            lines.emplace_back();
            ParseSimLine(name, lines.back());
        }
    if (devices.empty()) devices = {"PIC16F877A"};

    QTemporaryDir dir;
    int status = 0;
    for (const std::string &device : devices)
        for (const SimLine &line : lines)
            if (!MeasureStalls(device, line, dir, simPath)) status = 1;
    return status;
}
