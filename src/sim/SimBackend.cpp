#include "SimBackend.h"

#include <algorithm>
#include <stdexcept>

SimBackend::SimBackend(SimOptions options) : options_(std::move(options))
{
    std::string error;
    chip_ = MakeSimChip(options_.chip, error, options_.revision);
    if (!chip_) throw std::invalid_argument(error);
    if (!options_.hexFile.empty() && !LoadHexIntoChip(*chip_, options_.hexFile, error))
        throw std::invalid_argument(error);
    if (!options_.calibration.empty()) chip_->SetCalibration(options_.calibration);
    chip_->ModelProtection(options_.codeProtection);
    FirmwareOptions fw;
    fw.rowWrite = options_.firmware;
    fw.pic18 = options_.pic18;
    fw.versionText = options_.versionText;
    fw.versionPad = options_.versionPad;
    fw.silent = options_.silent;
    fw.faults = options_.faults;
    firmware_ = std::make_unique<TarnboxFirmware>(*chip_, fw);
    const SimShaping shaping{options_.chunkMax, options_.jitterMs, options_.slowReplyEvery, options_.seed};
    if (!CheckSimShaping(shaping, error)) throw std::invalid_argument(error);
    if (shaping.Any()) shaper_.emplace(shaping, SimByteTime);
}

bool SimBackend::Open(const std::string &path, std::string &error)
{
    if (options_.openFails) {
        error = path + ": No such file or directory";
        return false;
    }
    open_ = true;
    path_ = path;
    ++opens_;
    return true;
}

bool SimBackend::Close()
{
    if (!open_) return false;
    open_ = false;
    return true;
}

void SimBackend::ApplyLineSettings()
{
    rts_ = dtr_ = false;
}

void SimBackend::SetTimeouts(int readMs, int)
{
    readTimeoutMs_ = readMs;
}

void SimBackend::SetModemLine(ModemLine line, bool on)
{
    (line == ModemLine::RTS ? rts_ : dtr_) = on;
}

void SimBackend::PurgeInput()
{
    // Bytes that have already arrived are discarded; those still on the wire
    // arrive afterwards, as on a real port.
    auto &out = firmware_->Output();
    while (!out.empty() && options_.line.ToHost(out.front().time) <= now_)
        out.pop_front();
}

size_t SimBackend::Write(const uint8_t *data, size_t n)
{
    if (!open_ || firmware_->HungUp()) return 0;
    for (size_t i = 0; i < n; ++i) {
        SimTime start = std::max(now_, hostLineFree_);
        SimTime arrival = 0;
        if (options_.line.kind == LineKind::Pty) {
            hostLineFree_ = start + SimByteTime;
            arrival = options_.echoOverlap ? start : hostLineFree_;
        } else {
            arrival = options_.line.ToBoard(now_, hostLineFree_);
            start = arrival - SimByteTime;
        }
        trace_.push_back({start, true, data[i]});
        const size_t before = firmware_->Output().size();
        firmware_->Receive(data[i], arrival);
        auto &out = firmware_->Output();
        if (shaper_) shaper_->Shape(out, before, firmware_->InVersionQuery());
        for (size_t k = before; k < out.size(); ++k)
            trace_.push_back({out[k].time, false, out[k].value});
    }
    if (n > 0) wroteSinceRead_ = true;
    return n;
}

size_t SimBackend::Read(uint8_t *data, size_t n)
{
    if (!open_) return 0;
    auto &out = firmware_->Output();
    const SimTime deadline = now_ + static_cast<SimTime>(readTimeoutMs_) * 1000000;
    size_t got = 0;
    if (wroteSinceRead_ && n > 0 && (out.empty() || options_.line.ToHost(out.front().time) > now_)) ++roundTrips_;
    wroteSinceRead_ = false;
    while (got < n && !out.empty() && options_.line.ToHost(out.front().time) <= deadline) {
        data[got++] = out.front().value;
        now_ = std::max(now_, options_.line.ToHost(out.front().time));
        out.pop_front();
    }
    // A board that has hung up ends the read at once with what was there.
    if (got < n && !firmware_->HungUp()) now_ = deadline;
    return got;
}

void SimBackend::Pause(int ms)
{
    if (ms > 0) now_ += static_cast<SimTime>(ms) * 1000000;
}

Pic16Chip &SimBackend::Pic16()
{
    auto *chip = dynamic_cast<Pic16Chip *>(chip_.get());
    if (!chip) throw std::logic_error("the simulated chip is not a PIC10/12/16 part");
    return *chip;
}

Pic18Chip &SimBackend::Pic18()
{
    auto *chip = dynamic_cast<Pic18Chip *>(chip_.get());
    if (!chip) throw std::logic_error("the simulated chip is not a PIC18 part");
    return *chip;
}

bool SimBackend::LoadHex(const std::string &path, std::string *error)
{
    std::string message;
    const bool ok = LoadHexIntoChip(*chip_, path, message);
    if (error) *error = message;
    return ok;
}

std::vector<uint8_t> SimBackend::HostBytes() const
{
    std::vector<uint8_t> bytes;
    for (const TraceEntry &e : trace_)
        if (e.fromHost) bytes.push_back(e.value);
    return bytes;
}

std::vector<uint8_t> SimBackend::DeviceBytes() const
{
    std::vector<uint8_t> bytes;
    for (const TraceEntry &e : trace_)
        if (!e.fromHost) bytes.push_back(e.value);
    return bytes;
}
