#define TARNVIK_OPERATIONS_INTERNAL
#include <algorithm>
#include <chrono>

#include "operations/detail.h"

void Wire::Enter(int entryMode)
{
    if (!Send([&] { EnterProgramMode(link_, entryMode); })) return;
    // Even an unconfirmed entry may have switched the chip on; Abandon then
    // still switches it off.
    inProgramMode_ = true;
    entryMode_ = entryMode;
}

void Wire::Exit(int entryMode)
{
    Send([&] { ExitProgramMode(link_, entryMode); });
    if (!failed_) inProgramMode_ = false;
}

void Wire::Fail(LinkFault fault)
{
    failed_ = true;
    failedSilent_ = fault == LinkFault::Silent;
    Note(fault);
}

bool Wire::FinishFailedCommand()
{
    // The programmer took every byte of the failed command that was written,
    // or, when it fell silent, perhaps all but the last. Whichever it was,
    // the same filler finishes the command: a surplus filler byte is an
    // unknown code the firmware ignores.
    const std::vector<uint8_t> &all = lastCommand_;
    auto fill = HarmlessCompletion(all);
    if (failedSilent_ && !all.empty()) {
        const auto shorter = HarmlessCompletion(std::vector<uint8_t>(all.begin(), all.end() - 1));
        const auto uniform = [](const std::vector<uint8_t> &bytes) {
            return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == HarmlessFiller; });
        };
        if (!fill || !shorter || !uniform(*fill) || !uniform(*shorter)) return false;
        if (shorter->size() > fill->size()) fill = shorter;
    }
    if (!fill) return false;
    if (!fill->empty()) link_.port.Write(fill->data(), fill->size());
    // Drop what the programmer still sends: late echoes, a finished read's
    // data, the rest of a stream, until it has been quiet for a whole read
    // time-out. Byte by byte, so each byte is taken when it comes: a read of
    // many would wait out the time-out for the last few, and a wire trace
    // would show them that late, too late for a replay of the session to
    // answer in time. Bounded, so a babbling line cannot hold the command
    // for ever.
    constexpr size_t MaxDropped = 128 * 1024;
    const auto until =
        std::chrono::steady_clock::now() + 2048 * std::chrono::milliseconds(SerialPort::DefaultTimeoutMs);
    uint8_t sink = 0;
    for (size_t dropped = 0; dropped < MaxDropped && link_.port.Read(&sink, 1) == 1; ++dropped)
        if (std::chrono::steady_clock::now() > until) break;
    return true;
}

bool Wire::Abandon()
{
    if (!failed_) {
        if (inProgramMode_) Exit(entryMode_);
        return !failed_ || Abandon();
    }
    if (wedged_) return false;
    bool known = FinishFailedCommand();
    if (known && inProgramMode_) {
        ExitProgramMode(link_, entryMode_);
        known = link_.cmd.Status == StatusOk;
    }
    if (known) inProgramMode_ = false;
    wedged_ = !known;
    return known;
}

int Wire::RowWriteForm()
{
    if (failed_) return -1;
    const uint64_t before = link_.port.BytesWritten();
    const int form = DetectRowWriteForm(link_);
    const size_t written = static_cast<size_t>(link_.port.BytesWritten() - before);
    if (form < 0) {
        // The test block and its code are the command the firmware may hold.
        lastCommand_ = link_.port.LastWritten(std::min<size_t>(written, 14));
        // The code was echoed; the test block's checksum was missing or wrong.
        Fail(FaultOf(StatusBadReply, link_.port.LastReadSilent()));
    }
    return form;
}

void Wire::Inc()
{
    Send([&] { IncAddress(link_); });
}

void Wire::IncBy(int n)
{
    // One command per 2048 steps, as IncAddressBy sends them, each checked.
    while (n > 0 && !failed_) {
        const int step = n >= 2048 ? 2048 : n;
        Send([&] { IncAddressBy(link_, step); });
        n -= step;
    }
}

void Wire::Advance(int n)
{
    if (n == 1)
        Inc();
    else if (n > 1)
        IncBy(n);
}

void Wire::LoadConf(uint16_t word)
{
    Send([&] { LoadConfig(link_, word); });
}

void Wire::LoadWord(uint16_t word)
{
    Send([&] { LoadProgramWord(link_, word); });
}

