// Read, verify and blank check: the three operations that read the whole chip.
#define TARNVIK_OPERATIONS_INTERNAL
#include <memory>

#include "operations/CalibrationLog.h"
#include "operations/detail.h"
#include "support/textutil.h"

namespace {

constexpr const char *ReadDoneText = "デバイスからバッファに読み込みました。";
constexpr const char *Pic18RefusedText = " PIC18をサポートしていません！";

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

// How a whole-chip read ended.
enum class ReadEnd { Complete, Incomplete, Wedged };

// Reads the whole chip into image; Incomplete when anything the programmer
// should have confirmed or sent did not come, Wedged when it could not be
// brought back to a known state afterwards.
ReadEnd ReadWordImage(OperationContext &ctx, const TDeviceSpec &device, WordImage &image,
                      ProgressBar *progress)
{
    Wire wire(ctx);
    if (wire.ReadChip(device, image, progress)) return ReadEnd::Complete;
    return wire.Abandon() ? ReadEnd::Incomplete : ReadEnd::Wedged;
}

ReadEnd ReadImage18(OperationContext &ctx, const TDeviceSpec18 &device, MemoryBuffer &image,
                    ProgressBar *progress)
{
    Wire wire(ctx);
    if (wire.ReadChip18(device, image, progress)) return ReadEnd::Complete;
    return wire.Abandon() ? ReadEnd::Incomplete : ReadEnd::Wedged;
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
OperationResult ReadIncomplete(OperationContext &ctx, ProgressBar *progress, ReadEnd end)
{
    return LinkLostResult(ctx, ReadFailedStatus, IsDialogBar(ctx, progress), end == ReadEnd::Wedged);
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
        ctx.ui.AddLogShowingMessages(
            "!キャリブレーションログに書き込めませんでした: " + CalibrationLogPath() + "（" + reason + "）");
}

} // namespace

// ---- read ----

OperationResult ReadDevice(OperationContext &ctx, ProgressBar *progress)
{
    if (progress) progress->SetPhase(Phase::Read);
    // The chip is read into a scratch copy and taken over only when complete:
    // a programmer that stops answering leaves the buffer as it was.
    if (!ctx.device.Pic18) {
        const auto device = SelectedRow(ctx);
        if (!device) return RefusedResult(Refusal::NoDevice);
        auto image = std::make_unique<WordImage>(ctx.buffer.Words);
        if (const ReadEnd end = ReadWordImage(ctx, *device, *image, progress); end != ReadEnd::Complete)
            return LinkLostResult(ctx, ReadFailedStatus, progress != nullptr, end == ReadEnd::Wedged);
        ctx.buffer.Words = *image;
        LogReadCalibration(ctx, *device);
    } else {
        if (!Pic18Gate(ctx)) {
            if (progress) ctx.ui.SetDialogStatus(Pic18RefusedText);
            return RefusedResult(Refusal::Pic18Unsupported);
        }
        const auto device = SelectedRow18(ctx);
        if (!device) return RefusedResult(Refusal::NoDevice);
        auto image = Fitted18(ctx.buffer, *device);
        if (const ReadEnd end = ReadImage18(ctx, *device, *image, progress); end != ReadEnd::Complete)
            return LinkLostResult(ctx, ReadFailedStatus, progress != nullptr, end == ReadEnd::Wedged);
        ctx.buffer.Program18 = std::move(image->Program18);
        ctx.buffer.EEData18 = std::move(image->EEData18);
        ctx.buffer.Id18 = image->Id18;
        ctx.buffer.Config18 = image->Config18;
    }
    ctx.ui.BufferChanged();
    ctx.ui.SetStatus(ReadDoneText);
    ctx.ui.AddLog(ReadDoneText);
    if (progress) ctx.ui.SetDialogStatus(ReadDoneText);
    return {};
}

// ---- verify ----

namespace {

void VerifyWords(OperationContext &ctx, const TDeviceSpec &device, const WordImage &chip,
                 std::vector<Difference> &found)
{
    FrontEnd &ui = ctx.ui;
    const WordImage &buffer = ctx.buffer.Words;

    const uint16_t blank = device.BlankWord;
    for (uint32_t k = 0; k < ComparedWords(device); ++k) {
        if ((chip[k] & blank) != (buffer[k] & blank)) {
            ui.AddLogShowingMessages("Program Memory $" + Hex(k, 4) + " が一致しません。");
            found.push_back({Memory::Program, k, buffer[k] & blank, chip[k] & blank});
            break;
        }
    }
    for (uint32_t i = 0; i < device.EEDataSize; ++i) {
        const uint32_t a = EEDataAreaStart + i;
        if ((chip[a] & 0xFF) != (buffer[a] & 0xFF)) {
            ui.AddLogShowingMessages("EEData Memory " + Hex(i, 4) + "が一致しません。");
            found.push_back({Memory::EEData, i, buffer[a] & 0xFFu, chip[a] & 0xFFu});
            break;
        }
    }
    if (ctx.options.verifyUserId) {
        std::optional<uint32_t> idDiffers;
        for (uint32_t i = 4; i-- > 0;)
            if ((chip[device.UserIdAddress + i] & 0xF) != (buffer[device.UserIdAddress + i] & 0xF))
                idDiffers = i;
        if (idDiffers) {
            ui.AddLogShowingMessages("User-ID が一致しません。");
            const uint32_t a = device.UserIdAddress + *idDiffers;
            found.push_back({Memory::UserId, *idDiffers, buffer[a] & 0xFu, chip[a] & 0xFu});
        }
    }
    const uint32_t a = ConfigWordAddress(device);
    std::optional<Difference> config;
    if ((chip[a] & device.ConfigMask1) != (buffer[a] & device.ConfigMask1))
        config = Difference{Memory::Configuration, a, buffer[a] & device.ConfigMask1,
                            chip[a] & device.ConfigMask1};
    if (device.ConfigAddress2 != 0 && !config) {
        const uint32_t a2 = device.ConfigAddress2;
        if ((chip[a2] & device.ConfigMask2) != (buffer[a2] & device.ConfigMask2))
            config = Difference{Memory::Configuration, a2, buffer[a2] & device.ConfigMask2,
                                chip[a2] & device.ConfigMask2};
    }
    if (config) {
        ui.AddLogShowingMessages("Configurationが一致しません。");
        found.push_back(*config);
    }
}

void VerifyBytes18(OperationContext &ctx, const TDeviceSpec18 &device, const MemoryBuffer &chip,
                   std::vector<Difference> &found)
{
    FrontEnd &ui = ctx.ui;
    const auto buffer = Fitted18(ctx.buffer, device);

    for (uint32_t i = 0; i < device.ProgramSize; ++i) {
        if (chip.Program18[i] != buffer->Program18[i]) {
            ui.AddLogShowingMessages("Program Memory $" + HexAtLeast(i, 6) + " が一致しません。");
            found.push_back({Memory::Program, i, buffer->Program18[i], chip.Program18[i]});
            break;
        }
    }
    for (uint32_t i = 0; i < device.EEDataSize; ++i) {
        if (chip.EEData18[i] != buffer->EEData18[i]) {
            ui.AddLogShowingMessages("EEData Memory " + HexAtLeast(i, 4) + "が一致しません。");
            found.push_back({Memory::EEData, i, buffer->EEData18[i], chip.EEData18[i]});
            break;
        }
    }
    if (ctx.options.verifyUserId) {
        std::optional<uint32_t> idDiffers;
        for (size_t i = 8; i-- > 0;)
            if ((chip.Id18[i] & 0xF) != (buffer->Id18[i] & 0xF)) idDiffers = static_cast<uint32_t>(i);
        if (idDiffers) {
            ui.AddLogShowingMessages("User-ID が一致しません。");
            found.push_back(
                {Memory::UserId, *idDiffers, buffer->Id18[*idDiffers] & 0xFu, chip.Id18[*idDiffers] & 0xFu});
        }
    }
    // Only the buffer side is masked: unimplemented bits read 0 on the chip,
    // so a chip byte with bits outside the mask is reported.
    for (size_t i = 0; i < 14; ++i) {
        if ((buffer->Config18[i] & device.ConfigMask[i]) != chip.Config18[i]) {
            const uint32_t address = 0x300000 + static_cast<uint32_t>(i);
            ui.AddLogShowingMessages("Configuration Word $" + HexAtLeast(address, 6) + " が一致しません。");
            found.push_back({Memory::Configuration, address, buffer->Config18[i] & device.ConfigMask[i],
                             chip.Config18[i]});
            break;
        }
    }
}

// ---- blank check ----

void BlankWords(OperationContext &ctx, const TDeviceSpec &device, const WordImage &chip,
                std::vector<Difference> &found)
{
    FrontEnd &ui = ctx.ui;
    for (uint32_t k = 0; k < ComparedWords(device); ++k) {
        if ((chip[k] & device.BlankWord) != device.BlankWord) {
            ui.AddLogShowingMessages("Program Memory $" + Hex(k, 4) + " がブランクではありません。");
            found.push_back({Memory::Program, k, device.BlankWord, chip[k] & device.BlankWord});
            break;
        }
    }
    for (uint32_t i = 0; i < device.EEDataSize; ++i) {
        if ((chip[EEDataAreaStart + i] & 0xFF) != 0xFF) {
            ui.AddLogShowingMessages("EEData Memory " + Hex(i, 4) + "がブランクではありません。");
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
        ui.AddLogShowingMessages("Configurationがブランクではありません。");
        found.push_back(*config);
    }
}

void BlankBytes18(OperationContext &ctx, const TDeviceSpec18 &device, const MemoryBuffer &chip,
                  std::vector<Difference> &found)
{
    FrontEnd &ui = ctx.ui;
    for (uint32_t i = 0; i < device.ProgramSize; ++i) {
        if (chip.Program18[i] != 0xFF) {
            ui.AddLogShowingMessages("Program Memory $" + HexAtLeast(i, 4) + " がブランクではありません。");
            found.push_back({Memory::Program, i, 0xFFu, chip.Program18[i]});
            break;
        }
    }
    for (uint32_t i = 0; i < device.EEDataSize; ++i) {
        if (chip.EEData18[i] != 0xFF) {
            ui.AddLogShowingMessages("EEData Memory " + HexAtLeast(i, 4) + "がブランクではありません。");
            found.push_back({Memory::EEData, i, 0xFFu, chip.EEData18[i]});
            break;
        }
    }
    for (size_t i = 0; i < 14; ++i) {
        if ((chip.Config18[i] & device.ConfigMask[i]) != device.ConfigDefault[i]) {
            ui.AddLogShowingMessages("Configurationがブランクではありません。");
            found.push_back({Memory::Configuration, 0x300000 + static_cast<uint32_t>(i),
                             device.ConfigDefault[i], chip.Config18[i] & device.ConfigMask[i]});
            break;
        }
    }
}

// Verify and blank check read the chip into a scratch image the same way and
// differ only in how they judge it and in their texts.
struct Judgement {
    void (*words)(OperationContext &, const TDeviceSpec &, const WordImage &, std::vector<Difference> &);
    void (*bytes18)(OperationContext &, const TDeviceSpec18 &, const MemoryBuffer &,
                    std::vector<Difference> &);
    Phase phase;
    Outcome otherwise; // the outcome of a chip found wanting
    const char *failStatus;
    const char *okText;
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
        if (const ReadEnd end = ReadWordImage(ctx, *device, *chip, progress); end != ReadEnd::Complete)
            return ReadIncomplete(ctx, progress, end);
        judgement.words(ctx, *device, *chip, result.differences);
    } else {
        if (!Pic18Gate(ctx)) return RefusedResult(Refusal::Pic18Unsupported);
        const auto device = SelectedRow18(ctx);
        if (!device) return RefusedResult(Refusal::NoDevice);
        auto chip = ReadBack18(*device);
        if (const ReadEnd end = ReadImage18(ctx, *device, *chip, progress); end != ReadEnd::Complete)
            return ReadIncomplete(ctx, progress, end);
        judgement.bytes18(ctx, *device, *chip, result.differences);
    }
    const bool toDialog = IsDialogBar(ctx, progress);
    if (!result.differences.empty()) {
        ReportStatus(ctx, judgement.failStatus, toDialog);
        result.kind = judgement.otherwise;
        return result;
    }
    ctx.ui.AddLog(judgement.okText);
    ReportStatus(ctx, judgement.okText, toDialog);
    return result;
}

} // namespace

OperationResult VerifyDevice(OperationContext &ctx, ProgressBar *progress)
{
    return ReadAndJudge(ctx, progress,
                        {VerifyWords, VerifyBytes18, Phase::Verify, Outcome::VerifyMismatch,
                         " !! 一致しません。", "ベリファイOK。一致しました。"});
}

OperationResult BlankCheckDevice(OperationContext &ctx, ProgressBar *progress)
{
    return ReadAndJudge(ctx, progress,
                        {BlankWords, BlankBytes18, Phase::BlankCheck, Outcome::NotBlank,
                         " !! ブランクではありません。", "デバイスはブランクです。"});
}
