// What the benchmarks that drive the window share: the port wrapper that
// tells the host a simulated line's frame, the wait for the window's start,
// and the commands timed through the window's own handlers.
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

inline void WaitForStartup(TForm1 &f)
{
    f.show();
    QElapsedTimer t;
    t.start();
    while ((f.FirstShowPending || f.findChild<QTimer *>("Timer1")->isActive()) && t.elapsed() < 10000)
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