void Wire::LoadData(uint16_t word)
{
    Send([&] { LoadDataWord(link_, word); });
}

uint16_t Wire::ReadWord()
{
    uint16_t word = 0;
    Send([&] { word = ReadProgramWord(link_); });
    return word;
}

void Wire::Cycle(int selector, uint8_t wait)
{
    Send([&] { ProgrammingCycle(link_, selector, wait); });
}

void Wire::Icsp(uint8_t command)
{
    Send([&] { SendIcsp(link_, command); });
}

void Wire::IcspTimed(uint8_t command, uint8_t time)
{
    Send([&] { SendIcspTimed(link_, command, time); });
}

void Wire::Row(int form, int selector, uint8_t wait, int latchCount, const std::array<uint16_t, 8> &words)
{
    // Plain copies rather than structured bindings: clang 14, which builds the
    // fuzzers, cannot capture structured bindings in a lambda.
    const auto pair = RowWritePair(selector);
    const auto begin = pair.first, end = pair.second;
    for (int block = 0; block < 2; ++block) {
        Send([&] {
            auto &a = link_.cmd.Args;
            a[0] = 2; // Load Data for Program Memory
            a[1] = begin;
            a[2] = end;
            a[3] = wait;
            a[4] = static_cast<uint8_t>(block == 1 && latchCount == 8 ? 3 : latchCount - 1);
            for (int i = 0; i < 4; ++i) {
                const uint16_t w = words[static_cast<size_t>(4 * block + i)];
                a[static_cast<size_t>(5 + 2 * i)] = static_cast<uint8_t>(w & 0xFF);
                a[static_cast<size_t>(6 + 2 * i)] = static_cast<uint8_t>(w >> 8);
            }
            link_.cmd.Count = form == RowWriteCode15 ? 4 : 5;
            link_.cmd.Code = cmdRowWrite;
            ExecuteCommand(link_.port, link_.cmd);
        });
    }
}

void Wire::EraseSequence(const TDeviceSpec &device, bool calibChange)
{
    const uint8_t t = device.EraseWait;
    switch (device.EraseAlgorithm) {
    case 0:
        IncBy(static_cast<int>(device.ProgramSize) + 1);
        IcspTimed(9, t);
        break;
    case 1:
        LoadConf(0);
        IcspTimed(9, t);
        IcspTimed(11, t);
        break;
    case 2:
        IcspTimed(9, t);
        LoadConf(0);
        // Standing on 0x2009 the bulk erase takes the calibration words too.
        if (calibChange) IncBy(9);
        IcspTimed(9, t);
        IcspTimed(11, t);
        break;
    case 3:
        LoadConf(0x3FFF);
        IncBy(7);
        Icsp(1);
        Icsp(7);
        IcspTimed(8, t);
        Icsp(1);
        Icsp(7);
        Icsp(11);
        IcspTimed(24, t);
        break;
    case 4:
        LoadConf(0x3FFF);
        IcspTimed(9, t);
        IcspTimed(11, t);
        break;
    case 5:
        LoadConf(0x3FFF);
        IcspTimed(31, t);
        break;
    case 6:
        LoadConf(0x3FFF);
        IcspTimed(9, t);
        break;
    default:
        break;
    }
}

void Wire::Instr18(uint8_t command, uint16_t operand, uint8_t mode, uint8_t time)
{
    Send([&] { Pic18Instruction(link_, command, operand, mode, time); });
}

void Wire::TablePointer(uint32_t address)
{
    Send([&] { SetTablePointer(link_, address); });
}

void Wire::FlashAccess18()
{
    Instr18(Pic18CoreInstruction, Pic18BsfEepgd, 0, 0);
    Instr18(Pic18CoreInstruction, Pic18BcfCfgs, 0, 0);
}

void Wire::Block18(std::span<const uint8_t> bytes, uint8_t time)
{
    const size_t chunks = bytes.size() / 8;
    for (size_t k = 0; k < chunks && !failed_; ++k)
        Send([&] { WritePic18Block(link_, bytes.subspan(8 * k, 8), k + 1 == chunks ? time : 0); });
}

