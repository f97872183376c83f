#define TARNVIK_OPERATIONS_INTERNAL
#include "operations/operations.h"

#include "link/discovery.h"
#include "operations/CalibrationLog.h"
#include "operations/detail.h"
#include "support/textutil.h"
#include "texts/link_texts.h"
#include "texts/operation_texts.h"

namespace {

void RefuseNoDevice(OperationContext &ctx, Surface surface)
{
    ctx.ui.AddLogShowingMessages(texts::NoDeviceSelected());
    ReportStatus(ctx, texts::SelectDeviceStatus(), surface);
}

OperationResult RefuseDeviceId(OperationContext &ctx, Refusal code)
{
    if (code == Refusal::NoDeviceId) {
        ctx.ui.AddLogShowingMessages(texts::DeviceIdUnconfirmed());
        ReportStatus(ctx, texts::DeviceIdUnconfirmedStatus(), ctx.surface);
    } else {
        ctx.ui.AddLogShowingMessages(texts::DeviceIdDiffers());
        ReportStatus(ctx, texts::DeviceIdDiffersStatus(), ctx.surface);
    }
    return RefusedResult(code);
}

OperationResult RefuseLinkLost(OperationContext &ctx, LinkFault fault)
{
    return LinkLostResult(ctx, texts::ReadFailedStatus(), ctx.surface, fault);
}

bool SelectionValid(DeviceSelection device)
{
    return device.Index >= 0 && device.Index < (device.Pic18 ? DeviceTable18Size : DeviceTableSize);
}

} // namespace

// ---- shared pieces ----

std::optional<TDeviceSpec> SelectedRow(OperationContext &ctx)
{
    if (!SelectionValid(ctx.device)) {
        // The check before it told the dialog already.
        RefuseNoDevice(ctx, Surface::StatusLine);
        return std::nullopt;
    }
    return DeviceTable[static_cast<size_t>(ctx.device.Index)];
}

std::optional<TDeviceSpec18> SelectedRow18(OperationContext &ctx)
{
    if (!SelectionValid(ctx.device)) {
        // The check before it told the dialog already.
        RefuseNoDevice(ctx, Surface::StatusLine);
        return std::nullopt;
    }
    return DeviceTable18[static_cast<size_t>(ctx.device.Index)];
}

void ReportStatus(OperationContext &ctx, const std::string &text, Surface surface)
{
    ctx.ui.SetStatus(text);
    if (surface == Surface::ProgressDialog) ctx.ui.SetDialogStatus(text);
}

const char *LinkFaultWord(LinkFault fault)
{
    switch (fault) {
    case LinkFault::None:
        return "";
    case LinkFault::Silent:
        return "silent";
    case LinkFault::Echo:
        return "echo";
    case LinkFault::Checksum:
        return "checksum";
    }
    return "";
}

void LogLinkLost(FrontEnd &ui, LinkFault fault)
{
    ui.AddLogShowingMessages(texts::LinkLost());
    if (fault == LinkFault::Echo)
        ui.AddLogShowingMessages(texts::EchoMismatch());
    else if (fault == LinkFault::Checksum)
        ui.AddLogShowingMessages(texts::ChecksumMismatch());
}

void ReportLinkLost(OperationContext &ctx, const std::string &status, Surface surface, LinkFault fault,
                    bool wedged)
{
    // An operation stopped on request has lost nothing; the front end that
    // asked says so itself.
    if (InterruptRequested()) return;
    ReportStatus(ctx, status, surface);
    LogLinkLost(ctx.ui, fault);
    if (wedged) ctx.ui.AddLogShowingMessages(texts::PowerCycleProgrammer());
}

OperationResult LinkLostResult(OperationContext &ctx, const std::string &status, Surface surface,
                               LinkFault fault, bool wedged)
{
    OperationResult result;
    result.kind = InterruptRequested() ? Outcome::Interrupted : Outcome::LinkLost;
    result.wedged = wedged;
    // A lost link always names its fault; one that came without a failed
    // exchange to show it (units never asked for) is taken for silence.
    if (result.kind == Outcome::LinkLost)
        result.linkFault = fault == LinkFault::None ? LinkFault::Silent : fault;
    ReportLinkLost(ctx, status, surface, fault, wedged);
    return result;
}

OperationResult RefusedResult(Refusal refusal)
{
    OperationResult result;
    result.kind = Outcome::Refused;
    result.refusal = refusal;
    return result;
}

std::string HexAtLeast(uint32_t value, int width)
{
    int digits = 1;
    for (uint32_t v = value >> 4; v != 0; v >>= 4)
        ++digits;
    return Hex(value, digits > width ? digits : width);
}

// ---- the check ----

