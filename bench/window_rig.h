// What the benchmarks that drive the window share: the port wrapper that
// tells the host a simulated line's frame, the wait for the window's start,
// the commands timed through the window's own handlers, and the full image
// they program.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "Unit1.h"
#include "link/serial.h"

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

// What the benchmarks reach in the window beyond its controls: whether it
// has started and opened its port, the buffer they fill, and the port they
// let go at the end.
class WindowRig {
public:
    static bool StartupPending(const TForm1 &f) { return f.FirstShowPending; }
    static bool PortOpen(const TForm1 &f) { return f.session.Port.IsOpen(); }
    static void ClosePort(TForm1 &f) { f.session.Port.ClosePort(); }

    // Every program word and data byte written, none of them erased values.
    static void FillFullImage(TForm1 &f)
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
};

inline void WaitForStartup(TForm1 &f)
{
    f.show();
    QElapsedTimer t;
    t.start();
    while ((WindowRig::StartupPending(f) || f.findChild<QTimer *>("Timer1")->isActive()) && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::processEvents();
}

using Command = void (TForm1::*)();
struct WindowStep {
    const char *name;
    Command run;
};
inline const WindowStep WindowSteps[] = {
    {"PROG.", &TForm1::Button4Click}, {"VERIFY", &TForm1::Button7Click}, {"READ", &TForm1::Button3Click}};

