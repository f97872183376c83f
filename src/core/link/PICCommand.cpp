#include "link/PICCommand.h"

#include "link/transfer.h"

#include <numeric>

namespace {

// Writes b and expects exactly b back.
bool Echo(SerialPort &port, uint8_t b)
{
    uint8_t in = 0;
    port.Write(&b, 1);
    return port.Read(&in, 1) == 1 && in == b;
}

bool EchoAll(SerialPort &port, std::initializer_list<uint8_t> bytes)
{
    for (uint8_t b : bytes)
        if (!Echo(port, b)) return false;
    return true;
}

uint8_t Checksum(const uint8_t *data, size_t n)
{
    return static_cast<uint8_t>(std::accumulate(data, data + n, 0u));
}

// Writes a payload in one go and checks the checksum the programmer returns.
int32_t SendBlock(SerialPort &port, const uint8_t *payload, size_t n)
{
    uint8_t sum = 0;
    port.Write(payload, n);
    return port.Read(&sum, 1) == 1 && sum == Checksum(payload, n) ? StatusOk : StatusBadReply;
}

uint8_t Lo(uint16_t w)
{
    return static_cast<uint8_t>(w & 0xFF);
}
uint8_t Hi(uint16_t w)
{
    return static_cast<uint8_t>(w >> 8);
}

void Run(Link &link, uint8_t code)
{
    RunCommand(link, code);
}

// The row-write test block; its checksum is 0x49.
constexpr std::array<uint8_t, 13> RowWriteProbe = {0x00, 0x01, 0x02, 0x03, 0xFF, 0x05, 0x06,
                                                   0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C};

int ProbeRowWrite(Link &link, uint8_t code)
{
    uint8_t sum = 0;
    link.port.Write(RowWriteProbe.data(), RowWriteProbe.size());
    if (link.port.Read(&sum, 1) == 1 && sum == 0x49) return code;
    link.ui.ShowMessage("プロトコルエラー！");
    return -1;
}

// How a version query went, beyond its Status: whether anything came back
// at all, and whether the text ended as a whole reply does (its zero byte,
// or all 32 bytes).
struct VersionExchange {
    bool heard = false;
    bool ended = false;
    bool codeSilent = false; // nothing came back for the command code
};

VersionExchange VersionQuery(SerialPort &port, TCommand &cmd)
{
    VersionExchange x;
    // The query tolerates silence on the command code, so a firmware that
    // does not echo it still identifies itself.
    uint8_t code = cmdControl, in = 0;
    port.Write(&code, 1);
    if (port.Read(&in, 1) == 1) {
        x.heard = true;
        if (in != cmdControl) {
            cmd.Status = StatusNoEcho;
            return x;
        }
    } else {
        x.codeSilent = true;
    }
    code = 0x00;
    port.Write(&code, 1);
    const size_t echoed = port.Read(&in, 1);
    x.heard = x.heard || echoed == 1;
    if (echoed != 1 || in != 0x00) {
        cmd.Status = StatusNoEcho;
        return x;
    }
    // The text ends with a zero byte (none after 32 characters); reading up
    // to it spares waiting out the time-out, which still bounds each byte.
    uint8_t reply[VersionReplyBytes];
    size_t got = 0;
    while (got < sizeof reply && port.Read(reply + got, 1) == 1 && reply[got++] != 0) {
    }
    if (got == 0) {
        cmd.Status = StatusNoEcho;
        return x;
    }
    x.ended = reply[got - 1] == 0 || got == sizeof reply;
    // What a firmware sends after the zero byte (padding up to 32 bytes) is
    // still the reply: left in the input, the next echo would read it. It
    // comes straight after the text, so a short quiet gap ends the reply of
    // a firmware that sends nothing more.
    const int held = port.HeldBackMs();
    size_t padding = 0;
    while (reply[got - 1 - padding] == 0 && got < sizeof reply) {
        // A firmware that pads pads to the end: a pause within its padding
        // (a USB packet boundary, a busy machine) gets the query's whole
        // bound.
        port.SetReadTimeout((padding ? VersionTimeoutMs : VersionPadGapMs) + 2 * held);
        const size_t n = port.Read(reply + got, sizeof reply - got);
        if (n == 0) break;
        got += n;
        padding += n;
    }
    size_t len = 0;
    while (len < got && reply[len] != 0)
        ++len;
    cmd.Reply.assign(reinterpret_cast<const char *>(reply), len);
    cmd.Status = StatusOk;
    return x;
}

} // namespace

LinkFault FaultOf(int32_t status, bool silent)
{
    if (silent) return LinkFault::Silent;
    return status == StatusBadReply ? LinkFault::Checksum : LinkFault::Echo;
}