void Wire::Config18(const std::array<uint8_t, 14> &bytes, uint8_t time)
{
    Instr18(Pic18CoreInstruction, Pic18BsfEepgd, 0, 0);
    Instr18(Pic18CoreInstruction, Pic18BsfCfgs, 0, 0);
    TablePointer(0x300000);
    // Each byte address gets the pair its byte belongs to; the chip takes the
    // byte the address selects.
    for (size_t i = 0; i < 7 && !failed_; ++i) {
        const uint16_t v = static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        for (int twice = 0; twice < 2; ++twice) {
            Instr18(Pic18TableWriteStart, v, 0, 0);
            Instr18(Pic18CoreInstruction, Pic18Nop, 2, time);
            Instr18(Pic18CoreInstruction, Pic18IncfTblptrl, 0, 0);
        }
    }
}

void Wire::EeAddress(uint16_t address)
{
    Send([&] { SetEepromAddress(link_, address); });
}

void Wire::EeByte(uint8_t value)
{
    // The programmer echoes the cell as read back after the write, so a byte
    // that did not take fails here too.
    Send([&] { WriteEepromByte(link_, value); });
}

void Wire::BulkErase18(uint16_t key, uint8_t wait)
{
    TablePointer(0x3C0004);
    Instr18(Pic18TableWrite, key, 0, 0);
    Instr18(Pic18CoreInstruction, Pic18Nop, 0, 0);
    Instr18(Pic18CoreInstruction, Pic18Nop, 1, wait);
}

// ---- whole-chip reads ----

namespace {

// Hands a block's receive loop only the steps of the whole read's bar, so the
// bar fills once over all blocks instead of once per block.
class StepsOf : public ProgressBar {
public:
    explicit StepsOf(ProgressBar *outer) : outer_(outer) {}
    void SetRange(int, int) override {}
    void StepIt() override
    {
        if (outer_) outer_->StepIt();
    }
    void SetPosition(int) override {}

private:
    ProgressBar *outer_;
};

} // namespace

void Wire::Stream(uint8_t readCommand, int n)
{
    Send([&] {
        link_.cmd.Args[0] = readCommand;
        link_.cmd.Count = static_cast<uint16_t>(n);
        link_.cmd.Code = cmdIcspStream;
        ExecuteCommand(link_.port, link_.cmd);
    });
}

void Wire::ReceiveStream(int n, std::span<uint16_t> destination, ProgressBar *progress)
{
    // Only a confirmed stream command makes the programmer send anything.
    if (failed_) return;
    const int lost = ReceiveWords(link_, n, destination, progress);
    missing_ += lost;
    // Units missing from a stream: it stopped, whatever follows.
    if (lost > 0) Note(LinkFault::Silent);
    // Nothing at all: the programmer may still be waiting for a count byte
    // that never reached it, and the next command would finish that one.
    if (n > 0 && lost == n) Fail(LinkFault::Silent);
}

void Wire::ReceiveStream(int n, std::span<uint8_t> destination, ProgressBar *progress)
{
    if (failed_) return;
    const int lost = ReceiveBytes(link_, n, destination, progress);
    missing_ += lost;
    if (lost > 0) Note(LinkFault::Silent);
    if (n > 0 && lost == n) Fail(LinkFault::Silent);
}

bool Wire::ReadChip(const TDeviceSpec &device, std::span<uint16_t, WordImageSize> image,
                    ProgressBar *progress)
{
    const long missingBefore = missing_;
    Enter(device.EntryMode);
    if (device.Is12Bit()) Inc();
    const int n = static_cast<int>(device.ProgramSize) + 8;
    if (!link_.smallBlock) {
        Stream(4, n);
        ReceiveStream(n, image, progress);
    } else {
        // 16-word blocks, one more than n needs; the words past n land in
        // the image too, which has room for them. Each block's receive ends
        // at the first silent time-out, as a whole stream does; after a block
        // with anything missing no further block is asked for: the read has
        // failed, and a programmer that is gone would cost a time-out per
        // stream command.
        if (progress) progress->SetRange(0, n);
        StepsOf steps(progress);
        const long missingAtStart = missing_;
        for (int k = 0; k <= n / 16 && !failed_ && missing_ == missingAtStart; ++k) {
            Stream(4, 16);
            ReceiveStream(16, image.subspan(static_cast<size_t>(16 * k), 16), &steps);
        }
        if (progress) progress->SetPosition(0);
    }
    for (int i = 0; i < n; ++i)
        image[static_cast<size_t>(i)] &= device.BlankWord;
    Exit(device.EntryMode);

    if (device.EEDataSize != 0) {
        Enter(device.EntryMode);
        const int m = static_cast<int>(device.EEDataSize);
        const std::span<uint16_t> ee = image.subspan(EEDataAreaStart, device.EEDataSize);
        Stream(5, m);
        ReceiveStream(m, ee, progress);
        for (uint16_t &w : ee)
            w &= 0x00FF;
        if (progress) progress->SetPosition(0);
        Exit(device.EntryMode);
    }

    Enter(device.EntryMode);
    if (device.Is12Bit()) {
        const uint16_t word = ReadWord();
        if (!failed_) image[Config12BitWord] = word & 0x0FFF;
    } else {
        // One stream for the sixteen words: half the round trips of a read
        // and an increment for each.
        LoadConf(0);
        Stream(4, 16);
        ReceiveStream(16, image.subspan(ConfigAreaStart, 16), nullptr);
        for (uint32_t i = 0; i < 16; ++i)
            image[ConfigAreaStart + i] &= 0x3FFF;
    }
    Exit(device.EntryMode);
    return !failed_ && missing_ == missingBefore;
}

