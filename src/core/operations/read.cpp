// Read, verify and blank check: the three operations that read the whole chip.
#define TARNVIK_OPERATIONS_INTERNAL
#include <memory>

#include "operations/CalibrationLog.h"
#include "operations/detail.h"
#include "support/textutil.h"
#include "texts/erase_texts.h"
#include "texts/operation_texts.h"
#include "texts/read_texts.h"

namespace {

// Program words compared by verify and blank check: the last one is left out
// when it holds the oscillator calibration instruction.
uint32_t ComparedWords(const TDeviceSpec &device)
{
    const bool calibInLastWord = device.CalibAddress1 != 0 && device.CalibAddress1 < 0x1000;
    return device.ProgramSize - (calibInLastWord ? 1 : 0);
}

uint32_t ConfigWordAddress(const TDeviceSpec &device)
{
    return device.Is12Bit() ? Config12BitWord : device.ConfigAddress1;
}

// How a whole-chip read ended, and the link's fault when it did not
// complete.
struct ReadEnd {
    enum Kind { Complete, Incomplete, Wedged } kind = Complete;
    LinkFault fault = LinkFault::None;
};

// Incomplete when anything the programmer should have confirmed or sent did
// not come, Wedged when it could not be brought back to a known state
// afterwards.
ReadEnd Ended(Wire &wire, bool complete)
{
    if (complete) return {};
    const LinkFault fault = wire.Fault();
    return {wire.Abandon() ? ReadEnd::Incomplete : ReadEnd::Wedged, fault};
}

// Reads the whole chip into image.
ReadEnd ReadWordImage(OperationContext &ctx, const TDeviceSpec &device, WordImage &image,
                      ProgressBar *progress)
{
    Wire wire(ctx);
    return Ended(wire, wire.ReadChip(device, image, progress));
}

ReadEnd ReadImage18(OperationContext &ctx, const TDeviceSpec18 &device, MemoryBuffer &image,
                    ProgressBar *progress)
{
    Wire wire(ctx);
    return Ended(wire, wire.ReadChip18(device, image, progress));
}

// The lost link of a read that did not complete.
OperationResult ReadLost(OperationContext &ctx, Surface surface, const ReadEnd &end)
{
    return LinkLostResult(ctx, texts::ReadFailedStatus(), surface, end.fault, end.kind == ReadEnd::Wedged);
}

// A PIC18 image sized for the device and erased, for what the chip sends.
std::unique_ptr<MemoryBuffer> ReadBack18(const TDeviceSpec18 &device)
{
    auto image = std::make_unique<MemoryBuffer>();
    image->Clear(device);
    return image;
}

// The buffer's PIC18 half as the device sees it: sized to the row even if
// the buffer was left at another size.
std::unique_ptr<MemoryBuffer> Fitted18(const MemoryBuffer &buffer, const TDeviceSpec18 &device)
{
    auto image = std::make_unique<MemoryBuffer>(buffer);
    image->Fit(device);
    return image;
}

// Ends a verify or blank check whose read came back incomplete: nothing was
// compared, so nothing may be reported as equal or blank.
OperationResult ReadIncomplete(OperationContext &ctx, const ReadEnd &end)
{
    return ReadLost(ctx, ctx.surface, end);
}

// Every calibration value read from a chip goes into the calibration log.
void LogReadCalibration(OperationContext &ctx, const TDeviceSpec &device)
{
    std::vector<CalibrationEntry> entries;
    const std::string time = CalibrationTimeNow(), id = CalibrationDeviceId(ctx.deviceId);
    const std::pair<uint16_t, uint16_t> slots[2] = {{device.CalibAddress1, device.CalibMask1},
                                                    {device.CalibAddress2, device.CalibMask2}};
    for (const auto &[address, mask] : slots)
        if (address != 0)
            entries.push_back(
                {time, device.Name, id, address, static_cast<uint16_t>(ctx.buffer.Words[address] & mask)});
    if (entries.empty()) return;
    if (const std::string reason = AppendCalibration(entries); !reason.empty())
        ctx.ui.AddLogShowingMessages(texts::CalibLogNotWritten(CalibrationLogPath(), reason));
}

// The memories asked for, from a whole-chip read into the buffer. Program
// memory carries the calibration words that live in it; the configuration
// area from 0x2000 holds the User-IDs, the configuration words and the
// calibration words beside them.
void TakeRegions(const TDeviceSpec &device, unsigned regions, const WordImage &chip, WordImage &buffer)
{
    if (regions == RegionAll) {
        buffer = chip;
        return;
    }
    auto take = [&](uint32_t from, uint32_t to) {
        for (uint32_t a = from; a < to && a < WordImageSize; ++a)
            buffer[a] = chip[a];
    };
    if (regions & RegionCode) take(0, device.ProgramSize);
    if (regions & RegionEEData) take(EEDataAreaStart, EEDataAreaStart + device.EEDataSize);
    if (regions & RegionUserId) take(device.UserIdAddress, device.UserIdAddress + 4u);
    if (regions & RegionConfig) {
        const uint32_t first = ConfigWordAddress(device);
        buffer[first] = chip[first];
        if (device.ConfigAddress2 != 0) buffer[device.ConfigAddress2] = chip[device.ConfigAddress2];
    }
    // The calibration words go with the buffer so that the read's log and
    // a later save carry them.
    for (uint16_t a : {device.CalibAddress1, device.CalibAddress2})
        if (a != 0) buffer[a] = chip[a];
}

} // namespace

