// The single-command operations of the link and what is built on them: the
// DEVICE-ID reads, the calibration slots, the programming cycles and the
// erase sequences.
#include "link/PICCommand.h"

#include "link/exchange.h"
#include "link/transfer.h"

namespace {

void Run(Link &link, uint8_t code)
{
    RunCommand(link, code);
}

} // namespace

// ---- single-command operations ----

void EnterProgramMode(Link &link, int entryMode)
{
    link.cmd.Args[0] = entryMode == 0 ? 1 : 3;
    Run(link, cmdControl);
    link.port.Pause(20);
}

void ExitProgramMode(Link &link, int entryMode)
{
    link.cmd.Args[0] = entryMode == 0 ? 2 : 4;
    Run(link, cmdControl);
    // Out of programming mode with its echo whole and nothing failed before
    // it: the programmer has nothing left to send.
    if (link.cmd.Status == StatusOk && link.fault == LinkFault::None) link.port.MarkQuiet();
    link.port.Pause(20);
}

void IncAddress(Link &link)
{
    link.cmd.Args[0] = 6;
    Run(link, cmdIcsp);
}

void IncAddressBy(Link &link, int n)
{
    while (n > 0) {
        int step = n >= 2048 ? 2048 : n;
        link.cmd.Args[0] = 6;
        link.cmd.Count = static_cast<uint16_t>(step);
        Run(link, cmdIcspRepeat);
        n -= step;
    }
}

static void Load(Link &link, uint8_t icsp, uint16_t word)
{
    link.cmd.Args[0] = icsp;
    link.cmd.Value = word;
    Run(link, cmdIcspLoad);
}

void LoadConfig(Link &link, uint16_t word)
{
    Load(link, 0, word);
}
void LoadProgramWord(Link &link, uint16_t word)
{
    Load(link, 2, word);
}
void LoadDataWord(Link &link, uint16_t word)
{
    Load(link, 3, word);
}

uint16_t ReadProgramWord(Link &link)
{
    link.cmd.Args[0] = 4;
    Run(link, cmdIcspRead);
    return link.cmd.Value;
}

int32_t SendIcsp(Link &link, uint8_t command)
{
    link.cmd.Args[0] = command;
    link.cmd.Status = StatusOk;
    Run(link, cmdIcsp);
    return link.cmd.Status;
}

int32_t SendIcspTimed(Link &link, uint8_t command, uint8_t time)
{
    link.cmd.Args[0] = command;
    link.cmd.Args[3] = time;
    link.cmd.Status = StatusOk;
    Run(link, cmdIcspTimed);
    return link.cmd.Status;
}

int32_t SendIcspPair(Link &link, uint8_t command1, uint8_t command2, uint8_t time)
{
    link.cmd.Args[0] = command1;
    link.cmd.Args[1] = command2;
    link.cmd.Args[3] = time;
    link.cmd.Status = StatusOk;
    Run(link, cmdIcspPair);
    return link.cmd.Status;
}

void SetTablePointer(Link &link, uint32_t address)
{
    link.cmd.Args[0] = static_cast<uint8_t>(address);
    link.cmd.Args[1] = static_cast<uint8_t>(address >> 8);
    link.cmd.Args[2] = static_cast<uint8_t>(address >> 16);
    Run(link, cmdSetTablePtr);
}

void Pic18Instruction(Link &link, uint8_t command, uint16_t operand, uint8_t mode, uint8_t time)
{
    link.cmd.Args[0] = command;
    link.cmd.Args[1] = Lo(operand);
    link.cmd.Args[2] = Hi(operand);
    link.cmd.Args[3] = time;
    link.cmd.Args[4] = mode;
    Run(link, cmdPic18Instr);
}

void SetEepromAddress(Link &link, uint16_t address)
{
    link.cmd.Args[0] = Lo(address);
    link.cmd.Args[1] = Hi(address);
    Run(link, cmdSetEeAddr);
}

int32_t WriteEepromByte(Link &link, uint8_t value)
{
    link.cmd.Value = value;
    Run(link, cmdEeWrite);
    return link.cmd.Status;
}

// ---- DEVICE-ID ----

uint16_t ReadWordCounted(Link &link, int &missing)
{
    uint16_t word = ReadProgramWord(link);
    if (link.cmd.Status != StatusOk) {
        ++missing;
        ++link.missing;
    }
    return word;
}

uint16_t ReadDeviceId(Link &link, const TDeviceSpec &device)
{
    if (device.DeviceId == 0) return 0;
    EnterProgramMode(link, device.EntryMode);
    LoadConfig(link, 0);
    IncAddressBy(link, 6);
    int unused = 0;
    uint16_t word = ReadWordCounted(link, unused);
    ExitProgramMode(link, device.EntryMode);
    return word;
}

uint16_t ReadDeviceId18(Link &link)
{
    std::array<uint8_t, 2> id{};
    EnterProgramMode(link, 0);
    ReadBytes(link, 0x3FFFFE, 2, id, nullptr);
    ExitProgramMode(link, 0);
    return static_cast<uint16_t>(id[0] | (id[1] << 8));
}

// ---- calibration slots ----

