// Program: writes the buffer's non-blank contents into the chip.
#define TARNVIK_OPERATIONS_INTERNAL
#include <algorithm>
#include <memory>

#include "operations/detail.h"
#include "texts/operation_texts.h"

namespace {

// Collects the words of one write group and sends the group only when it
// holds a non-blank word, moving the chip's address over everything skipped
// with one repeated increment.
class GroupWriter {
public:
    GroupWriter(Wire &wire, const TDeviceSpec &device, int rowForm, bool padReachesCalibration)
        : wire_(wire), device_(device), rowForm_(rowForm), groupSize_(rowForm == 0 ? device.LatchCount : 8),
          padReachesCalibration_(padReachesCalibration)
    {
        latch_.fill(device.BlankWord);
    }

    void Add(uint16_t word)
    {
        if ((word & device_.BlankWord) != device_.BlankWord) {
            dirty_ = true;
            latch_[static_cast<size_t>(index_)] = word; // the whole word, unmasked
        }
        ++pending_;
        ++index_;
        if (index_ == groupSize_) Flush();
    }

    // Sends what is left of a group that did not fill up.
    void Finish()
    {
        if (index_ == 0) return;
        if (rowForm_ != 0 && padReachesCalibration_)
            FlushWordByWord();
        else
            Flush();
    }

private:
    void Flush()
    {
        const int count = index_;
        index_ = 0;
        if (!dirty_) return; // its words stay counted in pending_
        pending_ -= count;
        wire_.Advance(pending_);
        if (rowForm_ == 0) {
            wire_.LoadWord(latch_[0]);
            for (int j = 1; j < count; ++j) {
                wire_.Inc();
                wire_.LoadWord(latch_[static_cast<size_t>(j)]);
            }
            wire_.Cycle(device_.ProgramAlgorithm, device_.ProgramWait);
            pending_ = 1; // the address stands on the group's last word
        } else {
            wire_.Row(rowForm_, device_.ProgramAlgorithm, device_.ProgramWait, device_.LatchCount, latch_);
            pending_ = 0; // the programmer leaves it on the word after the group
        }
        wire_.link().ui.ProcessMessages();
        latch_.fill(device_.BlankWord);
        dirty_ = false;
    }

    // A short final row would carry blank padding onto the word after it,
    // the oscillator calibration instruction; a 14-bit core erases a word
    // before programming it, so the factory value would be lost for good.
    // Such a group goes word by word instead, and the padding is never sent.
    void FlushWordByWord()
    {
        const int count = index_;
        index_ = 0;
        if (!dirty_) return;
        wire_.Advance(pending_ - count);
        for (int j = 0; j < count && !wire_.Failed(); ++j) {
            if (j > 0) wire_.Inc();
            wire_.LoadWord(latch_[static_cast<size_t>(j)]);
            wire_.Cycle(device_.ProgramAlgorithm, device_.ProgramWait);
        }
        wire_.link().ui.ProcessMessages();
        pending_ = 1;
        latch_.fill(device_.BlankWord);
        dirty_ = false;
    }