void RunCommand(Link &link, uint8_t code)
{
    link.cmd.Code = code;
    ExecuteCommand(link.port, link.cmd);
    if (link.cmd.Status != StatusOk && link.fault == LinkFault::None)
        link.fault = FaultOf(link.cmd.Status, link.port.LastReadSilent());
}

void ExecuteCommand(SerialPort &port, TCommand &cmd)
{
    auto &a = cmd.Args;
    switch (cmd.Code) {
    case cmdControl:
        if (a[0] == 0) {
            VersionQuery(port, cmd);
            return;
        }
        cmd.Status = EchoAll(port, {cmdControl, a[0]}) ? StatusOk : StatusNoEcho;
        return;
    case cmdIcsp:
        cmd.Status = EchoAll(port, {cmdIcsp, a[0]}) ? StatusOk : StatusNoEcho;
        return;
    case cmdIcspRead: {
        if (!Echo(port, cmdIcspRead)) {
            cmd.Status = StatusNoEcho;
            return;
        }
        uint8_t r[3] = {};
        port.Write(&a[0], 1);
        if (port.Read(r, 3) == 3 && r[0] == a[0]) {
            cmd.Value = static_cast<uint16_t>(r[1] | (r[2] << 8));
            cmd.Status = StatusOk;
        } else {
            cmd.Status = StatusNoEcho;
        }
        return;
    }
    case cmdIcspTimed:
        cmd.Status = EchoAll(port, {cmdIcspTimed, a[0], a[3]}) ? StatusOk : StatusNoEcho;
        return;
    case cmdIcspLoad:
        cmd.Status =
            EchoAll(port, {cmdIcspLoad, a[0], Lo(cmd.Value), Hi(cmd.Value)}) ? StatusOk : StatusNoEcho;
        return;
    case cmdIcspPair:
        cmd.Status = EchoAll(port, {cmdIcspPair, a[0], a[1], a[3]}) ? StatusOk : StatusNoEcho;
        return;
    case cmdIcspRepeat:
    case cmdIcspStream:
        cmd.Status = EchoAll(port, {cmd.Code, a[0], Lo(cmd.Count), Hi(cmd.Count)}) ? StatusOk : StatusNoEcho;
        return;
    case cmdRowWrite: {
        uint8_t wire;
        if (cmd.Count == 4)
            wire = RowWriteCode15;
        else if (cmd.Count == 5)
            wire = RowWriteCode08;
        else {
            cmd.Status = StatusBadSelector;
            return;
        }
        if (!Echo(port, wire)) {
            cmd.Status = StatusNoEcho;
            return;
        }
        cmd.Status = SendBlock(port, a.data(), 13);
        return;
    }
    case cmdPic18Instr:
        cmd.Status = Echo(port, cmdPic18Instr) ? SendBlock(port, a.data(), 5) : StatusNoEcho;
        return;
    case cmdQuery: {
        if (!Echo(port, cmdQuery)) {
            cmd.Status = StatusNoEcho;
            return;
        }
        uint8_t in = 0;
        port.Write(&a[0], 1);
        if (port.Read(&in, 1) == 1) {
            cmd.Value = in;
            cmd.Status = StatusOk;
        } else {
            cmd.Status = StatusBadReply;
        }
        return;
    }
    case cmdSetTablePtr:
        cmd.Status = Echo(port, cmdSetTablePtr) ? SendBlock(port, a.data(), 3) : StatusNoEcho;
        return;
    case cmdTableRead: {
        if (!Echo(port, cmdTableRead)) {
            cmd.Status = StatusNoEcho;
            return;
        }
        uint8_t count[2] = {Lo(cmd.Count), Hi(cmd.Count)};
        port.Write(count, 2);
        return;
    }
    case cmdPic18Block:
        if (!Echo(port, cmdPic18Block)) {
            cmd.Status = StatusNoEcho;
            return;
        }
        a[4] = a[3];
        cmd.Status = SendBlock(port, a.data() + 4, 9);
        return;
    case cmdSetEeAddr:
        cmd.Status = Echo(port, cmdSetEeAddr) ? SendBlock(port, a.data(), 2) : StatusNoEcho;
        return;
    case cmdEeRead: {
        if (!Echo(port, cmdEeRead)) {
            cmd.Status = StatusNoEcho;
            return;
        }
        uint8_t count = Lo(cmd.Count);
        port.Write(&count, 1);
        return;
    }
    case cmdEeWrite: {
        if (!Echo(port, cmdEeWrite)) {
            cmd.Status = StatusNoEcho;
            return;
        }
        uint8_t data = Lo(cmd.Value);
        if (Echo(port, data)) {
            cmd.Value = data;
            cmd.Status = StatusOk;
        } else {
            cmd.Status = StatusBadReply;
        }
        return;
    }
    default:
        return; // unknown code: nothing is sent, Status stays
    }
}

