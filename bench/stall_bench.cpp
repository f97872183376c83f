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
#include "settings/settings.h"

namespace {

// The pseudo-terminal hides the line model from the host; a real adapter's
// latency timer is read from sysfs at open. This tells the host the frame of
// a usb line the same way, and passes everything else on.
class KnownLineBackend : public SerialBackend {
public:
    KnownLineBackend(std::unique_ptr<SerialBackend> inner, int heldBackMs)
        : inner_(std::move(inner)), heldBackMs_(heldBackMs)
    {
    }
    bool Open(const std::string &path, std::string &error) override { return inner_->Open(path, error); }
    int LastOpenErrno() const override { return inner_->LastOpenErrno(); }
    bool Close() override { return inner_->Close(); }
    bool IsValid() const override { return inner_->IsValid(); }
    void ApplyLineSettings() override { inner_->ApplyLineSettings(); }
    void SetTimeouts(int readMs, int writeMs) override { inner_->SetTimeouts(readMs, writeMs); }
    void SetModemLine(ModemLine line, bool on) override { inner_->SetModemLine(line, on); }
    void PurgeOutput() override { inner_->PurgeOutput(); }
    void PurgeInput() override { inner_->PurgeInput(); }
    void ClearErrors() override { inner_->ClearErrors(); }
    size_t Write(const uint8_t *data, size_t n) override { return inner_->Write(data, n); }
    size_t Read(uint8_t *data, size_t n) override { return inner_->Read(data, n); }
    void Pause(int ms) override { inner_->Pause(ms); }
    void SetBetweenWaits(std::function<void()> between) override { inner_->SetBetweenWaits(std::move(between)); }
    std::string TakeNotice() override { return inner_->TakeNotice(); }
    int HeldBackMs() const override { return heldBackMs_; }

private:
    std::unique_ptr<SerialBackend> inner_;
    int heldBackMs_;
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

void WaitForStartup(TForm1 &f)
{
    f.show();
    QElapsedTimer t;
    t.start();
    while ((f.FirstShowPending || f.findChild<QTimer *>("Timer1")->isActive()) && t.elapsed() < 10000)
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
        ok = f.session.Port.IsOpen();
        if (!ok) std::fprintf(stderr, "stall-bench: the window did not open %s\n", pty.c_str());
        if (ok) FillFullImage(f);
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
        for (const Step &s : Steps) {
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
        f.session.Port.ClosePort();
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
