#include "SimFirmware.h"

#include <algorithm>
#include <cstdint>

namespace {

// Firmware time to take a byte from the UART and act on it.
constexpr SimTime HandlingTime = 20000;
// Sequencing VPP and VDD into or out of programming mode.
constexpr uint32_t ModeSwitchWait = 5;
// A data-EEPROM write of a PIC18 is self-timed; the firmware polls for its end.
constexpr uint32_t Pic18EepromWriteWait = 40;

// The handshake commands echo every argument byte; the block commands take
// their payload in one run and answer with a checksum.
bool EchoesArguments(uint8_t code)
{
    return code == 0x00 || code == 0x01 || (code >= 0x03 && code <= 0x07);
}

} // namespace

int CommandArgumentCount(uint8_t code)
{
    switch (code) {
    case 0x00:
    case 0x01:
    case 0x02:
    case 0x0A:
    case 0x0F:
    case 0x10:
        return 1;
    case 0x03:
    case 0x0C:
    case 0x0E:
        return 2;
    case 0x04:
    case 0x05:
    case 0x06:
    case 0x07:
    case 0x0B:
        return 3;
    case 0x09:
        return 5;
    case 0x0D:
        return 9;
    case 0x08:
    case 0x15:
        return 13;
    default:
        return 0;
    }
}

bool ParseFault(const std::string &text, SimFault &fault, std::string &error)
{
    const auto eq = text.find('=');
    const std::string kind = text.substr(0, eq);
    static const std::pair<const char *, FaultKind> kinds[] = {
        {"silent-after", FaultKind::SilentAfter}, {"drop", FaultKind::Drop},
        {"bad-echo", FaultKind::BadEcho},         {"bad-sum", FaultKind::BadSum},
        {"hangup-after", FaultKind::HangupAfter},
    };
    fault.kind = FaultKind::None;
    for (const auto &[name, k] : kinds)
        if (kind == name) fault.kind = k;
    if (fault.kind == FaultKind::None || eq == std::string::npos || eq + 1 >= text.size()) {
        error = "bad fault '" + text + "' (silent-after=N, drop=N, bad-echo=N, bad-sum=N or hangup-after=N)";
        return false;
    }
    const std::string number = text.substr(eq + 1);
    if (!std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        number.size() > 18) {
        error = "bad fault count in '" + text + "'";
        return false;
    }
    fault.count = std::stoull(number);
    return true;
}

TarnboxFirmware::TarnboxFirmware(SimChip &chip, FirmwareOptions options)
    : chip_(chip), options_(std::move(options))
{
}

bool TarnboxFirmware::Knows(uint8_t code) const
{
    if (code <= 0x07) return true;
    if (code == 0x08)
        return options_.rowWrite == RowWriteForms::Both || options_.rowWrite == RowWriteForms::Row08;
    if (code == 0x15)
        return options_.rowWrite == RowWriteForms::Both || options_.rowWrite == RowWriteForms::Row15;
    if (code >= 0x09 && code <= 0x10) return options_.pic18;
    return false;
}

bool TarnboxFirmware::FaultDue(FaultKind kind, bool &used) const
{
    if (used) return false;
    for (const SimFault &f : options_.faults)
        if (f.kind == kind && received_ >= f.count) {
            used = true;
            return true;
        }
    return false;
}

void TarnboxFirmware::StartStream(uint8_t code, uint8_t readCommand, int units)
{
    streamCode_ = code;
    streamRead_ = readCommand;
    streamLeft_ = units;
    if (!options_.piecewiseStreams)
        while (Streaming())
            ContinueStream(SIZE_MAX);
}

void TarnboxFirmware::ContinueStream(size_t maxBytes)
{
    const size_t unit = streamCode_ == 0x07 ? 2 : 1;
    for (size_t made = 0; streamLeft_ > 0 && (made == 0 || made + unit <= maxBytes); made += unit, --streamLeft_) {
        switch (streamCode_) {
        case 0x07: {
            // Read, send the word low byte first, increment.
            const uint16_t v = chip_.IcspRead(streamRead_);
            Emit(static_cast<uint8_t>(v));
            Emit(static_cast<uint8_t>(v >> 8));
            chip_.IcspCommand(6);
            break;
        }
        case 0x0C:
            Emit(chip_.TableReadPostIncrement());
            break;
        default:
            Emit(chip_.EepromReadPostIncrement());
            break;
        }
    }
}