namespace {

// Moves the device's address to slot address a; false for an empty slot.
bool PositionAtSlot(Link &link, const TDeviceSpec &device, uint16_t a)
{
    if (a == 0) return false;
    if (a > ConfigAreaStart) {
        LoadConfig(link, 0);
        IncAddressBy(link, a - ConfigAreaStart);
    } else {
        if (device.Is12Bit()) IncAddress(link);
        IncAddressBy(link, a);
    }
    return true;
}

void ReadSlot(Link &link, const TDeviceSpec &device, uint16_t address, uint16_t mask, uint16_t &word)
{
    EnterProgramMode(link, device.EntryMode);
    int unused = 0;
    if (PositionAtSlot(link, device, address)) word = ReadWordCounted(link, unused) & mask;
    ExitProgramMode(link, device.EntryMode);
}

void WriteSlot(Link &link, const TDeviceSpec &device, uint16_t address, uint16_t mask, uint16_t word)
{
    EnterProgramMode(link, device.EntryMode);
    if (PositionAtSlot(link, device, address)) {
        // In the configuration area every bit outside the calibration bits
        // is written as 1, so only the calibration bits get programmed.
        LoadProgramWord(link, address > ConfigAreaStart ? static_cast<uint16_t>(word | ~mask) : word);
        ProgrammingCycle(link, device.ProgramAlgorithm, device.ProgramWait);
    }
    ExitProgramMode(link, device.EntryMode);
}

} // namespace

void ReadConfigWords(Link &link, const TDeviceSpec &device, uint16_t &word1, uint16_t &word2)
{
    ReadSlot(link, device, device.CalibAddress1, device.CalibMask1, word1);
    ReadSlot(link, device, device.CalibAddress2, device.CalibMask2, word2);
}

void WriteConfigWords(Link &link, const TDeviceSpec &device, uint16_t word1, uint16_t word2)
{
    WriteSlot(link, device, device.CalibAddress1, device.CalibMask1, word1);
    WriteSlot(link, device, device.CalibAddress2, device.CalibMask2, word2);
}

// ---- writes ----

std::pair<uint8_t, uint8_t> RowWritePair(int selector)
{
    switch (selector) {
    case 0:
        return {8, 0};
    case 1:
        return {24, 0};
    case 2:
        return {8, 14};
    case 3:
        return {24, 23};
    case 4:
        return {24, 10};
    default:
        return {0, 0};
    }
}

void ProgrammingCycle(Link &link, int selector, uint8_t wait)
{
    switch (selector) {
    case 0:
        SendIcspTimed(link, 8, wait);
        break;
    case 1:
        SendIcspTimed(link, 24, wait);
        break;
    case 2:
        SendIcspPair(link, 8, 14, wait);
        break;
    case 3:
        SendIcspPair(link, 24, 23, wait);
        break;
    case 4:
        SendIcspPair(link, 24, 10, wait);
        break;
    default:
        break;
    }
}

int32_t WritePic18Block(Link &link, std::span<const uint8_t> bytes, uint8_t time)
{
    size_t chunks = bytes.size() / 8;
    if (chunks == 0) return StatusOk;
    auto &a = link.cmd.Args;
    for (size_t k = 0; k < chunks; ++k) {
        for (size_t i = 0; i < 8; ++i)
            a[5 + i] = bytes[8 * k + i];
        a[3] = k + 1 == chunks ? time : 0;
        Run(link, cmdPic18Block);
    }
    return link.cmd.Status;
}

// ---- erase ----

void EraseSequence(Link &link, const TDeviceSpec &device, bool calibChange)
{
    uint8_t t = device.EraseWait;
    switch (device.EraseAlgorithm) {
    case 0:
        IncAddressBy(link, static_cast<int>(device.ProgramSize) + 1);
        SendIcspTimed(link, 9, t);
        break;
    case 1:
        LoadConfig(link, 0);
        SendIcspTimed(link, 9, t);
        SendIcspTimed(link, 11, t);
        break;
    case 2:
        SendIcspTimed(link, 9, t);
        LoadConfig(link, 0);
        if (calibChange) IncAddressBy(link, 9);
        SendIcspTimed(link, 9, t);
        SendIcspTimed(link, 11, t);
        break;
    case 3:
        LoadConfig(link, 0x3FFF);
        IncAddressBy(link, 7);
        SendIcsp(link, 1);
        SendIcsp(link, 7);
        SendIcspTimed(link, 8, t);
        SendIcsp(link, 1);
        SendIcsp(link, 7);
        SendIcsp(link, 11);
        SendIcspTimed(link, 24, t);
        break;
    case 4:
        LoadConfig(link, 0x3FFF);
        SendIcspTimed(link, 9, t);
        SendIcspTimed(link, 11, t);
        break;
    case 5:
        LoadConfig(link, 0x3FFF);
        SendIcspTimed(link, 31, t);
        break;
    case 6:
        LoadConfig(link, 0x3FFF);
        SendIcspTimed(link, 9, t);
        break;
    default:
        break;
    }
}

void BulkErase18(Link &link, uint16_t key, uint8_t wait)
{
    SetTablePointer(link, 0x3C0004);
    Pic18Instruction(link, Pic18TableWrite, key, 0, 0);
    Pic18Instruction(link, Pic18CoreInstruction, Pic18Nop, 0, 0);
    Pic18Instruction(link, Pic18CoreInstruction, Pic18Nop, 1, wait);
}
