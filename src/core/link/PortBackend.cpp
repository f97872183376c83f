// The backend a port name's path calls for, chosen at each open: the same
// port record (a COM name of the settings' map, the command line's -p) may
// lead to a tty one time and to a server on another machine the next.
#include "link/NetworkSerial.h"
#include "link/serial.h"

namespace {

class PortBackend : public SerialBackend {
public:
    PortBackend() : tty_(MakeTtySerialBackend()), network_(MakeNetworkSerialBackend()), open_(tty_.get()) {}

    bool Open(const std::string &path, std::string &error) override
    {
        if (open_->IsValid()) open_->Close();
        open_ = IsNetworkPortPath(path) ? network_.get() : tty_.get();
        return open_->Open(path, error);
    }
    int LastOpenErrno() const override { return open_->LastOpenErrno(); }
    bool Close() override { return open_->Close(); }
    bool IsValid() const override { return open_->IsValid(); }
    void ApplyLineSettings() override { open_->ApplyLineSettings(); }
    // Set before an open as after it: both backends keep them.
    void SetTimeouts(int readMs, int writeMs) override
    {
        tty_->SetTimeouts(readMs, writeMs);
        network_->SetTimeouts(readMs, writeMs);
    }
    void SetModemLine(ModemLine line, bool on) override { open_->SetModemLine(line, on); }
    void PurgeOutput() override { open_->PurgeOutput(); }
    void PurgeInput() override { open_->PurgeInput(); }
    void ClearErrors() override { open_->ClearErrors(); }
    size_t Write(const uint8_t *data, size_t n) override { return open_->Write(data, n); }
    size_t Read(uint8_t *data, size_t n) override { return open_->Read(data, n); }
    void Pause(int ms) override { open_->Pause(ms); }
    void SetBetweenWaits(std::function<void()> between) override
    {
        tty_->SetBetweenWaits(between);
        network_->SetBetweenWaits(std::move(between));
    }
    std::string TakeNotice() override { return open_->TakeNotice(); }
    int HeldBackMs() const override { return open_->HeldBackMs(); }
    std::optional<double> RoundTripMs() const override { return open_->RoundTripMs(); }

private:
    std::unique_ptr<SerialBackend> tty_, network_;
    SerialBackend *open_;
};

} // namespace

std::unique_ptr<SerialBackend> MakePosixSerialBackend()
{
    return std::make_unique<PortBackend>();
}
