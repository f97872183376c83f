// The operations wired to the in-process simulator, with a front end that
// records every text and can be set up like the window's options.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "FrontEnd.h"
#include "SimBackend.h"
#include "operations/operations.h"

class CountingProgress : public ProgressBar {
public:
    int maximum = -1, steps = 0, position = -1;
    std::vector<int> ranges; // every maximum set, in order
    void SetRange(int, int max) override
    {
        maximum = max;
        ranges.push_back(max);
    }
    void StepIt() override { ++steps; }
    void SetPosition(int p) override { position = p; }
};

struct LogLine {
    std::string text;
    bool showingMessages; // written after switching to the "Message" tab
};

class RecordingUi : public FrontEnd {
public:
    std::string status = "Message", dialogStatus;
    std::vector<LogLine> log;
    std::vector<std::string> boxes;
    std::vector<std::string> erasedCalibrationAsked; // texts of ConfirmErasedCalibration
    bool eraseErasedCalibration = true;              // its answer
    int redraws = 0;
    CountingProgress main, dialog;


    void SetStatus(const std::string &text) override { status = text; }
    void AddLog(const std::string &line) override { log.push_back({line, false}); }
    void AddLogShowingMessages(const std::string &line) override { log.push_back({line, true}); }
    void SetDialogStatus(const std::string &text) override { dialogStatus = text; }
    ProgressBar &MainProgress() override { return main; }
    ProgressBar &DialogProgress() override { return dialog; }
    void ShowMessage(const std::string &text) override { boxes.push_back(text); }
    void ProcessMessages() override {}
    void BufferChanged() override { ++redraws; }
    bool ConfirmErasedCalibration(const std::string &text) override
    {
        erasedCalibrationAsked.push_back(text);
        return eraseErasedCalibration;
    }

    std::vector<std::string> Texts() const
    {
        std::vector<std::string> t;
        for (const LogLine &l : log)
            t.push_back(l.text);
        return t;
    }
    bool Logged(const std::string &text) const
    {
        return std::any_of(log.begin(), log.end(), [&](const LogLine &l) { return l.text == text; });
    }
    bool LoggedShowing(const std::string &text) const
    {
        return std::any_of(log.begin(), log.end(),
                           [&](const LogLine &l) { return l.text == text && l.showingMessages; });
    }
};

inline bool IsPic18Name(const std::string &name)
{
    return name.rfind("PIC18", 0) == 0;
}

// A port on the simulated Tarnbox with chip options.chip in its socket, and
// the device list showing the row named selected (the chip's own by default).
struct Rig {
    SerialPort port;
    SimBackend &sim;
    TCommand cmd;
    MemoryBuffer buffer;
    RecordingUi ui;
    OperationContext ctx{port, cmd, buffer, ui};

    explicit Rig(SimOptions options, std::string selected = {}, bool open = true)
        : port(std::make_unique<SimBackend>(options)), sim(static_cast<SimBackend &>(port.Backend()))
    {
        if (selected.empty()) selected = options.chip;
        Select(selected);
        if (open) port.OpenPort("COM1");
        sim.ClearTrace();
    }
    explicit Rig(const std::string &chip) : Rig(Options(chip)) {}

    static SimOptions Options(const std::string &chip)
    {
        SimOptions o;
        o.chip = chip;
        return o;
    }

    void Select(const std::string &name)
    {
        ctx.device.Pic18 = IsPic18Name(name);
        ctx.device.Index = FindDevice(name);
        if (ctx.device.Pic18)
            buffer.Clear(Row18());
        else
            buffer.Clear(Row());
    }
    const TDeviceSpec &Row() const { return DeviceTable[static_cast<size_t>(ctx.device.Index)]; }
    const TDeviceSpec18 &Row18() const { return DeviceTable18[static_cast<size_t>(ctx.device.Index)]; }
};

// One command as the host sent it: code and the bytes that belong to it.
struct HostCommand {
    uint8_t code;
    std::vector<uint8_t> args;
    size_t end = 0; // host bytes sent up to and including this command
    uint16_t Word(size_t i) const { return static_cast<uint16_t>(args[i] | (args[i + 1] << 8)); }
};