const char *MemoryName(Memory memory)
{
    switch (memory) {
    case Memory::Program:
        return "Program Memory";
    case Memory::EEData:
        return "EEData Memory";
    case Memory::UserId:
        return "User-ID";
    case Memory::Configuration:
        return "Configuration";
    }
    return "";
}

// ---- read ----

namespace {

// A read's texts reach the progress dialog on either surface: the Small Box
// shows the last read whichever window ran it.
constexpr Surface ReadSurface = Surface::ProgressDialog;

} // namespace

OperationResult ReadDevice(OperationContext &ctx, ProgressBar *progress)
{
    if (progress) progress->SetPhase(Phase::Read);
    bool readProtected = false;
    // The chip is read into a scratch copy and taken over only when complete:
    // a programmer that stops answering leaves the buffer as it was.
    if (!ctx.device.Pic18) {
        const auto device = SelectedRow(ctx);
        if (!device) return RefusedResult(Refusal::NoDevice);
        auto image = std::make_unique<WordImage>(ctx.buffer.Words);
        if (const ReadEnd end = ReadWordImage(ctx, *device, *image, progress); end.kind != ReadEnd::Complete)
            return ReadLost(ctx, ReadSurface, end);
        auto chip = std::make_unique<MemoryBuffer>();
        chip->Words = *image;
        readProtected = ctx.options.protects && ctx.options.protects(ctx.device, *chip);
        TakeRegions(*device, ctx.options.regions, *image, ctx.buffer.Words);
        LogReadCalibration(ctx, *device);
    } else {
        if (!Pic18Gate(ctx)) {
            ctx.ui.SetDialogStatus(texts::Pic18Unsupported());
            return RefusedResult(Refusal::Pic18Unsupported);
        }
        const auto device = SelectedRow18(ctx);
        if (!device) return RefusedResult(Refusal::NoDevice);
        auto image = Fitted18(ctx.buffer, *device);
        if (const ReadEnd end = ReadImage18(ctx, *device, *image, progress); end.kind != ReadEnd::Complete)
            return ReadLost(ctx, ReadSurface, end);
        readProtected = ctx.options.protects && ctx.options.protects(ctx.device, *image);
        const unsigned regions = ctx.options.regions;
        if (regions & RegionCode) ctx.buffer.Program18 = std::move(image->Program18);
        if (regions & RegionEEData) ctx.buffer.EEData18 = std::move(image->EEData18);
        if (regions & RegionUserId) ctx.buffer.Id18 = image->Id18;
        if (regions & RegionConfig) ctx.buffer.Config18 = image->Config18;
        ctx.buffer.Fit(*device);
    }
    ctx.ui.BufferChanged();
    ctx.ui.SetStatus(texts::ReadIntoBuffer());
    ctx.ui.AddLog(texts::ReadIntoBuffer());
    ctx.ui.SetDialogStatus(texts::ReadIntoBuffer());
    OperationResult result;
    if (readProtected) {
        ctx.ui.AddLogShowingMessages(texts::ReadProtected());
        result.readProtected = true;
    }
    return result;
}

