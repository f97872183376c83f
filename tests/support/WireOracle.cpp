#include "WireOracle.h"

#include "link/transfer.h"

namespace {

void Run(Link &link, uint8_t code)
{
    link.cmd.Code = code;
    ExecuteCommand(link.port, link.cmd);
}

uint8_t Lo(uint16_t w)
{
    return static_cast<uint8_t>(w & 0xFF);
}

uint8_t Hi(uint16_t w)
{
    return static_cast<uint8_t>(w >> 8);
}
} // namespace

int ReadWords(Link &link, uint8_t readCommand, int n, std::span<uint16_t> destination, ProgressBar *progress)
{
    if (!(link.smallBlock && readCommand == 4)) {
        link.cmd.Args[0] = readCommand;
        link.cmd.Count = static_cast<uint16_t>(n);
        Run(link, cmdIcspStream);
        return ReceiveWords(link, n, destination, progress);
    }
    int missing = 0;
    if (progress) progress->SetRange(0, n);
    const int blocks = n / 16 + 1;
    for (int k = 0; k < blocks; ++k) {
        link.cmd.Args[0] = 4;
        link.cmd.Count = 16;
        Run(link, cmdIcspStream);
        bool silent = false;
        for (int i = 0; i < 16 && !silent; ++i) {
            ReceivedUnit got = ReceiveOne(link, destination, static_cast<size_t>(16 * k + i));
            if (got == ReceivedUnit::Silent) {
                // The programmer is gone: count the rest of the stream as
                // missing instead of waiting a time-out for every word.
                missing += 16 * (blocks - k) - i;
                silent = true;
            } else if (got == ReceivedUnit::Partial) {
                ++missing;
            }
            if (!silent) {
                link.ui.ProcessMessages();
                if (progress) progress->StepIt();
            }
        }
        if (silent) break;
    }
    if (progress) progress->SetPosition(0);
    link.missing += missing;
    return missing;
}

int ReadPic18Eeprom(Link &link, int n, std::span<uint8_t> destination, ProgressBar *progress)
{
    SetEepromAddress(link, 0);
    link.cmd.Count = static_cast<uint16_t>(n);
    Run(link, cmdEeRead);
    return ReceiveBytes(link, n, destination, progress);
}

int ReadDeviceMemories(Link &link, const TDeviceSpec &device, std::span<uint16_t, WordImageSize> image,
                       ProgressBar *progress)
{
    int missing = 0;
    EnterProgramMode(link, device.EntryMode);
    if (device.Is12Bit()) IncAddress(link);
    int n = static_cast<int>(device.ProgramSize) + 8;
    missing += ReadWords(link, 4, n, image, progress);
    for (int i = 0; i < n && static_cast<size_t>(i) < image.size(); ++i)
        image[i] &= device.BlankWord;
    ExitProgramMode(link, device.EntryMode);

    if (device.EEDataSize != 0) {
        EnterProgramMode(link, device.EntryMode);
        int m = static_cast<int>(device.EEDataSize);
        std::span<uint16_t> ee = std::span<uint16_t>(image).subspan(EEDataAreaStart);
        missing += ReadWords(link, 5, m, ee, progress);
        for (int i = 0; i < m && static_cast<size_t>(i) < ee.size(); ++i)
            ee[i] &= 0x00FF;
        if (progress) progress->SetPosition(0);
        ExitProgramMode(link, device.EntryMode);
    }

    EnterProgramMode(link, device.EntryMode);
    if (device.Is12Bit()) {
        image[Config12BitWord] = ReadWordCounted(link, missing) & 0x0FFF;
    } else {
        // The sixteen configuration words as one stream.
        LoadConfig(link, 0);
        link.cmd.Args[0] = 4;
        link.cmd.Count = 16;
        Run(link, cmdIcspStream);
        missing += ReceiveWords(link, 16, std::span<uint16_t>(image).subspan(ConfigAreaStart, 16), nullptr);
        for (uint32_t i = 0; i < 16; ++i)
            image[ConfigAreaStart + i] &= 0x3FFF;
    }
    ExitProgramMode(link, device.EntryMode);
    return missing;
}

int ReadDeviceMemories18(Link &link, const TDeviceSpec18 &device, MemoryBuffer &buffer, ProgressBar *progress)
{
    int missing = 0;
    EnterProgramMode(link, 0);
    missing += ReadBytes(link, 0, static_cast<int>(device.ProgramSize), buffer.Program18, progress);
    if (device.EEDataSize != 0)
        missing += ReadPic18Eeprom(link, static_cast<int>(device.EEDataSize), buffer.EEData18, progress);
    missing += ReadBytes(link, 0x200000, 16, buffer.Id18, progress);
    missing += ReadBytes(link, 0x300000, 14, buffer.Config18, progress);
    ExitProgramMode(link, 0);
    return missing;
}

int32_t WriteRow(Link &link, int form, int selector, uint8_t wait, int latchCount,
                 const std::array<uint16_t, 8> &words)
{
    auto [begin, end] = RowWritePair(selector);
    // An unknown form leaves a selector the executor refuses before sending.
    uint16_t count = form == RowWriteCode15 ? 4 : form == RowWriteCode08 ? 5 : 0;
    auto &a = link.cmd.Args;
    for (int block = 0; block < 2; ++block) {
        a[0] = 2;
        a[1] = begin;
        a[2] = end;
        a[3] = wait;
        a[4] = static_cast<uint8_t>(block == 1 && latchCount == 8 ? 3 : latchCount - 1);
        for (int i = 0; i < 4; ++i) {
            a[5 + 2 * i] = Lo(words[4 * block + i]);
            a[6 + 2 * i] = Hi(words[4 * block + i]);
        }
        link.cmd.Count = count;
        Run(link, cmdRowWrite);
    }
    return link.cmd.Status;
}

void SelectFlashAccess(Link &link)
{
    Pic18Instruction(link, Pic18CoreInstruction, Pic18BsfEepgd, 0, 0);
    Pic18Instruction(link, Pic18CoreInstruction, Pic18BcfCfgs, 0, 0);
}

void SelectConfigAccess(Link &link)
{
    Pic18Instruction(link, Pic18CoreInstruction, Pic18BsfEepgd, 0, 0);
    Pic18Instruction(link, Pic18CoreInstruction, Pic18BsfCfgs, 0, 0);
}

int32_t WritePic18Config(Link &link, const std::array<uint8_t, 14> &bytes, uint8_t time)
{
    SelectConfigAccess(link);
    SetTablePointer(link, 0x300000);
    for (int i = 0; i < 7; ++i) {
        uint16_t v = static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        for (int twice = 0; twice < 2; ++twice) {
            Pic18Instruction(link, Pic18TableWriteStart, v, 0, 0);
            Pic18Instruction(link, Pic18CoreInstruction, Pic18Nop, 2, time);
            Pic18Instruction(link, Pic18CoreInstruction, Pic18IncfTblptrl, 0, 0);
        }
    }
    return StatusOk;
}