    Wire &wire_;
    const TDeviceSpec &device_;
    const int rowForm_;
    const int groupSize_;
    const bool padReachesCalibration_;
    std::array<uint16_t, 8> latch_{};
    int index_ = 0;
    int pending_ = 0;
    bool dirty_ = false;
};

void WriteProgramMemory(Wire &wire, const TDeviceSpec &device, const WordImage &words, int rowForm,
                        ProgressBar *progress)
{
    wire.Enter(device.EntryMode);
    // The last word of such a device holds the oscillator calibration.
    const bool calibInLastWord = device.CalibAddress1 != 0 && device.CalibAddress1 < 0x1000;
    const uint32_t n = device.ProgramSize - (calibInLastWord ? 1 : 0);
    // Entry leaves a 12-bit core's address on the configuration word; one
    // increment wraps it to word 0.
    if (device.ConfigAddress1 < 0x2000) wire.Inc();
    if (progress) progress->SetRange(0, static_cast<int>(n) - 1);

    // Only a 14-bit core erases before it programs; on a 12-bit core a blank
    // pad programs no bit and leaves the calibration instruction as it is.
    GroupWriter groups(wire, device, rowForm, calibInLastWord && !device.Is12Bit());
    for (uint32_t k = 0; k < n && !wire.Failed(); ++k) {
        groups.Add(words[k]);
        if (progress) progress->StepIt();
    }
    groups.Finish();
    if (progress) progress->SetPosition(0);
    wire.Exit(device.EntryMode);
}

// Each data EEPROM byte is written in an erase-and-write cycle of its own,
// so a byte the buffer holds as blank is written as blank too: only after a
// bulk erase (skipBlank) is it blank already. Otherwise it would keep what
// the chip held, and the verify would find it. The bytes skipped are passed
// with one repeated increment before the next byte written (the same ICSP
// increments, one command instead of one each), and none after the last.
void WriteDataMemory(Wire &wire, const TDeviceSpec &device, const WordImage &words, bool skipBlank,
                     ProgressBar *progress)
{
    if (device.EEDataSize == 0) return;
    // A bulk erase that left every byte as the buffer has it leaves nothing
    // to write: no programming-mode entry and exit for it either.
    const auto blank = [&](uint32_t i) { return (words[EEDataAreaStart + i] & 0xFF) == 0xFF; };
    bool anyToWrite = !skipBlank;
    for (uint32_t i = 0; i < device.EEDataSize && !anyToWrite; ++i)
        anyToWrite = !blank(i);
    if (!anyToWrite) return;
    wire.Enter(device.EntryMode);
    if (progress) progress->SetRange(0, static_cast<int>(device.EEDataSize) - 1);
    int pending = 0; // increments owed to reach byte i
    for (uint32_t i = 0; i < device.EEDataSize && !wire.Failed(); ++i) {
        if (!skipBlank || !blank(i)) {
            wire.Advance(pending);
            pending = 0;
            wire.LoadData(words[EEDataAreaStart + i]);
            wire.Cycle(device.ProgramAlgorithm, device.EEDataWait);
            wire.link().ui.ProcessMessages();
        }
        ++pending;
        if (progress) progress->StepIt();
    }
    if (progress) progress->SetPosition(0);
    wire.Exit(device.EntryMode);
}

// The User-IDs and the configuration word(s), each only when its region is
// asked for.
void WriteConfiguration(Wire &wire, const TDeviceSpec &device, const WordImage &words, unsigned regions)
{
    const bool ids = regions & RegionUserId, config = regions & RegionConfig;
    if (!ids && !config) return;
    wire.Enter(device.EntryMode);
    const uint16_t idBase = device.UserIdAddress;
    if (device.ConfigAddress1 < 0x2000) {
        if (device.ProgramAlgorithm == 2) {
            // Entry leaves the address on the configuration word.
            const uint16_t c = words[Config12BitWord];
            if (config && (c & device.ConfigMask1) != device.ConfigMask1) {
                wire.LoadWord(c & device.ConfigMask1);
                wire.Cycle(2, device.ProgramWait);
            }
            if (ids) {
                wire.IncBy(idBase);
                wire.LoadWord(0x0FFF); // loaded, not programmed
                wire.Inc();
                // Only the four User-IDs: the backup calibration word after them stays.
                for (uint32_t i = 0; i < 4; ++i) {
                    wire.LoadWord(words[idBase + i] & 0x000F);
                    wire.Cycle(2, device.ProgramWait);
                    wire.Inc();
                }
            }
        }
    } else {
        wire.LoadConf(words[ConfigAreaStart]);
        if (ids) {
            for (uint32_t i = 0; i < 4; ++i) {
                wire.LoadWord(words[idBase + i] & 0x000F);
                wire.Cycle(device.ProgramAlgorithm, device.ProgramWait);
                wire.Inc();
            }
        } else {
            wire.IncBy(4);
        }
        if (!config) {
            wire.Exit(device.EntryMode);
            return;
        }
        wire.IncBy(3);
        // Bits outside the mask (band-gap calibration) come from the chip.
        const uint16_t chip = wire.ReadWord();
        const uint16_t mask = device.ConfigMask1;
        wire.LoadWord(static_cast<uint16_t>((words[0x2007] & mask) | (chip & ~mask)));
        wire.Cycle(device.ConfigAlgorithm, device.ConfigWait);
        if (device.ConfigAddress2 == 0x2008) {
            wire.Inc();
            wire.LoadWord(words[0x2008] & device.ConfigMask2);
            wire.Cycle(device.ConfigAlgorithm, device.ConfigWait);
        }
    }
    wire.Exit(device.EntryMode);
}

// The data EEPROM. After a bulk erase up to the last non-blank byte;
// otherwise every byte, since one not written keeps what the chip held.
// Blank bytes below the last are written too unless a verify after this
// program proves the erase blanked them: then the address jumps over them.
// Each byte written moves the programmer's address on by one; the address
// is set at each page of 256 and after each run of bytes left out.
void WriteData18(Wire &wire, const TDeviceSpec18 &device, std::span<const uint8_t> data, bool erasedBefore,
                 bool verifiedAfter, ProgressBar *progress)
{
    uint32_t last = device.EEDataSize - 1;
    if (erasedBefore) {
        last = 0;
        for (uint32_t i = 0; i < device.EEDataSize; ++i)
            if (data[i] != 0xFF) last = i;
    }
    const bool skipBlank = erasedBefore && verifiedAfter;
    if (progress) progress->SetRange(0, static_cast<int>(device.EEDataSize) - 1);
    bool addressed = false; // the programmer's address stands on byte i
    for (uint32_t i = 0; i <= last && !wire.Failed(); ++i) {
        if (i % 256 == 0) addressed = false;
        if (skipBlank && data[i] == 0xFF) {
            addressed = false;
        } else {
            if (!addressed) wire.EeAddress(static_cast<uint16_t>(i));
            addressed = true;
            wire.EeByte(data[i]);
        }
        if (progress) progress->StepIt();
    }
    if (progress) progress->SetPosition(0);
}

void WriteChip18(Wire &wire, const TDeviceSpec18 &device, const MemoryBuffer &image, unsigned regions,
                 bool erasedBefore, bool verifiedAfter, ProgressBar *progress)
{
    wire.Enter(0);
    const uint32_t size = device.WriteBufferSize;
    const uint32_t blocks = size && (regions & RegionCode) ? device.ProgramSize / size : 0;
    if (progress) progress->SetRange(0, static_cast<int>(blocks) - 1);
    wire.FlashAccess18();
    const std::span<const uint8_t> program(image.Program18);
    for (uint32_t i = 0; i < blocks && !wire.Failed(); ++i) {
        const auto block = program.subspan(i * size, size);
        if (std::any_of(block.begin(), block.end(), [](uint8_t b) { return b != 0xFF; })) {
            wire.TablePointer(i * size);
            wire.Block18(block, device.ProgramWait);
        }
        // Every block, not every 64th: 64 blocks of a large part take about a
        // second on the wire, long enough for the window to look frozen.
        wire.link().ui.ProcessMessages();
        if (progress) progress->StepIt();
    }
    if (progress) progress->SetPosition(0);

    if (regions & RegionUserId) {
        const std::span<const uint8_t> id(image.Id18);
        wire.TablePointer(0x200000);
        wire.Block18(id.first(8), device.IdWait);
        wire.TablePointer(0x200008);
        wire.Block18(id.subspan(8, 8), device.IdWait);
    }

    if (regions & RegionConfig) wire.Config18(image.Config18, device.ConfigWait);

    if (device.EEDataSize != 0 && (regions & RegionEEData))
        WriteData18(wire, device, image.EEData18, erasedBefore, verifiedAfter, progress);
    wire.Exit(0);
}

OperationResult Finish(OperationContext &ctx, Wire &wire, ProgressBar *progress)
{
    if (wire.Failed()) {
        const LinkFault fault = wire.Fault();
        const bool wedged = !wire.Abandon();
        if (progress) progress->SetPosition(0);
        return LinkLostResult(ctx, texts::WriteFailedStatus(), ctx.surface, fault, wedged);
    }
    ctx.ui.AddLog(texts::BufferWritten());
    ReportStatus(ctx, texts::DeviceWritten(), ctx.surface);
    return {};
}

} // namespace

