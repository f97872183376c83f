#include "link/serial.h"

#include <algorithm>
#include <chrono>

#include "link/WireTrace.h"
#include "support/textutil.h"

namespace {

// The port number is the decimal value of the name's 4th and 5th
// characters: "COM1" gives 1, "COM10" gives 10.
int64_t SteadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool PortNumberOf(const std::string &name, int &number)
{
    if (name.size() < 4) return false;
    std::string digits = name.substr(3, 2);
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    number = value;
    return true;
}

} // namespace

SerialPort::SerialPort(std::unique_ptr<SerialBackend> backend, PortPathResolver resolver)
    : backend_(std::move(backend)), resolver_(std::move(resolver))
{
}

SerialPort::~SerialPort()
{
    if (IsOpen()) backend_->Close();
}

void SerialPort::PurgeBoth()
{
    backend_->PurgeOutput();
    backend_->PurgeInput();
    backend_->ClearErrors();
}

int SerialPort::OpenPort(const std::string &name, const ModemOptions &modem)
{
    if (IsOpen()) backend_->Close();
    portName_.clear();
    portNumber_ = 0;
    lastError_.clear();
    lastOpenErrno_ = 0;
    roundTripMs_.reset();

    std::string path = resolver_ ? resolver_(name) : name;
    if (path.empty()) {
        lastError_ = name + ": no device is assigned to this port";
        return -1;
    }
    std::string error;
    if (!backend_->Open(path, error)) {
        lastError_ = error.empty() ? path + ": cannot be opened" : error;
        lastOpenErrno_ = backend_->LastOpenErrno();
        return -1;
    }
    int number = 0;
    if (!PortNumberOf(name, number)) {
        // Only a hand-edited settings file gets here; a port without a
        // number cannot be shown or chosen, so it does not stay open.
        backend_->Close();
        lastError_ = name + ": not a port name";
        return -1;
    }
    portName_ = name;
    portNumber_ = number;
    path_ = path;
    drained_ = quiet_ = false;
    closedQuietPath_.clear();
    if (trace_) trace_->Opened(name);
    // Kept until read: a probe of every port must not lose what the first
    // open said to the next one.
    if (std::string notice = backend_->TakeNotice(); !notice.empty()) notice_ = std::move(notice);

    PurgeBoth();
    backend_->ApplyLineSettings();
    backend_->SetTimeouts(DefaultTimeoutMs, DefaultTimeoutMs);
    if (modem.rtsGroupEnabled) {
        backend_->SetModemLine(ModemLine::RTS, modem.rtsOn);
        backend_->SetModemLine(ModemLine::DTR, modem.dtrOn);
        // The window's field holds at most four digits; a hand-edited
        // settings file must not stall every command for minutes.
        const int wait = modem.ctrlChecked ? std::clamp(modem.waitMs, 0, MaxModemWaitMs) : 1;
        if (trace_) trace_->LinesSet(modem.rtsOn, modem.dtrOn, wait);
        Pause(wait);
        PurgeBoth();
    }
    return 0;
}

int SerialPort::ClosePort()
{
    portNumber_ = 0;
    if (!IsOpen()) return -1;
    if (!backend_->IsValid()) {
        portName_.clear();
        if (trace_) trace_->Closed();
        return -2;
    }
    roundTripMs_ = backend_->RoundTripMs();
    if (!backend_->Close()) return -1;
    if (quiet_) closedQuietPath_ = path_;
    portName_.clear();
    if (trace_) trace_->Closed();
    return 0;
}

std::optional<double> SerialPort::LastRoundTripMs() const
{
    return IsOpen() ? backend_->RoundTripMs() : roundTripMs_;
}

int SerialPort::HeldBackMs() const
{
    if (!IsOpen()) return 0;
    const auto assumed = assumedHeldBack_.find(path_);
    return std::max({backend_->HeldBackMs(), assumed == assumedHeldBack_.end() ? 0 : assumed->second, 0});
}

bool SerialPort::AssumeHeldBack(int ms)
{
    if (!IsOpen() || ms <= HeldBackMs()) return false;
    assumedHeldBack_[path_] = ms;
    return true;
}

void SerialPort::SetReadTimeout(int ms)
{
    backend_->SetTimeouts(ms, DefaultTimeoutMs);
}

void SerialPort::ApplyModemLine(ModemLine line, bool on)
{
    if (!IsOpen()) return;
    backend_->SetModemLine(line, on);
    PurgeBoth();
}

void SerialPort::SetWaitService(std::function<void()> service)
{
    service_ = std::move(service);
    lastServiceNs_ = SteadyNowNs();
    if (service_)
        backend_->SetBetweenWaits([this] { ServiceIfDue(); });
    else
        backend_->SetBetweenWaits({});
}

void SerialPort::ServiceIfDue()
{
    if (!service_ || servicing_) return;
    const int64_t now = SteadyNowNs();
    if (now - lastServiceNs_ < int64_t{WaitSliceMs} * 1000000) return;
    servicing_ = true;
    // A copy: what the service runs may set another one.
    const std::function<void()> service = service_;
    service();
    servicing_ = false;
    lastServiceNs_ = SteadyNowNs();
}

size_t SerialPort::Write(const uint8_t *data, size_t n)
{
    if (!IsOpen() || n == 0) return 0;
    ServiceIfDue();
    const size_t done = backend_->Write(data, n);
    for (size_t i = 0; i < done; ++i)
        recent_[(written_ + i) % RecentSize] = data[i];
    written_ += done;
    if (done > 0) drained_ = quiet_ = false;
    if (trace_) trace_->Sent(data, done);
    return done;
}

size_t SerialPort::Read(uint8_t *data, size_t n)
{
    if (!IsOpen() || n == 0) return 0;
    ServiceIfDue();
    const size_t got = backend_->Read(data, n);
    lastReadSilent_ = got == 0;
    if (trace_) {
        trace_->Received(data, got);
        if (got < n) trace_->Flush();
    }
    return got;
}

std::vector<uint8_t> SerialPort::LastWritten(size_t n) const
{
    n = std::min<size_t>({n, RecentSize, static_cast<size_t>(written_)});
    std::vector<uint8_t> bytes;
    for (uint64_t i = written_ - n; i < written_; ++i)
        bytes.push_back(recent_[i % RecentSize]);
    return bytes;
}

void SerialPort::TrustQuietLine(const std::string &path)
{
    if (IsOpen() && path == path_) drained_ = true;
}

size_t SerialPort::DrainInput()
{
    if (!IsOpen() || drained_) return 0;
    drained_ = true;
    // Short reads until one comes back empty: the line has been quiet for a
    // whole read time-out. Bounded, so a programmer that never stops talking
    // cannot hold the command for ever.
    backend_->SetTimeouts(DrainQuietMs, DefaultTimeoutMs);
    uint8_t chunk[256];
    size_t total = 0;
    while (total < MaxDrainBytes) {
        const size_t got = backend_->Read(chunk, sizeof chunk);
        if (trace_) trace_->Received(chunk, got);
        if (got == 0) break;
        total += got;
    }
    backend_->SetTimeouts(DefaultTimeoutMs, DefaultTimeoutMs);
    return total;
}

void SerialPort::Pause(int ms)
{
    if (!service_) {
        backend_->Pause(ms);
        return;
    }
    // In slices that add up to ms: a simulator's clock advances by the same
    // total, and a long settle wait does not freeze the window.
    for (int left = ms; left > 0; left -= WaitSliceMs) {
        backend_->Pause(std::min(left, int{WaitSliceMs}));
        ServiceIfDue();
    }
}