void TarnboxFirmware::Receive(uint8_t byte, SimTime arrival)
{
    while (Streaming())
        ContinueStream(SIZE_MAX);
    ++received_;
    versionQuery_ = false;
    if (hungUp_) return;
    for (const SimFault &f : options_.faults) {
        if (f.kind == FaultKind::HangupAfter && received_ > f.count) {
            hungUp_ = true;
            return;
        }
        if (f.kind == FaultKind::SilentAfter && received_ > f.count) return;
        if (f.kind == FaultKind::Drop && received_ == f.count) {
            if (faultByte_ == 0) faultByte_ = received_;
            return;
        }
    }
    if (options_.silent) return;
    now_ = std::max(arrival, busyUntil_) + HandlingTime;
    Process(byte);
    busyUntil_ = std::max(busyUntil_, now_);
}

void TarnboxFirmware::Emit(uint8_t value)
{
    const SimTime start = std::max(now_, lineFree_);
    lineFree_ = start + SimByteTime;
    output_.push_back({lineFree_, value});
}

void TarnboxFirmware::Echo(uint8_t value)
{
    bool used = badEchoUsed_;
    if (FaultDue(FaultKind::BadEcho, used)) {
        value = static_cast<uint8_t>(value ^ 0xFF);
        if (faultByte_ == 0) faultByte_ = received_;
    }
    badEchoUsed_ = used;
    Emit(value);
}

void TarnboxFirmware::Checksum()
{
    uint8_t sum = 0;
    for (uint8_t b : args_)
        sum = static_cast<uint8_t>(sum + b);
    bool used = badSumUsed_;
    if (FaultDue(FaultKind::BadSum, used)) {
        sum = static_cast<uint8_t>(sum + 1);
        if (faultByte_ == 0) faultByte_ = received_;
    }
    badSumUsed_ = used;
    Emit(sum);
}

void TarnboxFirmware::Wait(uint32_t tenthsOfMs)
{
    now_ += static_cast<SimTime>(tenthsOfMs) * SimWaitUnit;
}

void TarnboxFirmware::Process(uint8_t byte)
{
    if (code_ < 0) {
        // Unknown codes are not answered: the host sees a missing echo.
        if (!Knows(byte)) return;
        code_ = byte;
        codeAt_ = received_;
        versionQuery_ = byte == 0x00;
        args_.clear();
        Echo(byte);
        return;
    }
    args_.push_back(byte);
    versionQuery_ = code_ == 0x00 && byte == 0;
    if (EchoesArguments(static_cast<uint8_t>(code_))) Echo(byte);
    if (static_cast<int>(args_.size()) == CommandArgumentCount(static_cast<uint8_t>(code_))) {
        if (journal_) journal_->push_back({codeAt_, received_, static_cast<uint8_t>(code_), args_});
        Execute();
        code_ = -1;
    }
}

// 0x00: the version query, or a change of the programming voltages.
void TarnboxFirmware::Control(uint8_t subCode)
{
    switch (subCode) {
    case 0:
        SendVersion();
        break;
    case 1: // VDD then VPP
    case 3: // VPP before VDD, for parts whose pins may be configured away
        chip_.EnterProgramMode(subCode);
        Wait(ModeSwitchWait);
        break;
    case 2:
    case 4:
        chip_.ExitProgramMode();
        Wait(ModeSwitchWait);
        break;
    default:
        break;
    }
}

void TarnboxFirmware::SendVersion()
{
    // Never more than the host reads: a byte past the 32 would be taken for
    // the echo of its next command.
    const std::string &text = options_.versionText;
    const size_t shown = std::min(text.size(), VersionReplySize);
    for (size_t i = 0; i < shown; ++i)
        Emit(static_cast<uint8_t>(text[i]));
    if (shown == VersionReplySize) return;
    Emit(0);
    if (options_.versionPad)
        for (size_t n = shown + 1; n < VersionReplySize; ++n)
            Emit(*options_.versionPad);
}

