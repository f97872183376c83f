// The probes of the programmer's firmware: its version text, the row-write
// form it accepts and whether it drives PIC18 parts.
#include "link/PICCommand.h"

#include "link/exchange.h"
#include "texts/link_texts.h"

namespace {

// The row-write test block; its checksum is 0x49.
constexpr std::array<uint8_t, 13> RowWriteProbe = {0x00, 0x01, 0x02, 0x03, 0xFF, 0x05, 0x06,
                                                   0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C};

int ProbeRowWrite(Link &link, uint8_t code)
{
    uint8_t sum = 0;
    link.port.Write(RowWriteProbe.data(), RowWriteProbe.size());
    if (link.port.Read(&sum, 1) == 1 && sum == 0x49) return code;
    return RowWriteProtocolError;
}

} // namespace

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
        link.ui.AddLog(texts::LinkHeldBack(AssumedAdapterHoldMs));
    return link.cmd.Reply;
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