OperationResult ReadEEData(OperationContext &ctx)
{
    if (!ctx.device.Pic18) {
        const auto device = SelectedRow(ctx);
        if (!device) return RefusedResult(Refusal::NoDevice);
        auto image = std::make_unique<WordImage>(ctx.buffer.Words);
        if (const ReadEnd end = ReadWordImage(ctx, *device, *image, nullptr); end.kind != ReadEnd::Complete)
            return ReadLost(ctx, Surface::StatusLine, end);
        for (uint32_t i = 0; i < device->EEDataSize; ++i)
            ctx.buffer.Words[EEDataAreaStart + i] = (*image)[EEDataAreaStart + i];
    } else {
        if (!Pic18Gate(ctx)) return RefusedResult(Refusal::Pic18Unsupported);
        const auto device = SelectedRow18(ctx);
        if (!device) return RefusedResult(Refusal::NoDevice);
        auto image = Fitted18(ctx.buffer, *device);
        if (const ReadEnd end = ReadImage18(ctx, *device, *image, nullptr); end.kind != ReadEnd::Complete)
            return ReadLost(ctx, Surface::StatusLine, end);
        ctx.buffer.Fit(*device);
        ctx.buffer.EEData18 = std::move(image->EEData18);
    }
    ctx.ui.BufferChanged();
    ctx.ui.AddLog(texts::EEDataRead());
    return {};
}

// ---- verify ----

namespace {

// The User-IDs are compared when asked for, or when named among the
// memories of a command that does not take them all.
bool ComparesUserIds(const OperationOptions &options)
{
    return (options.regions & RegionUserId) && (options.verifyUserId || options.regions != RegionAll);
}

// Collects a verify's differences: every one counted, the first
// VerifyListed of each memory kept, the first of each also logged as the
// window has always named it.
class DifferenceList {
public:
    DifferenceList(OperationContext &ctx, OperationResult &result) : ctx_(ctx), result_(result) {}