bool Wire::ReadConfig(const TDeviceSpec &device, std::span<uint16_t, WordImageSize> image)
{
    const long missingBefore = missing_;
    Enter(device.EntryMode);
    if (device.Is12Bit()) {
        // Programming mode starts at the configuration word.
        const uint16_t word = ReadWord();
        if (!failed_) image[Config12BitWord] = word & 0x0FFF;
    } else {
        const uint32_t last = std::max<uint32_t>(device.ConfigAddress1, device.ConfigAddress2);
        const int n = static_cast<int>(last - ConfigAreaStart + 1);
        LoadConf(0);
        Stream(4, n);
        ReceiveStream(n, image.subspan(ConfigAreaStart, static_cast<size_t>(n)), nullptr);
        for (uint32_t a = ConfigAreaStart; a <= last; ++a)
            image[a] &= 0x3FFF;
    }
    Exit(device.EntryMode);
    return !failed_ && missing_ == missingBefore;
}

bool Wire::ReadConfig18(MemoryBuffer &image)
{
    const long missingBefore = missing_;
    Enter(0);
    TableRead(0x300000, 14, image.Config18, nullptr);
    Exit(0);
    return !failed_ && missing_ == missingBefore;
}

void Wire::TableRead(uint32_t address, int n, std::span<uint8_t> destination, ProgressBar *progress)
{
    // The table pointer leaves Status 0 when confirmed; the table-read
    // command writes it only when it fails.
    TablePointer(address);
    Send([&] {
        link_.cmd.Count = static_cast<uint16_t>(n);
        link_.cmd.Code = cmdTableRead;
        ExecuteCommand(link_.port, link_.cmd);
    });
    ReceiveStream(n, destination, progress);
}

bool Wire::ReadChip18(const TDeviceSpec18 &device, MemoryBuffer &image, ProgressBar *progress)
{
    const long missingBefore = missing_;
    image.Fit(device);
    Enter(0);
    const int size = static_cast<int>(device.ProgramSize);
    const std::span<uint8_t> program(image.Program18);
    if (!link_.smallBlock) {
        TableRead(0, size, program, progress);
    } else {
        // As for the word blocks: nothing more is asked for after a block
        // with bytes missing.
        const int blocks = size / 256;
        if (progress) progress->SetRange(0, blocks);
        const long missingAtStart = missing_;
        for (int k = 0; k < blocks && !failed_ && missing_ == missingAtStart; ++k) {
            TableRead(256u * static_cast<uint32_t>(k), 256,
                      program.subspan(256u * static_cast<size_t>(k), 256), nullptr);
            if (progress) progress->StepIt();
        }
        if (progress) progress->SetPosition(0);
        missing_ += size % 256; // never asked for
    }
    if (device.EEDataSize != 0) {
        EeAddress(0);
        Send([&] {
            link_.cmd.Count = static_cast<uint16_t>(device.EEDataSize);
            link_.cmd.Code = cmdEeRead;
            ExecuteCommand(link_.port, link_.cmd);
        });
        ReceiveStream(static_cast<int>(device.EEDataSize), image.EEData18, progress);
    }
    TableRead(0x200000, 16, image.Id18, progress);
    TableRead(0x300000, 14, image.Config18, progress);
    Exit(0);
    return !failed_ && missing_ == missingBefore;
}
