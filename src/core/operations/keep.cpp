// Keep: what a program is to leave as the chip has it (its data EEPROM, its
// configuration) read from the chip and put on the disk before the erase,
// so that nothing the user asked to keep depends on the write-back alone.
#define TARNVIK_OPERATIONS_INTERNAL
#include <algorithm>
#include <memory>

#include "configbits/ConfigBits.h"
#include "operations/CalibrationLog.h"
#include "operations/detail.h"
#include "texts/operation_texts.h"

namespace {

// The words or bytes of the kept memories that the file gave otherwise.
bool FileDiffers(const MemoryBuffer &file, const MemoryBuffer &chip, DeviceSelection device, Region region)
{
    const size_t row = static_cast<size_t>(device.Index);
    if (device.Pic18) {
        const auto given = [](const auto &bytes) {
            return std::any_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b != 0xFF; });
        };
        if (region == RegionConfig) return given(file.Config18) && file.Config18 != chip.Config18;
        return given(file.EEData18) && file.EEData18 != chip.EEData18;
    }
    const TDeviceSpec &d = DeviceTable[row];
    bool given = false, differs = false;
    auto look = [&](uint32_t address, uint16_t blank) {
        given = given || (file.Words[address] & blank) != blank;
        differs = differs || file.Words[address] != chip.Words[address];
    };
    if (region == RegionEEData) {
        for (uint32_t i = 0; i < d.EEDataSize; ++i)
            look(EEDataAreaStart + i, 0x00FF);
    } else {
        for (uint16_t address : {d.ConfigAddress1, d.ConfigAddress2})
            if (address != 0) look(address, d.BlankWord);
    }
    return given && differs;
}

void CopyKept(MemoryBuffer &to, const MemoryBuffer &from, DeviceSelection device, unsigned regions)
{
    const size_t row = static_cast<size_t>(device.Index);
    if (device.Pic18) {
        if (regions & RegionEEData) to.EEData18 = from.EEData18;
        if (regions & RegionConfig) to.Config18 = from.Config18;
        return;
    }
    const TDeviceSpec &d = DeviceTable[row];
    if (regions & RegionEEData)
        for (uint32_t i = 0; i < d.EEDataSize; ++i)
            to.Words[EEDataAreaStart + i] = from.Words[EEDataAreaStart + i];
    if (regions & RegionConfig)
        for (uint16_t address : {d.ConfigAddress1, d.ConfigAddress2})
            if (address != 0) to.Words[address] = from.Words[address];
}

} // namespace

OperationResult KeepFromChip(OperationContext &ctx, unsigned regions, KeptCopy &copy)
{
    FrontEnd &ui = ctx.ui;
    if (!IsDevice(ctx.device)) return RefusedResult(Refusal::NoDevice);
    // The chip's data goes to a copy of the buffer first: the file's stays
    // in place until everything has arrived.
    auto chip = std::make_unique<MemoryBuffer>(ctx.buffer);
    OperationContext read{ctx.port, ctx.cmd, *chip, ui, ctx.device, ctx.options, ctx.deviceId, ctx.surface};
    // The configuration also says whether the EEPROM can be read at all.
    if (OperationResult r = ReadConfigWords(read); !r) return r;
    if ((regions & RegionEEData) && BufferProtection(ctx.device, *chip).Data) {
        // Zeros kept and written back would end as a verified success with
        // the chip's data gone.
        ui.SetStatus(texts::KeptEepromProtectedStatus());
        ui.AddLogShowingMessages(texts::KeptEepromProtected());
        return RefusedResult(Refusal::KeptDataProtected);
    }
    if (regions & RegionEEData)
        if (OperationResult r = ReadEEData(read); !r) return r;

    if (const std::string reason = SaveKeptCopy(*chip, ctx.device, CalibrationDeviceId(ctx.deviceId), regions, copy);
        !reason.empty()) {
        ui.SetStatus(texts::KeptCopyUnwritableStatus());
        ui.AddLogShowingMessages(texts::KeptCopyUnwritable(KeptFolder(), reason));
        return RefusedResult(Refusal::KeptCopyUnwritable);
    }
    ui.AddLog(texts::KeptCopySaved(KeptMemoriesText(regions), copy.path));
    for (Region region : {RegionEEData, RegionConfig})
        if ((regions & region) && FileDiffers(ctx.buffer, *chip, ctx.device, region))
            ui.AddLogShowingMessages(texts::KeptOverFile(KeptMemoriesText(region)));
    CopyKept(ctx.buffer, *chip, ctx.device, regions);
    ui.BufferChanged();
    return {};
}
