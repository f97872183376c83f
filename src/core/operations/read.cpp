// Read, verify and blank check: the three operations that read the whole chip.
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
int ReadIncomplete(OperationContext &ctx, ProgressBar *progress, ReadEnd end)
{
    ReportLinkLost(ctx, ReadFailedStatus, IsDialogBar(ctx, progress), end == ReadEnd::Wedged);
    return NotJudged;
}

// Every calibration value read from a chip goes into the calibration log.
void LogReadCalibration(OperationContext &ctx, const TDeviceSpec &device)
{
    std::vector<CalibrationEntry> entries;
    const std::string time = CalibrationTimeNow(), id = NotedDeviceId(device.Name);
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

bool ReadDevice(OperationContext &ctx, ProgressBar *progress)
{
    // The chip is read into a scratch copy and taken over only when complete:
    // a programmer that stops answering leaves the buffer as it was.
    if (!ctx.ui.Pic18Family()) {
        const auto device = SelectedRow(ctx);
        if (!device) return false;
        auto image = std::make_unique<WordImage>(ctx.buffer.Words);
        if (const ReadEnd end = ReadWordImage(ctx, *device, *image, progress); end != ReadEnd::Complete) {
            ReportLinkLost(ctx, ReadFailedStatus, progress != nullptr, end == ReadEnd::Wedged);
            return false;
        }
        ctx.buffer.Words = *image;
        LogReadCalibration(ctx, *device);
    } else {
        if (!Pic18Gate(ctx)) {
            if (progress) ctx.ui.SetDialogStatus(Pic18RefusedText);
            return false;
        }
        const auto device = SelectedRow18(ctx);
        if (!device) return false;
        auto image = Fitted18(ctx.buffer, *device);
        if (const ReadEnd end = ReadImage18(ctx, *device, *image, progress); end != ReadEnd::Complete) {
            ReportLinkLost(ctx, ReadFailedStatus, progress != nullptr, end == ReadEnd::Wedged);
            return false;
        }
        ctx.buffer.Program18 = std::move(image->Program18);
        ctx.buffer.EEData18 = std::move(image->EEData18);
        ctx.buffer.Id18 = image->Id18;
        ctx.buffer.Config18 = image->Config18;
    }
    ctx.ui.BufferChanged();
    ctx.ui.SetStatus(ReadDoneText);
    ctx.ui.AddLog(ReadDoneText);
    if (progress) ctx.ui.SetDialogStatus(ReadDoneText);
    return true;
}

// ---- verify ----

namespace {

bool VerifyWords(OperationContext &ctx, const TDeviceSpec &device, const WordImage &chip)
{
    FrontEnd &ui = ctx.ui;
    const WordImage &buffer = ctx.buffer.Words;
    bool differs = false;

    const uint16_t blank = device.BlankWord;
    for (uint32_t k = 0; k < ComparedWords(device); ++k) {
        if ((chip[k] & blank) != (buffer[k] & blank)) {
            ui.AddLogShowingMessages("Program Memory $" + Hex(k, 4) + " が一致しません。");
            differs = true;
            break;
        }
    }
    for (uint32_t i = 0; i < device.EEDataSize; ++i) {
        if ((chip[EEDataAreaStart + i] & 0xFF) != (buffer[EEDataAreaStart + i] & 0xFF)) {
            ui.AddLogShowingMessages("EEData Memory " + Hex(i, 4) + "が一致しません。");
            differs = true;
            break;
        }
    }
    if (ui.VerifyUserId()) {
        bool idDiffers = false;
        for (uint32_t i = 0; i < 4; ++i)
            if ((chip[device.UserIdAddress + i] & 0xF) != (buffer[device.UserIdAddress + i] & 0xF))
                idDiffers = true;
        if (idDiffers) {
            ui.AddLogShowingMessages("User-ID が一致しません。");
            differs = true;
        }
    }
    const uint32_t a = ConfigWordAddress(device);
    bool configDiffers = (chip[a] & device.ConfigMask1) != (buffer[a] & device.ConfigMask1);
    if (device.ConfigAddress2 != 0) {
        const uint32_t a2 = device.ConfigAddress2;
        if ((chip[a2] & device.ConfigMask2) != (buffer[a2] & device.ConfigMask2)) configDiffers = true;
    }
    if (configDiffers) {
        ui.AddLogShowingMessages("Configurationが一致しません。");
        differs = true;
    }
    return !differs;
}

bool VerifyBytes18(OperationContext &ctx, const TDeviceSpec18 &device, const MemoryBuffer &chip)
{
    FrontEnd &ui = ctx.ui;
    const auto buffer = Fitted18(ctx.buffer, device);
    bool differs = false;

    for (uint32_t i = 0; i < device.ProgramSize; ++i) {
        if (chip.Program18[i] != buffer->Program18[i]) {
            ui.AddLogShowingMessages("Program Memory $" + HexAtLeast(i, 6) + " が一致しません。");
            differs = true;
            break;
        }
    }
    for (uint32_t i = 0; i < device.EEDataSize; ++i) {
        if (chip.EEData18[i] != buffer->EEData18[i]) {
            ui.AddLogShowingMessages("EEData Memory " + HexAtLeast(i, 4) + "が一致しません。");
            differs = true;
            break;
        }
    }
    if (ui.VerifyUserId()) {
        bool idDiffers = false;
        for (size_t i = 0; i < 8; ++i)
            if ((chip.Id18[i] & 0xF) != (buffer->Id18[i] & 0xF)) idDiffers = true;
        if (idDiffers) {
            ui.AddLogShowingMessages("User-ID が一致しません。");
            differs = true;
        }
    }
    // Only the buffer side is masked: unimplemented bits read 0 on the chip,
    // so a chip byte with bits outside the mask is reported.
    for (size_t i = 0; i < 14; ++i) {
        if ((buffer->Config18[i] & device.ConfigMask[i]) != chip.Config18[i]) {
            ui.AddLogShowingMessages("Configuration Word $" +
                                     HexAtLeast(0x300000 + static_cast<uint32_t>(i), 6) +
                                     " が一致しません。");
            differs = true;
            break;
        }
    }
    return !differs;
}

// ---- blank check ----

bool BlankWords(OperationContext &ctx, const TDeviceSpec &device, const WordImage &chip)
{
    FrontEnd &ui = ctx.ui;
    bool blank = true;
    for (uint32_t k = 0; k < ComparedWords(device); ++k) {
        if ((chip[k] & device.BlankWord) != device.BlankWord) {
            ui.AddLogShowingMessages("Program Memory $" + Hex(k, 4) + " がブランクではありません。");
            blank = false;
            break;
        }
    }
    for (uint32_t i = 0; i < device.EEDataSize; ++i) {
        if ((chip[EEDataAreaStart + i] & 0xFF) != 0xFF) {
            ui.AddLogShowingMessages("EEData Memory " + Hex(i, 4) + "がブランクではありません。");
            blank = false;
            break;
        }
    }
    // Bits outside the masks are calibration bits and stay programmed.
    bool configBlank = (chip[ConfigWordAddress(device)] & device.ConfigMask1) == device.ConfigMask1;
    if (device.ConfigAddress2 != 0 &&
        (chip[device.ConfigAddress2] & device.ConfigMask2) != device.ConfigMask2)
        configBlank = false;
    if (!configBlank) {
        ui.AddLogShowingMessages("Configurationがブランクではありません。");
        blank = false;
    }
    return blank;
}

bool BlankBytes18(OperationContext &ctx, const TDeviceSpec18 &device, const MemoryBuffer &chip)
{
    FrontEnd &ui = ctx.ui;
    bool blank = true;
    for (uint32_t i = 0; i < device.ProgramSize; ++i) {
        if (chip.Program18[i] != 0xFF) {
            ui.AddLogShowingMessages("Program Memory $" + HexAtLeast(i, 4) + " がブランクではありません。");
            blank = false;
            break;
        }
    }
    for (uint32_t i = 0; i < device.EEDataSize; ++i) {
        if (chip.EEData18[i] != 0xFF) {
            ui.AddLogShowingMessages("EEData Memory " + HexAtLeast(i, 4) + "がブランクではありません。");
            blank = false;
            break;
        }
    }
    for (size_t i = 0; i < 14; ++i) {
        if ((chip.Config18[i] & device.ConfigMask[i]) != device.ConfigDefault[i]) {
            ui.AddLogShowingMessages("Configurationがブランクではありません。");
            blank = false;
            break;
        }
    }
    return blank;
}

// Verify and blank check read the chip into a scratch image the same way and
// differ only in how they judge it and in their texts.
struct Judgement {
    bool (*words)(OperationContext &, const TDeviceSpec &, const WordImage &);
    bool (*bytes18)(OperationContext &, const TDeviceSpec18 &, const MemoryBuffer &);
    const char *failStatus;
    const char *okText;
};

// 1 good, 0 judged otherwise, NotJudged when nothing could be compared.
int ReadAndJudge(OperationContext &ctx, ProgressBar *progress, const Judgement &judgement)
{
    bool good;
    if (!ctx.ui.Pic18Family()) {
        const auto device = SelectedRow(ctx);
        if (!device) return NotJudged;
        auto chip = std::make_unique<WordImage>();
        chip->fill(device->BlankWord);
        if (const ReadEnd end = ReadWordImage(ctx, *device, *chip, progress); end != ReadEnd::Complete)
            return ReadIncomplete(ctx, progress, end);
        good = judgement.words(ctx, *device, *chip);
    } else {
        if (!Pic18Gate(ctx)) return NotJudged;
        const auto device = SelectedRow18(ctx);
        if (!device) return NotJudged;
        auto chip = ReadBack18(*device);
        if (const ReadEnd end = ReadImage18(ctx, *device, *chip, progress); end != ReadEnd::Complete)
            return ReadIncomplete(ctx, progress, end);
        good = judgement.bytes18(ctx, *device, *chip);
    }
    const bool toDialog = IsDialogBar(ctx, progress);
    if (!good) {
        ReportStatus(ctx, judgement.failStatus, toDialog);
        return 0;
    }
    ctx.ui.AddLog(judgement.okText);
    ReportStatus(ctx, judgement.okText, toDialog);
    return 1;
}

} // namespace

int VerifyDevice(OperationContext &ctx, ProgressBar *progress)
{
    return ReadAndJudge(ctx, progress,
                        {VerifyWords, VerifyBytes18, " !! 一致しません。", "ベリファイOK。一致しました。"}) ==
           1;
}

int BlankCheckOutcome(OperationContext &ctx, ProgressBar *progress)
{
    return ReadAndJudge(
        ctx, progress,
        {BlankWords, BlankBytes18, " !! ブランクではありません。", "デバイスはブランクです。"});
}

int BlankCheckDevice(OperationContext &ctx, ProgressBar *progress)
{
    return BlankCheckOutcome(ctx, progress) == 1;
}