int CommandArgumentBytes(uint8_t code)
{
    switch (code) {
    case cmdControl:
    case cmdIcsp:
    case cmdIcspRead:
    case cmdQuery:
    case cmdEeRead:
    case cmdEeWrite:
        return 1;
    case cmdIcspTimed:
    case cmdTableRead:
    case cmdSetEeAddr:
        return 2;
    case cmdIcspLoad:
    case cmdIcspPair:
    case cmdIcspRepeat:
    case cmdIcspStream:
    case cmdSetTablePtr:
        return 3;
    case cmdPic18Instr:
        return 5;
    case cmdPic18Block:
        return 9;
    case RowWriteCode08:
    case RowWriteCode15:
        return 13;
    default:
        return 0;
    }
}

std::optional<std::vector<uint8_t>> HarmlessCompletion(const std::vector<uint8_t> &received)
{
    if (received.empty()) return std::vector<uint8_t>{};
    const uint8_t code = received[0];
    const size_t need = static_cast<size_t>(CommandArgumentBytes(code));
    const size_t taken = received.size() - 1;
    if (taken >= need) return std::vector<uint8_t>{};
    const std::vector<uint8_t> fill(need - taken, HarmlessFiller);
    switch (code) {
    case cmdIcspTimed:
    case cmdIcspLoad:
    case cmdIcspPair:
    case RowWriteCode08:
    case RowWriteCode15:
        // Once the host's ICSP command is in (a load, a programming or an
        // erase cycle), whatever follows carries it out.
        if (taken == 0) return fill;
        return std::nullopt;
    case cmdPic18Instr:
        // All zeros make the instruction a NOP; the host's own instruction
        // bytes may be anything.
        if (taken == 0) return std::vector<uint8_t>(need, 0x00);
        return std::nullopt;
    case cmdPic18Block: // table writes of the payload
    case cmdEeWrite:    // the data byte itself
        return std::nullopt;
    default:
        // Mode control, single ICSP commands and reads, the address
        // increment, streams, the query, pointers and counts.
        return fill;
    }
}

void FinishAnyCommand(Link &link)
{
    // Thirteen argument bytes at most (a row-write block), one more for good
    // measure.
    const std::vector<uint8_t> fill(14, HarmlessFiller);
    link.port.Write(fill.data(), fill.size());
    link.port.DrainInput();
}

// ---- single-command operations ----

std::string GetVersion(Link &link)
{
    // Short, so a port without a programmer is passed quickly; a line that
    // holds each byte back (a USB adapter's latency timer) gets that long
    // more each way, or no echo would ever be in time.
    auto query = [&link](int heldMs) {
        link.cmd.Reply.clear();
        link.cmd.Code = cmdControl;
        link.cmd.Args[0] = 0;
        link.port.SetReadTimeout(VersionTimeoutMs + 2 * heldMs);
        const VersionExchange x = VersionQuery(link.port, link.cmd);
        link.port.SetReadTimeout(SerialPort::DefaultTimeoutMs);
        return x;
    };
    auto whole = [&link](const VersionExchange &x) {
        return link.cmd.Status == StatusOk && !link.cmd.Reply.empty() && x.ended;
    };
    const int held = link.port.HeldBackMs();
    const VersionExchange first = query(held);
    if (whole(first) || !first.heard || held >= AssumedAdapterHoldMs) return link.cmd.Reply;
    // A late answer (the echo of the command code came after its time, or
    // bytes still arrive after the query ended) is a line that holds bytes
    // back without saying so: an adapter whose latency timer the system does
    // not show, a bridge, a network server. What still arrives is dropped
    // and the query asked once more with the bounds of the common adapters'
    // default timer. An answer that is merely wrong is left as it is: a
    // programmer still inside another command is no slow line.
    const size_t late = link.port.DrainInput();
    if (!first.codeSilent && late == 0) return link.cmd.Reply;
    if (!whole(query(AssumedAdapterHoldMs))) return link.cmd.Reply;
    if (link.port.AssumeHeldBack(AssumedAdapterHoldMs))
        link.ui.AddLog("プログラマーの応答が遅れて届くため、回線の遅延を " + std::to_string(AssumedAdapterHoldMs) +
                       " ms と見なして待ち時間を広げました。");
    return link.cmd.Reply;
}

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

int DetectRowWriteForm(Link &link)
{
    if (Echo(link.port, RowWriteCode08)) return ProbeRowWrite(link, RowWriteCode08);
    if (!Echo(link.port, RowWriteCode15)) return 0;
    return ProbeRowWrite(link, RowWriteCode15);
}

int CheckPic18Support(Link &link)
{
    if (!Echo(link.port, cmdQuery)) return 0;
    uint8_t arg = 0x02, in = 0;
    link.port.Write(&arg, 1);
    return link.port.Read(&in, 1) == 1 ? 10 : -1;
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