// Splits the host's byte stream into commands, the way the firmware counts
// their bytes (a row-write code the firmware does not know is a lone byte).
inline std::vector<HostCommand> Decode(const std::vector<uint8_t> &bytes,
                                       RowWriteForms forms = RowWriteForms::Both)
{
    const bool knows08 = forms == RowWriteForms::Both || forms == RowWriteForms::Row08;
    const bool knows15 = forms == RowWriteForms::Both || forms == RowWriteForms::Row15;
    std::vector<HostCommand> out;
    for (size_t i = 0; i < bytes.size();) {
        HostCommand c{bytes[i], {}};
        const size_t n =
            (c.code == 0x08 && knows08) || (c.code == 0x15 && knows15)
                ? 13
                : static_cast<size_t>(c.code == 0x08 || c.code == 0x15 ? 0 : CommandArgumentCount(c.code));
        for (size_t k = 1; k <= n && i + k < bytes.size(); ++k)
            c.args.push_back(bytes[i + k]);
        i += 1 + n;
        c.end = std::min(i, bytes.size());
        out.push_back(std::move(c));
    }
    return out;
}

// The commands sent inside each programming-mode entry, in order.
inline std::vector<std::vector<HostCommand>> Entries(const std::vector<HostCommand> &commands)
{
    std::vector<std::vector<HostCommand>> entries;
    bool inside = false;
    for (const HostCommand &c : commands) {
        const bool control = c.code == 0x00 && !c.args.empty();
        if (control && (c.args[0] == 1 || c.args[0] == 3)) {
            entries.emplace_back();
            inside = true;
        } else if (control && (c.args[0] == 2 || c.args[0] == 4)) {
            inside = false;
        } else if (inside) {
            entries.back().push_back(c);
        }
    }
    return entries;
}

inline std::vector<uint8_t> Codes(const std::vector<HostCommand> &commands)
{
    std::vector<uint8_t> codes;
    for (const HostCommand &c : commands)
        codes.push_back(c.code);
    return codes;
}

// A random image inside the device's regions and writable bits. The word
// holding the oscillator calibration keeps the buffer's blank value.
inline void FillRandom(MemoryBuffer &buffer, const TDeviceSpec &d, std::mt19937 &rng)
{
    buffer.Clear(d);
    const bool calibLast = d.CalibAddress1 != 0 && d.CalibAddress1 < 0x1000;
    const uint32_t n = d.ProgramSize - (calibLast ? 1 : 0);
    // Runs of blank words between used ones exercise the skipping.
    for (uint32_t k = 0; k < n; ++k)
        buffer.Words[k] = (k / 40) % 3 == 1 ? d.BlankWord : static_cast<uint16_t>(rng() & d.BlankWord);
    for (uint32_t i = 0; i < d.EEDataSize; ++i)
        buffer.Words[EEDataAreaStart + i] = static_cast<uint16_t>(rng() & 0xFF);
    for (uint32_t i = 0; i < 4; ++i)
        buffer.Words[d.UserIdAddress + i] = static_cast<uint16_t>(rng() & 0xF);
    const uint32_t c1 = d.Is12Bit() ? Config12BitWord : d.ConfigAddress1;
    buffer.Words[c1] = static_cast<uint16_t>((rng() & d.ConfigMask1) | (d.BlankWord & ~d.ConfigMask1));
    if (d.ConfigAddress2) buffer.Words[d.ConfigAddress2] = static_cast<uint16_t>(rng() & d.ConfigMask2);
}

inline void FillRandom(MemoryBuffer &buffer, const TDeviceSpec18 &d, std::mt19937 &rng)
{
    buffer.Clear(d);
    for (uint32_t i = 0; i < d.ProgramSize; ++i)
        buffer.Program18[i] = (i / 512) % 3 == 1 ? 0xFF : static_cast<uint8_t>(rng());
    for (uint8_t &b : buffer.EEData18)
        b = static_cast<uint8_t>(rng());
    for (size_t i = 0; i < 8; ++i)
        buffer.Id18[i] = static_cast<uint8_t>(rng());
    for (size_t i = 0; i < 14; ++i)
        buffer.Config18[i] = static_cast<uint8_t>(rng() & d.ConfigMask[i]);
}
