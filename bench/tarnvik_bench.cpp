// How close the window's READ, PROG. and VERIFY come to the speed of the
// wire. Each runs on a full PIC16F877A and a full PIC18F4550 image, through
// the window's own handlers, against tarnbox-sim with real-time pacing on a
// pseudo-terminal. The wire time is what the same exchange takes on the
// in-process simulator's virtual clock: every byte at 38400 baud and every
// programming wait, with a host that costs nothing.
//
//   tarnvik-bench [--sim PATH]
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
#include <string>

#include "SimBackend.h"
#include "Unit1.h"
#include "Unit3.h"
#include "settings.h"

namespace {

struct Case {
    const char *device;
    bool pic18;
};

// Every program word and data byte written, none of them erased values.
void FillFullImage(TForm1 &f)
{
    MemoryBuffer &b = f.session.Buffer;
    if (const TDeviceSpec18 *dev = f.SelectedDevice18()) {
        for (uint32_t i = 0; i < dev->ProgramSize; ++i)
            b.Program18[i] = static_cast<uint8_t>((i * 37 + 11) % 255);
        for (uint32_t i = 0; i < dev->EEDataSize; ++i)
            b.EEData18[i] = static_cast<uint8_t>((i * 13 + 5) % 255);
    } else if (const TDeviceSpec *dev = f.SelectedDevice()) {
        for (uint32_t i = 0; i < dev->ProgramSize; ++i)
            b.Words[i] = static_cast<uint16_t>((i * 0x9E37u + 0x1234u) % 0x3FFF);
        for (uint32_t i = 0; i < dev->EEDataSize; ++i)
            b.Words[EEDataAreaStart + i] = static_cast<uint16_t>((i * 13 + 5) % 255);
    }
    f.RedrawBuffer();
}

void WriteSettings(const std::string &path, const Case &c, const std::string &com3)
{
    SettingsFile s(path);
    s.WriteString("device", "group", c.pic18 ? "PIC18" : "PIC16");
    s.WriteString("device", "name", c.device);
    s.WriteBool("port", "fixes", true);
    s.WriteString("port", "name", "COM3");
    if (!com3.empty()) s.WriteString("ports", "com3", com3);
}

void WaitForStartup(TForm1 &f)
{
    f.show();
    QElapsedTimer t;
    t.start();
    while ((f.FirstShowPending || f.Timer1->isActive()) && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::processEvents();
}

using Command = void (TForm1::*)();
struct Step {
    const char *name;
    Command run;
};
const Step Steps[] = {
    {"PROG.", &TForm1::Button4Click}, {"VERIFY", &TForm1::Button7Click}, {"READ", &TForm1::Button3Click}};

// Virtual time of each step on the in-process simulator, in ms.
std::vector<double> WireTimes(const Case &c, const QTemporaryDir &dir)
{
    const std::string ini = dir.filePath(QString("wire-%1.ini").arg(c.device)).toStdString();
    WriteSettings(ini, c, {});
    SimOptions options;
    options.chip = c.device;
    auto backend = std::make_unique<SimBackend>(options);
    SimBackend &sim = *backend;
    TForm1 f(std::move(backend), ini);
    WaitForStartup(f);
    FillFullImage(f);
    std::vector<double> times;
    for (const Step &s : Steps) {
        const double start = sim.NowMs();
        (f.*s.run)();
        times.push_back(sim.NowMs() - start);
    }
    return times;
}

struct Measured {
    std::vector<double> ms;
    std::vector<QString> status;
    double longestPauseMs = 0;
};

Measured RealTimes(const Case &c, const QTemporaryDir &dir, const QString &simPath)
{
    Measured m;
    QProcess sim;
    sim.start(simPath, {"--pace", "--chip", c.device});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "tarnvik-bench: cannot start %s\n", qPrintable(simPath));
        std::exit(2);
    }
    const std::string pty = QString::fromLocal8Bit(sim.readLine()).trimmed().toStdString();
    const std::string ini = dir.filePath(QString("real-%1.ini").arg(c.device)).toStdString();
    WriteSettings(ini, c, pty);
    {
        TForm1 f(nullptr, ini);
        WaitForStartup(f);
        if (!f.session.Port.IsOpen()) {
            std::fprintf(stderr, "tarnvik-bench: the window did not open %s\n", pty.c_str());
            std::exit(2);
        }
        FillFullImage(f);
        // A 10 ms timer stands for the window's repaints: the longest gap
        // between its ticks is the longest the event loop was not served.
        QElapsedTimer sinceTick;
        QTimer ticker;
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            m.longestPauseMs = std::max(m.longestPauseMs, double(sinceTick.nsecsElapsed()) / 1e6);
            sinceTick.restart();
        });
        for (const Step &s : Steps) {
            QElapsedTimer t;
            t.start();
            sinceTick.start();
            ticker.start();
            (f.*s.run)();
            ticker.stop();
            m.ms.push_back(double(t.nsecsElapsed()) / 1e6);
            m.status.push_back(f.Edit3->text());
        }
        f.session.Port.ClosePort();
    }
    sim.terminate();
    sim.waitForFinished(3000);
    return m;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString simPath = TARNBOX_SIM;
    for (int i = 1; i < argc; ++i) {
        if (QString(argv[i]) == "--sim" && i + 1 < argc) {
            simPath = argv[++i];
        } else {
            std::fprintf(stderr, "usage: tarnvik-bench [--sim PATH]\n");
            return 2;
        }
    }
    QTemporaryDir dir;
    double worst = 0;
    std::printf("%-11s %-7s %11s %11s %6s  %s\n", "device", "command", "measured", "wire", "ratio", "result");
    for (const Case &c : {Case{"PIC16F877A", false}, Case{"PIC18F4550", true}}) {
        const std::vector<double> wire = WireTimes(c, dir);
        const Measured real = RealTimes(c, dir, simPath);
        for (size_t i = 0; i < std::size(Steps); ++i) {
            const double ratio = real.ms[i] / wire[i];
            worst = std::max(worst, ratio);
            std::printf("%-11s %-7s %9.0fms %9.0fms %6.3f  %s\n", c.device, Steps[i].name, real.ms[i],
                        wire[i], ratio, real.status[i].toUtf8().constData());
        }
        std::printf("%-11s longest event-loop pause: %.0f ms\n", c.device, real.longestPauseMs);
        std::fflush(stdout);
    }
    std::printf("worst ratio: %.2f\n", worst);
    return 0;
}
