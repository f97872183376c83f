// Erase: the device's bulk-erase sequence, keeping the chip's factory
// calibration words (or replacing them with the typed values).
#define TARNVIK_OPERATIONS_INTERNAL
#include "operations/CalibrationLog.h"
#include "operations/detail.h"
#include "support/textutil.h"
#include "texts/erase_texts.h"

namespace {

struct CalibSlot {
    uint16_t address;
    uint16_t mask;
    uint16_t value;
};

// Moves the chip's address to a calibration slot inside a fresh entry.
void PositionAtSlot(Wire &wire, const TDeviceSpec &device, uint16_t address)
{
    if (address > ConfigAreaStart) {
        wire.LoadConf(0);
        wire.IncBy(address - ConfigAreaStart);
    } else {
        if (device.Is12Bit()) wire.Inc();
        wire.IncBy(address);
    }
}

// Each slot is read in a programming-mode entry of its own (also an empty
// one). False when any command or word did not come back.
bool ReadCalibration(Wire &wire, const TDeviceSpec &device, std::array<CalibSlot, 2> &slots)
{
    for (CalibSlot &slot : slots) {
        wire.Enter(device.EntryMode);
        if (slot.address != 0) {
            PositionAtSlot(wire, device, slot.address);
            slot.value = wire.ReadWord() & slot.mask;
        }
        wire.Exit(device.EntryMode);
    }
    return !wire.Failed();
}

void WriteCalibration(Wire &wire, const TDeviceSpec &device, const std::array<CalibSlot, 2> &slots)
{
    for (const CalibSlot &slot : slots) {
        wire.Enter(device.EntryMode);
        if (slot.address != 0) {
            PositionAtSlot(wire, device, slot.address);
            // In configuration space every bit outside the calibration bits
            // is written as 1, so only the calibration bits are programmed.
            const bool configSpace = slot.address > ConfigAreaStart;
            wire.LoadWord(configSpace ? static_cast<uint16_t>(slot.value | ~slot.mask) : slot.value);
            wire.Cycle(device.ProgramAlgorithm, device.ProgramWait);
        }
        wire.Exit(device.EntryMode);
    }
}

// A slot's line in the message log, by the text that says what was done.
std::string SlotLine(const CalibSlot &slot, std::string (*text)(const std::string &, const std::string &))
{
    return text(Hex(slot.address, 4), Hex(slot.value, 4));
}

// Whether the device's erase sequence clears the word at a calibration slot.
// Program memory (with a 12-bit core's backup word) and the configuration
// word go with every sequence; the words from 0x2008 on only with the
// sequence that starts its bulk erase past them, which only the
// calibration change selects.
bool EraseClears(const TDeviceSpec &device, uint16_t address, bool calibChange)
{
    return address < 0x2008 || (device.EraseAlgorithm == 2 && calibChange);
}

// Puts the values read into the calibration log, on the disk, before
// anything is erased: the log is what keeps them when the write-back fails.
// False when it could not and the erase is not to start.
bool LogCalibration(OperationContext &ctx, const TDeviceSpec &device, const std::array<CalibSlot, 2> &slots)
{
    std::vector<CalibrationEntry> entries;
    const std::string time = CalibrationTimeNow(), id = CalibrationDeviceId(ctx.deviceId);
    for (const CalibSlot &slot : slots)
        if (slot.address != 0) entries.push_back({time, device.Name, id, slot.address, slot.value});
    const std::string reason = AppendCalibration(entries);
    if (reason.empty()) return true;
    if (ctx.options.calibrationLogOptional) {
        ctx.ui.AddLogShowingMessages(texts::CalibLogNotWritten(CalibrationLogPath(), reason));
        return true;
    }
    ctx.ui.SetStatus(texts::CalibLogRefusedStatus());
    ctx.ui.CalibrationLogRefused(texts::CalibLogRefused(CalibrationLogPath(), reason));
    return false;
}

// Calibration words with every calibration bit set were erased before this
// erase; writing them back keeps them erased. The user is told, with what the
// log last recorded for this kind of chip, and decides. False when the
// erase is not to go on.
bool ErasedCalibrationAccepted(OperationContext &ctx, const TDeviceSpec &device,
                               const std::array<CalibSlot, 2> &slots)
{
    std::vector<std::string> lines;
    for (const CalibSlot &slot : slots) {
        if (slot.address == 0 || slot.value != slot.mask) continue;
        lines.push_back(SlotLine(slot, texts::CalibValueErased));
        if (const auto last = LastCalibration(device.Name, slot.address, slot.mask))
            lines.push_back(texts::CalibLastRecorded(Hex(last->value, 4), last->time, last->deviceId));
        else
            lines.push_back(texts::CalibNoneRecorded());
    }
    if (lines.empty()) return true;
    std::string text;
    for (const std::string &line : lines) {
        ctx.ui.AddLogShowingMessages(line);
        text += line + "\n";
    }
    if (ctx.ui.ConfirmErasedCalibration(text)) return true;
    ctx.ui.SetStatus(" !! " + texts::CalibErasedStop());
    ctx.ui.AddLogShowingMessages(texts::CalibErasedStop());
    return false;
}

OperationResult LinkLost(OperationContext &ctx, Wire &wire)
{
    const LinkFault fault = wire.Fault();
    const bool wedged = !wire.Abandon();
    return LinkLostResult(ctx, texts::WriteFailedStatus(), Surface::StatusLine, fault, wedged);
}

OperationResult Failed(Outcome kind, bool wedged, LinkFault fault)
{
    OperationResult result;
    result.kind = kind;
    result.wedged = wedged;
    if (kind != Outcome::Interrupted) result.linkFault = fault == LinkFault::None ? LinkFault::Silent : fault;
    return result;
}

// The calibration words may be gone from the chip: say so in the status
// line, and log each value with the way to put it back.
OperationResult CalibrationNotRestored(OperationContext &ctx, const TDeviceSpec &device,
                                       const std::array<CalibSlot, 2> &slots, bool wedged, LinkFault fault)
{
    FrontEnd &ui = ctx.ui;
    ui.SetStatus(texts::CalibNotRestoredStatus());
    LogLinkLost(ui, fault);
    if (wedged) ui.AddLogShowingMessages(texts::PowerCycleProgrammer());
    for (const CalibSlot &slot : slots)
        if (slot.address != 0) ui.AddLogShowingMessages(SlotLine(slot, texts::CalibRestoreValue));
    ui.AddLogShowingMessages(ui.CalibrationRestoreHint(device.Name, Hex(slots[0].value, 4),
                                                       slots[1].address ? Hex(slots[1].value, 4) : ""));
    return Failed(Outcome::CalibrationNotRestored, wedged, fault);
}

// Reads the calibration words before an erase, logs them and asks what
// must be asked; the result that ends the erase when it is not to go on.
// Erasing without the calibration in hand would lose it for good.
std::optional<OperationResult> CalibrationInHand(OperationContext &ctx, Wire &wire, const TDeviceSpec &device,
                                                 std::array<CalibSlot, 2> &slots)
{
    FrontEnd &ui = ctx.ui;
    if (!ReadCalibration(wire, device, slots)) {
        const LinkFault fault = wire.Fault();
        const bool wedged = !wire.Abandon();
        ui.SetStatus(texts::CalibUnreadable());
        ui.AddLogShowingMessages(texts::CalibUnreadable());
        if (wedged) ui.AddLogShowingMessages(texts::PowerCycleProgrammer());
        return Failed(InterruptRequested() ? Outcome::Interrupted : Outcome::CalibrationUnreadable, wedged,
                      fault);
    }
    for (const CalibSlot &slot : slots)
        if (slot.address != 0) ui.AddLog(SlotLine(slot, texts::CalibSlotRead));
    if (!LogCalibration(ctx, device, slots)) return RefusedResult(Refusal::CalibrationLogUnwritable);
    if (!ctx.options.calibChange && !ErasedCalibrationAccepted(ctx, device, slots))
        return RefusedResult(Refusal::ErasedCalibration);
    return std::nullopt;
}

// Even after a failed erase the chip may have lost its calibration; a fresh
// wire tries to put it back. A write-back that failed is tried once more
// from a new programming-mode entry, once the programmer is known to be back
// between commands; one that is not gets nothing more that could finish a
// command with a write. fault takes the write-back's failure when the erase
// had none; wedged says whether the programmer is stuck.
bool WriteCalibrationBack(OperationContext &ctx, const TDeviceSpec &device,
                          const std::array<CalibSlot, 2> &slots, bool &wedged, LinkFault &fault)
{
    for (int attempt = 0; attempt < 2 && !wedged; ++attempt) {
        Wire restore(ctx);
        WriteCalibration(restore, device, slots);
        if (!restore.Failed()) return true;
        if (fault == LinkFault::None) fault = restore.Fault();
        wedged = !restore.Abandon();
    }
    return false;
}

// The typed calibration values, now on the chip, into the buffer: only the
// calibration bits, so where a slot shares its word with the configuration
// (band-gap bits of 0x2007) the configuration bits of the buffer stay as
// they are.
void TakeTypedCalibration(OperationContext &ctx, const std::array<CalibSlot, 2> &slots)
{
    ctx.ui.AddLog(texts::CalibReplacedByTyped());
    for (const CalibSlot &slot : slots) {
        if (slot.address == 0) continue;
        uint16_t &word = ctx.buffer.Words[slot.address];
        word = static_cast<uint16_t>((word & ~slot.mask) | (slot.value & slot.mask));
    }
    ctx.ui.BufferChanged();
}

OperationResult Erase16(OperationContext &ctx, const TDeviceSpec &device)
{
    FrontEnd &ui = ctx.ui;
    const bool calibChange = ctx.options.calibChange;
    std::array<CalibSlot, 2> slots = {CalibSlot{device.CalibAddress1, device.CalibMask1, 0},
                                      CalibSlot{device.CalibAddress2, device.CalibMask2, 0}};
    if (calibChange && device.CalibAddress1 != 0 && !CalibChangeHonoured(device)) {
        ui.SetStatus(" !! " + texts::CalibChangeRefused());
        ui.AddLogShowingMessages(texts::CalibChangeRefused());
        return RefusedResult(Refusal::CalibChangeUnsupported);
    }
    Wire wire(ctx);

    if (device.CalibAddress1 != 0)
        if (auto stopped = CalibrationInHand(ctx, wire, device, slots)) return *stopped;

    wire.Enter(device.EntryMode);
    wire.EraseSequence(device, calibChange);
    wire.Exit(device.EntryMode);
    const bool eraseFailed = wire.Failed();
    // The erase's own failure decides what the link did, not what a
    // write-back after it ran into.
    LinkFault fault = wire.Fault();
    if (!eraseFailed) {
        ui.AddLog(texts::DeviceErased());
        ui.StatusRepeatsLog(texts::DeviceErased());
    }

    // After a failed erase only the values read before it go back: harmless
    // whether or not the erase happened, where a typed value would be
    // programmed over an unerased word.
    if (calibChange && !eraseFailed) {
        slots[0].value = ctx.options.cal1.value_or(slots[0].value);
        slots[1].value = ctx.options.cal2.value_or(slots[1].value);
    }
    // A failed erase leaves the programmer wherever the failure caught it;
    // nothing more is sent unless it is back between commands.
    bool wedged = eraseFailed && !wire.Abandon();
    // Rows with calibration at 0x2008 keep it through their erase sequence
    // unless the user replaces it.
    const bool writeBack = device.CalibAddress1 != 0 && (device.CalibAddress1 != 0x2008 || calibChange);
    if (writeBack) {
        if (!WriteCalibrationBack(ctx, device, slots, wedged, fault))
            return CalibrationNotRestored(ctx, device, slots, wedged, fault);
        for (const CalibSlot &slot : slots)
            if (slot.address != 0) ui.AddLog(SlotLine(slot, texts::CalibSlotWritten));
    }
    if (eraseFailed)
        return LinkLostResult(ctx, texts::WriteFailedStatus(), Surface::StatusLine, fault, wedged);

    if (calibChange) TakeTypedCalibration(ctx, slots);
    OperationResult done;
    done.calibrationReplaced = calibChange;
    return done;
}

OperationResult Erase18(OperationContext &ctx, const TDeviceSpec18 &device)
{
    Wire wire(ctx);
    wire.Enter(0);
    if (device.EraseKind == 0)
        wire.BulkErase18(0x0080, device.EraseWait);
    else if (device.EraseKind == 1)
        wire.BulkErase18(0x3F8F, device.EraseWait);
    wire.Exit(0);
    if (wire.Failed()) return LinkLost(ctx, wire);
    ctx.ui.AddLog(texts::DeviceErased());
    ctx.ui.StatusRepeatsLog(texts::DeviceErased());
    return {};
}

} // namespace

// A typed value over a word the erase keeps would be programmed onto the
// factory value with a program-only cycle, leaving neither.
bool CalibChangeHonoured(const TDeviceSpec &device)
{
    for (uint16_t address : {device.CalibAddress1, device.CalibAddress2})
        if (address != 0 && !EraseClears(device, address, true)) return false;
    return true;
}

OperationResult EraseDevice(OperationContext &ctx)
{
    // An erase is never cut between the erase and the calibration write-back:
    // an interrupt waits until the erase has ended and been reported.
    const InterruptHold hold;
    if (!ctx.device.Pic18) {
        const auto device = SelectedRow(ctx);
        return device ? Erase16(ctx, *device) : RefusedResult(Refusal::NoDevice);
    }
    if (!Pic18Gate(ctx)) return RefusedResult(Refusal::Pic18Unsupported);
    const auto device = SelectedRow18(ctx);
    return device ? Erase18(ctx, *device) : RefusedResult(Refusal::NoDevice);
}
