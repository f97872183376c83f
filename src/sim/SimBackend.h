// The simulated Tarnbox as a serial backend, in-process and on a virtual
// clock: a read that times out moves the clock on instead of sleeping, a
// pause moves it too, and bytes take their wire time at 38400 baud.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SimChip.h"
#include "SimFirmware.h"
#include "SimLine.h"
#include "SimShaping.h"
#include "link/serial.h"

struct SimOptions {
    std::string chip = "PIC16F877A"; // catalogue name, case ignored; "none" = empty socket
    RowWriteForms firmware = RowWriteForms::Both;
    bool pic18 = true;
    std::string versionText = DefaultVersionText;
    bool silent = false;
    std::vector<SimFault> faults{};
    std::vector<uint16_t> calibration{}; // slot 1, slot 2; empty keeps the part's factory values
    uint8_t revision = 2;                // silicon revision in the DEVICE-ID
    std::string hexFile{};               // initial contents
    // Protected memories read as zeros (SimChip::Protection); off by default
    // here, where tests program configuration patterns of every kind.
    bool codeProtection = false;
    bool openFails = false;              // the device node cannot be opened
    // Host bytes reach the board when they start on the wire, not a byte
    // time later, so that a byte and its echo overlap as they do under
    // tarnbox-sim --pace: the fastest a full-duplex exchange can go.
    bool echoOverlap = false;
    // The line between host and board; pty keeps the timing above.
    SimLine line{};
    // The version reply filled up to 32 bytes with this byte after its NUL.
    std::optional<uint8_t> versionPad{};
    // How replies reach the host beyond their wire time (SimShaping.h):
    // packets of 1..chunkMax bytes (0 = off, at most 64), each burst up to
    // jitterMs late (at most 100), every slowReplyEvery-th burst held 150 ms
    // (0 = off), all drawn from seed.
    int chunkMax = 0;
    int jitterMs = 0;
    int slowReplyEvery = 0;
    uint64_t seed = DefaultSimSeed;
    // Whether HeldBackMs tells the host a usb line's frame. false: an
    // adapter that holds bytes back without saying so (CH340, PL2303, a
    // pty bridge, a network serial server).
    bool reportsLatency = true;
};

struct TraceEntry {
    SimTime time; // virtual nanoseconds: host bytes when sent, board bytes when arrived
    bool fromHost;
    uint8_t value;
};

class SimBackend : public SerialBackend {
public:
    // Throws std::invalid_argument for an unknown chip, an unreadable HEX
    // file or shaping out of its ranges.
    explicit SimBackend(SimOptions options = {});

    bool Open(const std::string &path, std::string &error) override;
    bool Close() override;
    bool IsValid() const override { return open_; }
    void ApplyLineSettings() override;
    void SetTimeouts(int readMs, int writeMs) override;
    void SetModemLine(ModemLine line, bool on) override;
    void PurgeOutput() override {}
    void PurgeInput() override;
    void ClearErrors() override {}
    size_t Write(const uint8_t *data, size_t n) override;
    size_t Read(uint8_t *data, size_t n) override;
    void Pause(int ms) override;
    // A usb line holds bytes back for its frame, as the adapter's timer does.
    int HeldBackMs() const override
    {
        return options_.reportsLatency ? static_cast<int>(options_.line.frame / 1000000) : 0;
    }

    SimChip &Chip() { return *chip_; }
    Pic16Chip &Pic16();
    Pic18Chip &Pic18();
    TarnboxFirmware &Firmware() { return *firmware_; }
    void SetCalibration(const std::vector<uint16_t> &values) { chip_->SetCalibration(values); }
    // False with error filled when the file cannot be read or is malformed.
    bool LoadHex(const std::string &path, std::string *error = nullptr);

    SimTime Now() const { return now_; }
    double NowMs() const { return static_cast<double>(now_) / 1e6; }
    const std::vector<TraceEntry> &Trace() const { return trace_; }
    std::vector<uint8_t> HostBytes() const;   // every byte the host sent, in order
    std::vector<uint8_t> DeviceBytes() const; // every byte the board sent, in order
    void ClearTrace() { trace_.clear(); }

    const std::string &OpenedPath() const { return path_; }
    int ReadTimeoutMs() const { return readTimeoutMs_; }
    bool Rts() const { return rts_; }
    bool Dtr() const { return dtr_; }
    int Opens() const { return opens_; }
    // Exchanges: reads that had to wait for the board after the host wrote.
    uint64_t RoundTrips() const { return roundTrips_; }
    void ResetRoundTrips() { roundTrips_ = 0; }

private:
    SimOptions options_;
    std::unique_ptr<SimChip> chip_;
    std::unique_ptr<TarnboxFirmware> firmware_;
    std::optional<ReplyShaper> shaper_; // only while some shaping is asked for
    bool open_ = false;
    std::string path_;
    int opens_ = 0;
    int readTimeoutMs_ = 200;
    bool rts_ = false, dtr_ = false;
    SimTime now_ = 0;
    SimTime hostLineFree_ = 0;
    bool wroteSinceRead_ = false;
    uint64_t roundTrips_ = 0;
    std::vector<TraceEntry> trace_;
};