    // firstText: the log line for the first difference of the memory.
    void Add(Memory memory, bool bytes, uint32_t address, uint32_t file, uint32_t chip,
             const std::string &firstText)
    {
        if (result_.differing.empty() || result_.differing.back().memory != memory) {
            result_.differing.push_back({memory, 0, bytes});
            ctx_.ui.AddLogShowingMessages(firstText);
        }
        MemoryDifferences &counted = result_.differing.back();
        if (++counted.count <= VerifyListed) result_.differences.push_back({memory, address, file, chip});
    }

private:
    OperationContext &ctx_;
    OperationResult &result_;
};

void VerifyWords(OperationContext &ctx, const TDeviceSpec &device, const WordImage &chip,
                 OperationResult &result)
{
    DifferenceList found(ctx, result);
    const WordImage &buffer = ctx.buffer.Words;
    const unsigned regions = ctx.options.regions;

    const uint16_t blank = device.BlankWord;
    for (uint32_t k = 0; k < ((regions & RegionCode) ? ComparedWords(device) : 0); ++k)
        if ((chip[k] & blank) != (buffer[k] & blank))
            found.Add(Memory::Program, false, k, buffer[k] & blank, chip[k] & blank,
                      texts::ProgramWordDiffers(Hex(k, 4)));
    for (uint32_t i = 0; i < ((regions & RegionEEData) ? device.EEDataSize : 0); ++i) {
        const uint32_t a = EEDataAreaStart + i;
        if ((chip[a] & 0xFF) != (buffer[a] & 0xFF))
            found.Add(Memory::EEData, true, i, buffer[a] & 0xFFu, chip[a] & 0xFFu,
                      texts::EEDataDiffers(Hex(i, 4)));
    }
    if (ComparesUserIds(ctx.options))
        for (uint32_t i = 0; i < 4; ++i) {
            const uint32_t a = device.UserIdAddress + i;
            if ((chip[a] & 0xF) != (buffer[a] & 0xF))
                found.Add(Memory::UserId, false, i, buffer[a] & 0xFu, chip[a] & 0xFu, texts::UserIdDiffers());
        }
    const std::pair<uint32_t, uint16_t> words[2] = {{ConfigWordAddress(device), device.ConfigMask1},
                                                    {device.ConfigAddress2, device.ConfigMask2}};
    for (const auto &[a, mask] : words)
        if ((regions & RegionConfig) && a != 0 && (chip[a] & mask) != (buffer[a] & mask))
            found.Add(Memory::Configuration, false, a, buffer[a] & mask, chip[a] & mask,
                      texts::ConfigurationDiffers());
}

void VerifyBytes18(OperationContext &ctx, const TDeviceSpec18 &device, const MemoryBuffer &chip,
                   OperationResult &result)
{
    DifferenceList found(ctx, result);
    const auto buffer = Fitted18(ctx.buffer, device);
    const unsigned regions = ctx.options.regions;

    for (uint32_t i = 0; i < ((regions & RegionCode) ? device.ProgramSize : 0); ++i)
        if (chip.Program18[i] != buffer->Program18[i])
            found.Add(Memory::Program, true, i, buffer->Program18[i], chip.Program18[i],
                      texts::ProgramWordDiffers(HexAtLeast(i, 6)));
    for (uint32_t i = 0; i < ((regions & RegionEEData) ? device.EEDataSize : 0); ++i)
        if (chip.EEData18[i] != buffer->EEData18[i])
            found.Add(Memory::EEData, true, i, buffer->EEData18[i], chip.EEData18[i],
                      texts::EEDataDiffers(HexAtLeast(i, 4)));
    if (ComparesUserIds(ctx.options))
        for (uint32_t i = 0; i < 8; ++i)
            if ((chip.Id18[i] & 0xF) != (buffer->Id18[i] & 0xF))
                found.Add(Memory::UserId, true, i, buffer->Id18[i] & 0xFu, chip.Id18[i] & 0xFu,
                          texts::UserIdDiffers());
    // Only the buffer side is masked: unimplemented bits read 0 on the chip,
    // so a chip byte with bits outside the mask is reported.
    for (size_t i = 0; i < ((regions & RegionConfig) ? 14u : 0u); ++i) {
        if ((buffer->Config18[i] & device.ConfigMask[i]) != chip.Config18[i]) {
            const uint32_t address = 0x300000 + static_cast<uint32_t>(i);
            found.Add(Memory::Configuration, true, address, buffer->Config18[i] & device.ConfigMask[i],
                      chip.Config18[i], texts::ConfigurationWordDiffers(HexAtLeast(address, 6)));
        }
    }
}

// The report after a verify found differences: per memory the count, then
// the first ones with the file's and the chip's values.
void ReportDifferences(OperationContext &ctx, const OperationResult &result, bool pic18)
{
    for (const MemoryDifferences &m : result.differing) {
        ctx.ui.AddLogShowingMessages(texts::MemoryDiffers(MemoryName(m.memory), m.count, m.bytes));
        const int digits = m.bytes ? 2 : 4;
        for (const Difference &d : result.differences) {
            if (d.memory != m.memory) continue;
            const int width = pic18 && d.memory == Memory::Program ? 6 : 4;
            ctx.ui.AddLogShowingMessages("  " + ctx.ui.DifferenceLine(HexAtLeast(d.address, width),
                                                                      Hex(d.file.value_or(0), digits),
                                                                      Hex(d.chip.value_or(0), digits)));
        }
        if (m.count > VerifyListed) ctx.ui.AddLogShowingMessages("  …");
    }
}

// ---- blank check ----

void BlankWords(OperationContext &ctx, const TDeviceSpec &device, const WordImage &chip,
                OperationResult &result)
{
    std::vector<Difference> &found = result.differences;
    FrontEnd &ui = ctx.ui;
    for (uint32_t k = 0; k < ComparedWords(device); ++k) {
        if ((chip[k] & device.BlankWord) != device.BlankWord) {
            ui.AddLogShowingMessages(texts::ProgramNotBlank(Hex(k, 4)));
            found.push_back({Memory::Program, k, device.BlankWord, chip[k] & device.BlankWord});
            break;
        }
    }
    for (uint32_t i = 0; i < device.EEDataSize; ++i) {
        if ((chip[EEDataAreaStart + i] & 0xFF) != 0xFF) {
            ui.AddLogShowingMessages(texts::EEDataNotBlank(Hex(i, 4)));
            found.push_back({Memory::EEData, i, 0xFFu, chip[EEDataAreaStart + i] & 0xFFu});
            break;
        }
    }
    // Bits outside the masks are calibration bits and stay programmed.
    const uint32_t a = ConfigWordAddress(device);
    std::optional<Difference> config;
    if ((chip[a] & device.ConfigMask1) != device.ConfigMask1)
        config = Difference{Memory::Configuration, a, device.ConfigMask1, chip[a] & device.ConfigMask1};
    else if (device.ConfigAddress2 != 0 &&
             (chip[device.ConfigAddress2] & device.ConfigMask2) != device.ConfigMask2)
        config = Difference{Memory::Configuration, device.ConfigAddress2, device.ConfigMask2,
                            chip[device.ConfigAddress2] & device.ConfigMask2};
    if (config) {
        ui.AddLogShowingMessages(texts::ConfigurationNotBlank());
        found.push_back(*config);
    }
}

void BlankBytes18(OperationContext &ctx, const TDeviceSpec18 &device, const MemoryBuffer &chip,
                  OperationResult &result)
{
    std::vector<Difference> &found = result.differences;
    FrontEnd &ui = ctx.ui;
    for (uint32_t i = 0; i < device.ProgramSize; ++i) {
        if (chip.Program18[i] != 0xFF) {
            ui.AddLogShowingMessages(texts::ProgramNotBlank(HexAtLeast(i, 4)));
            found.push_back({Memory::Program, i, 0xFFu, chip.Program18[i]});
            break;
        }
    }
    for (uint32_t i = 0; i < device.EEDataSize; ++i) {
        if (chip.EEData18[i] != 0xFF) {
            ui.AddLogShowingMessages(texts::EEDataNotBlank(HexAtLeast(i, 4)));
            found.push_back({Memory::EEData, i, 0xFFu, chip.EEData18[i]});
            break;
        }
    }
    for (size_t i = 0; i < 14; ++i) {
        if ((chip.Config18[i] & device.ConfigMask[i]) != device.ConfigDefault[i]) {
            ui.AddLogShowingMessages(texts::ConfigurationNotBlank());
            found.push_back({Memory::Configuration, 0x300000 + static_cast<uint32_t>(i),
                             device.ConfigDefault[i], chip.Config18[i] & device.ConfigMask[i]});
            break;
        }
    }
}

// Verify and blank check read the chip into a scratch image the same way and
// differ only in how they judge it and in their texts.
struct Judgement {
    void (*words)(OperationContext &, const TDeviceSpec &, const WordImage &, OperationResult &);
    void (*bytes18)(OperationContext &, const TDeviceSpec18 &, const MemoryBuffer &, OperationResult &);
    Phase phase;
    Outcome otherwise; // the outcome of a chip found wanting
    std::string (*failStatus)();
    std::string (*okText)();
};

OperationResult ReadAndJudge(OperationContext &ctx, ProgressBar *progress, const Judgement &judgement)
{
    if (progress) progress->SetPhase(judgement.phase);
    OperationResult result;
    if (!ctx.device.Pic18) {
        const auto device = SelectedRow(ctx);
        if (!device) return RefusedResult(Refusal::NoDevice);
        auto chip = std::make_unique<WordImage>();
        chip->fill(device->BlankWord);
        if (const ReadEnd end = ReadWordImage(ctx, *device, *chip, progress); end.kind != ReadEnd::Complete)
            return ReadIncomplete(ctx, end);
        judgement.words(ctx, *device, *chip, result);
    } else {
        if (!Pic18Gate(ctx)) return RefusedResult(Refusal::Pic18Unsupported);
        const auto device = SelectedRow18(ctx);
        if (!device) return RefusedResult(Refusal::NoDevice);
        auto chip = ReadBack18(*device);
        if (const ReadEnd end = ReadImage18(ctx, *device, *chip, progress); end.kind != ReadEnd::Complete)
            return ReadIncomplete(ctx, end);
        judgement.bytes18(ctx, *device, *chip, result);
    }
    if (!result.differences.empty()) {
        ReportDifferences(ctx, result, ctx.device.Pic18);
        ReportStatus(ctx, judgement.failStatus(), ctx.surface);
        result.kind = judgement.otherwise;
        return result;
    }
    ctx.ui.AddLog(judgement.okText());
    ctx.ui.StatusRepeatsLog(judgement.okText());
    if (ctx.surface == Surface::ProgressDialog) ctx.ui.SetDialogStatus(judgement.okText());
    return result;
}

} // namespace

OperationResult VerifyDevice(OperationContext &ctx, ProgressBar *progress)
{
    return ReadAndJudge(ctx, progress,
                        {VerifyWords, VerifyBytes18, Phase::Verify, Outcome::VerifyMismatch,
                         texts::VerifyMismatchStatus, texts::VerifyOk});
}

OperationResult BlankCheckDevice(OperationContext &ctx, ProgressBar *progress)
{
    return ReadAndJudge(ctx, progress,
                        {BlankWords, BlankBytes18, Phase::BlankCheck, Outcome::NotBlank,
                         texts::NotBlankStatus, texts::DeviceBlank});
}