// 0x0A: 0 the firmware generation, 1 the row-write codes known (bit 0 0x08,
// bit 1 0x15), 2 PIC18 support. Anything else reads 0.
uint8_t TarnboxFirmware::Capability(uint8_t query) const
{
    if (query == 0 || query == 2) return 1;
    if (query == 1) return static_cast<uint8_t>((Knows(0x08) ? 1 : 0) | (Knows(0x15) ? 2 : 0));
    return 0;
}

// 0x08 and 0x15: four words, each loaded, and when the word's index within
// the block has all bits of the word-count byte set, a programming cycle;
// then an increment. Count byte 0 programs each word, 1 pairs, 3 groups of
// four, 7 all eight.
void TarnboxFirmware::RowWrite()
{
    const std::vector<uint8_t> &a = args_;
    const uint8_t load = a[0], begin = a[1], end = a[2], time = a[3], mask = a[4];
    for (int i = 0; i < 4; ++i) {
        chip_.IcspLoad(load, ArgumentWord(5 + 2 * i));
        if ((i & mask) == mask) {
            chip_.IcspCommand(begin);
            Wait(time);
            if (end) chip_.IcspCommand(end);
        }
        chip_.IcspCommand(6);
    }
}

// 0x0D: three or four table writes with post-increment; a non-zero time
// makes the last one start programming, held for that time.
void TarnboxFirmware::Pic18TableWrite()
{
    const uint8_t time = args_[0];
    for (int j = 0; j < 4; ++j) {
        const uint16_t w = ArgumentWord(1 + 2 * j);
        if (j == 3 && time != 0) {
            chip_.Pic18Instruction(0xF, w, 0);
            chip_.Pic18Instruction(0x0, 0x0000, 2);
            Wait(time);
        } else {
            chip_.Pic18Instruction(0xD, w, 0);
        }
    }
}

uint16_t TarnboxFirmware::ArgumentWord(size_t index) const
{
    return static_cast<uint16_t>(args_[index] | (args_[index + 1] << 8));
}

void TarnboxFirmware::Execute()
{
    const std::vector<uint8_t> &a = args_;
    switch (code_) {
    case 0x00:
        Control(a[0]);
        break;
    case 0x01:
        chip_.IcspCommand(a[0]);
        break;
    case 0x02: {
        const uint16_t v = chip_.IcspRead(a[0]);
        Echo(a[0]);
        Emit(static_cast<uint8_t>(v));
        Emit(static_cast<uint8_t>(v >> 8));
        break;
    }
    case 0x03:
        chip_.IcspCommand(a[0]);
        Wait(a[1]);
        break;
    case 0x04:
        chip_.IcspLoad(a[0], ArgumentWord(1));
        break;
    case 0x05:
        chip_.IcspCommand(a[0]);
        Wait(a[2]);
        chip_.IcspCommand(a[1]);
        break;
    case 0x06:
        for (uint16_t n = ArgumentWord(1); n > 0; --n)
            chip_.IcspCommand(a[0]);
        break;
    case 0x07:
        StartStream(0x07, a[0], ArgumentWord(1));
        break;
    case 0x08:
    case 0x15:
        Checksum();
        RowWrite();
        break;
    case 0x09:
        Checksum();
        chip_.Pic18Instruction(a[0] & 0x0F, ArgumentWord(1), a[4]);
        if (a[4] != 0) Wait(a[3]);
        break;
    case 0x0A:
        Emit(Capability(a[0]));
        break;
    case 0x0B:
        Checksum();
        chip_.SetTablePointer(a[0] | (a[1] << 8) | (a[2] << 16));
        break;
    case 0x0C:
        StartStream(0x0C, 0, ArgumentWord(0));
        break;
    case 0x0D:
        Checksum();
        Pic18TableWrite();
        break;
    case 0x0E:
        Checksum();
        chip_.SetEepromAddress(ArgumentWord(0));
        break;
    case 0x0F:
        StartStream(0x0F, 0, a[0] ? a[0] : 256);
        break;
    case 0x10: {
        // The echo is the cell read back after the write, so a write that
        // did not take is seen by the host.
        const uint8_t back = chip_.EepromWritePostIncrement(a[0]);
        Wait(Pic18EepromWriteWait);
        Echo(back);
        break;
    }
    default:
        break;
    }
}