OperationResult ProgramDevice(OperationContext &ctx, ProgressBar *progress)
{
    if (progress) progress->SetPhase(Phase::Program);
    if (!ctx.device.Pic18) {
        const auto device = SelectedRow(ctx);
        if (!device) return RefusedResult(Refusal::NoDevice);
        Wire wire(ctx);
        const int rowForm = wire.RowWriteForm();
        if (rowForm == RowWriteProtocolError) {
            // The front end hears of it first, as the firmware's answer to
            // the probe; the status line must not be left announcing a write
            // that never started.
            ctx.ui.ProtocolError();
            OperationResult result = Finish(ctx, wire, progress);
            result.protocolError = true;
            return result;
        }
        const WordImage &words = ctx.buffer.Words;
        const unsigned regions = ctx.options.regions;
        // Each area in a programming-mode entry of its own.
        if (regions & RegionCode) WriteProgramMemory(wire, *device, words, rowForm, progress);
        if (!wire.Failed() && (regions & RegionEEData))
            WriteDataMemory(wire, *device, words, ctx.options.erasedBefore, progress);
        if (!wire.Failed()) WriteConfiguration(wire, *device, words, regions);
        return Finish(ctx, wire, progress);
    }
    if (!Pic18Gate(ctx)) return RefusedResult(Refusal::Pic18Unsupported);
    const auto device = SelectedRow18(ctx);
    if (!device) return RefusedResult(Refusal::NoDevice);
    auto image = std::make_unique<MemoryBuffer>(ctx.buffer);
    image->Fit(*device);
    Wire wire(ctx);
    WriteChip18(wire, *device, *image, ctx.options.regions, ctx.options.erasedBefore, ctx.options.verifiedAfter,
                progress);
    return Finish(ctx, wire, progress);
}