namespace {

// Copies of what an earlier program kept of a chip of this kind and
// DEVICE-ID and could not put back: the chip in the socket may be the one
// that lost it.
void TellKeptCopies(OperationContext &ctx)
{
    const std::string device = DeviceName(ctx.device);
    const std::string id = CalibrationDeviceId(ctx.deviceId);
    for (const KeptCopy &copy : KeptCopiesFor(device, id)) {
        ctx.ui.AddLogShowingMessages(
            texts::KeptCopyPending(device, id, KeptMemoriesText(copy.regions), copy.time, copy.path));
        ctx.ui.AddLogShowingMessages(
            ctx.ui.KeptRestoreHint(ctx.port.PortName(), device, KeptRegionNames(copy.regions), copy.path));
    }
}

} // namespace

OperationResult CheckConnection(OperationContext &ctx)
{
    FrontEnd &ui = ctx.ui;
    const bool dialog = ctx.surface == Surface::ProgressDialog;
    ctx.deviceId.reset();
    if (!ctx.port.IsOpen()) {
        ui.AddLogShowingMessages(texts::PortNotOpen());
        ui.AddLog(ui.OpenPortAdvice());
        ui.SetStatus(texts::OpenPortStatus(Audience::Window));
        if (dialog) ui.SetDialogStatus(texts::OpenPortStatus(Audience::SmallBox));
        return RefusedResult(Refusal::NoPort);
    }

    // What the programmer still sends from a command nobody waited for (an
    // interrupted read) would spoil the first exchange.
    ctx.port.DrainInput();
    Link link{ctx.port, ctx.cmd, ctx.ui};
    // A programmer left in the middle of a command (its last host was
    // killed) is brought back before the check decides.
    const std::string reply = AskProgrammerVersion(link);
    // The version query waits out its short time-outs; let the window
    // repaint before the DEVICE-ID reads add their own exchanges.
    ui.ProcessMessages();
    if (!IsProgrammerReply(reply)) {
        ui.AddLogShowingMessages(texts::ProgrammerNotFound(ui.PortLabel(ctx.port.PortName())));
        ui.SetStatus(texts::CheckConnectionStatus(Audience::Window));
        if (dialog) ui.SetDialogStatus(texts::CheckConnectionStatus(Audience::SmallBox));
        return RefusedResult(Refusal::NoProgrammer);
    }

    if (!SelectionValid(ctx.device)) {
        RefuseNoDevice(ctx, ctx.surface);
        return RefusedResult(Refusal::NoDevice);
    }

    // The five low bits of an ID are the silicon revision and never compared.
    // The first read only proves that something answers; the second decides.
    // A read the programmer did not see through is a lost link, whatever
    // bits it brought. The ID read travels with the result, also when it
    // refuses the chip.
    const size_t row = static_cast<size_t>(ctx.device.Index);
    const bool pic18 = ctx.device.Pic18;
    const uint16_t expected = pic18 ? DeviceTable18[row].DeviceId : DeviceTable[row].DeviceId;
    const uint16_t mask = pic18 ? 0xFFE0 : 0x3FE0;
    if (!pic18 && expected == 0) { // nothing to compare, nothing sent
        TellKeptCopies(ctx);
        return {};
    }
    // Every command of the read is looked at as it ends (link.fault): the
    // first the programmer did not see through names the failure, which the
    // closing commands' Status would no longer show.
    link.fault = LinkFault::None;
    auto readId = [&] { return pic18 ? ReadDeviceId18(link) : ReadDeviceId(link, DeviceTable[row]); };
    const uint16_t first = readId();
    if (link.fault != LinkFault::None) return RefuseLinkLost(ctx, link.fault);
    if ((first & mask) == 0) {
        OperationResult none = RefuseDeviceId(ctx, Refusal::NoDeviceId);
        none.deviceId = pic18 ? first : static_cast<uint16_t>(first & 0x3FFF);
        return none;
    }
    ui.ProcessMessages();
    const uint16_t id = readId();
    if (link.fault != LinkFault::None) return RefuseLinkLost(ctx, link.fault);
    OperationResult result;
    if ((id & mask) != expected) result = RefuseDeviceId(ctx, Refusal::WrongDevice);
    result.deviceId = pic18 ? id : static_cast<uint16_t>(id & 0x3FFF);
    if (result.Ok()) {
        ctx.deviceId = result.deviceId;
        TellKeptCopies(ctx);
    }
    return result;
}

bool Pic18Gate(OperationContext &ctx)
{
    Link link{ctx.port, ctx.cmd, ctx.ui};
    if (CheckPic18Support(link) == 10) return true;
    ctx.ui.AddLogShowingMessages(texts::Pic18UnsupportedLog());
    ctx.ui.SetStatus(texts::Pic18Unsupported());
    return false;
}
