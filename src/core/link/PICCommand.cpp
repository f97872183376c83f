// The shared command record on the wire: the executor with its echo
// handshake and checksums, and how a command the programmer holds
// unfinished is completed.
#include "link/PICCommand.h"

#include <numeric>

#include "link/exchange.h"

namespace {

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

namespace {

// Mode control and the single ICSP commands: every byte is echoed.
bool ExecuteHandshake(SerialPort &port, TCommand &cmd)
{
    const auto &a = cmd.Args;
    switch (cmd.Code) {
    case cmdControl:
        return EchoAll(port, {cmdControl, a[0]});
    case cmdIcsp:
        return EchoAll(port, {cmdIcsp, a[0]});
    case cmdIcspTimed:
        return EchoAll(port, {cmdIcspTimed, a[0], a[3]});
    case cmdIcspLoad:
        return EchoAll(port, {cmdIcspLoad, a[0], Lo(cmd.Value), Hi(cmd.Value)});
    case cmdIcspPair:
        return EchoAll(port, {cmdIcspPair, a[0], a[1], a[3]});
    default: // cmdIcspRepeat, cmdIcspStream
        return EchoAll(port, {cmd.Code, a[0], Lo(cmd.Count), Hi(cmd.Count)});
    }
}

// The row write: the form selector in Count picks the wire code.
int32_t ExecuteRowWrite(SerialPort &port, TCommand &cmd)
{
    uint8_t wire;
    if (cmd.Count == 4)
        wire = RowWriteCode15;
    else if (cmd.Count == 5)
        wire = RowWriteCode08;
    else
        return StatusBadSelector;
    if (!Echo(port, wire)) return StatusNoEcho;
    return SendBlock(port, cmd.Args.data(), 13);
}

// The commands whose payload goes in one block and comes back as a
// checksum, after the echo of the code.
int32_t ExecuteBlock(SerialPort &port, TCommand &cmd)
{
    auto &a = cmd.Args;
    if (!Echo(port, cmd.Code)) return StatusNoEcho;
    switch (cmd.Code) {
    case cmdPic18Instr:
        return SendBlock(port, a.data(), 5);
    case cmdSetTablePtr:
        return SendBlock(port, a.data(), 3);
    case cmdSetEeAddr:
        return SendBlock(port, a.data(), 2);
    default: // cmdPic18Block
        a[4] = a[3];
        return SendBlock(port, a.data() + 4, 9);
    }
}

// A word read, the query and the EEPROM write: a reply byte after the echo.
int32_t ExecuteExchange(SerialPort &port, TCommand &cmd)
{
    const auto &a = cmd.Args;
    if (!Echo(port, cmd.Code)) return StatusNoEcho;
    switch (cmd.Code) {
    case cmdIcspRead: {
        uint8_t r[3] = {};
        port.Write(&a[0], 1);
        if (port.Read(r, 3) != 3 || r[0] != a[0]) return StatusNoEcho;
        cmd.Value = static_cast<uint16_t>(r[1] | (r[2] << 8));
        return StatusOk;
    }
    case cmdQuery: {
        uint8_t in = 0;
        port.Write(&a[0], 1);
        if (port.Read(&in, 1) != 1) return StatusBadReply;
        cmd.Value = in;
        return StatusOk;
    }
    default: { // cmdEeWrite
        const uint8_t data = Lo(cmd.Value);
        if (!Echo(port, data)) return StatusBadReply;
        cmd.Value = data;
        return StatusOk;
    }
    }
}

// The stream requests: after the echo the count goes out and the data
// follows for the receive loops; Status is left as it was.
void ExecuteStreamRequest(SerialPort &port, TCommand &cmd)
{
    if (!Echo(port, cmd.Code)) {
        cmd.Status = StatusNoEcho;
        return;
    }
    if (cmd.Code == cmdTableRead) {
        uint8_t count[2] = {Lo(cmd.Count), Hi(cmd.Count)};
        port.Write(count, 2);
    } else {
        uint8_t count = Lo(cmd.Count);
        port.Write(&count, 1);
    }
}

} // namespace

void ExecuteCommand(SerialPort &port, TCommand &cmd)
{
    switch (cmd.Code) {
    case cmdControl:
        if (cmd.Args[0] == 0) {
            VersionQuery(port, cmd);
            return;
        }
        [[fallthrough]];
    case cmdIcsp:
    case cmdIcspTimed:
    case cmdIcspLoad:
    case cmdIcspPair:
    case cmdIcspRepeat:
    case cmdIcspStream:
        cmd.Status = ExecuteHandshake(port, cmd) ? StatusOk : StatusNoEcho;
        return;
    case cmdRowWrite:
        cmd.Status = ExecuteRowWrite(port, cmd);
        return;
    case cmdPic18Instr:
    case cmdSetTablePtr:
    case cmdSetEeAddr:
    case cmdPic18Block:
        cmd.Status = ExecuteBlock(port, cmd);
        return;
    case cmdIcspRead:
    case cmdQuery:
    case cmdEeWrite:
        cmd.Status = ExecuteExchange(port, cmd);
        return;
    case cmdTableRead:
    case cmdEeRead:
        ExecuteStreamRequest(port, cmd);
        return;
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
