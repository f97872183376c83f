#include "operations/compare.h"

#include <memory>

#include "catalogue/DeviceSpec.h"
#include "image/checksum.h"

namespace {

// Collects one memory's differences: all counted, the first kept.
class MemoryTally {
public:
    MemoryTally(ImageComparison &into, Memory memory, bool bytes) : into_(into)
    {
        into_.memories.push_back({memory, bytes, 0, {}});
    }
    void Compare(uint32_t address, uint32_t a, uint32_t b)
    {
        if (a == b) return;
        MemoryComparison &m = into_.memories.back();
        if (++m.count <= CompareListed) m.first.push_back({address, a, b});
    }

private:
    ImageComparison &into_;
};

// The last program word of such a part holds the chip's own oscillator
// calibration, which no file is expected to match.
uint32_t ComparedWords(const TDeviceSpec &device)
{
    const bool calibInLastWord = device.CalibAddress1 != 0 && device.CalibAddress1 < 0x1000;
    return device.ProgramSize - (calibInLastWord ? 1 : 0);
}

void CompareWords(const WordImage &a, const WordImage &b, const TDeviceSpec &device, unsigned regions,
                  ImageComparison &into)
{
    if (regions & RegionCode) {
        MemoryTally t(into, Memory::Program, false);
        for (uint32_t k = 0; k < ComparedWords(device); ++k)
            t.Compare(k, a[k] & device.BlankWord, b[k] & device.BlankWord);
    }
    if ((regions & RegionEEData) && device.EEDataSize != 0) {
        MemoryTally t(into, Memory::EEData, true);
        for (uint32_t i = 0; i < device.EEDataSize; ++i)
            t.Compare(i, a[EEDataAreaStart + i] & 0xFFu, b[EEDataAreaStart + i] & 0xFFu);
    }
    if (regions & RegionUserId) {
        // The chip keeps the low four bits of each; program writes no more.
        MemoryTally t(into, Memory::UserId, false);
        for (uint32_t i = 0; i < 4; ++i)
            t.Compare(i, a[device.UserIdAddress + i] & 0xFu, b[device.UserIdAddress + i] & 0xFu);
    }
    if (regions & RegionConfig) {
        // Bits outside the masks are calibration bits the chip keeps.
        MemoryTally t(into, Memory::Configuration, false);
        const uint32_t first = device.Is12Bit() ? Config12BitWord : device.ConfigAddress1;
        t.Compare(first, a[first] & device.ConfigMask1, b[first] & device.ConfigMask1);
        if (const uint32_t second = device.ConfigAddress2; second != 0)
            t.Compare(second, a[second] & device.ConfigMask2, b[second] & device.ConfigMask2);
    }
}

void CompareBytes18(const MemoryBuffer &a, const MemoryBuffer &b, const TDeviceSpec18 &device,
                    unsigned regions, ImageComparison &into)
{
    if (regions & RegionCode) {
        MemoryTally t(into, Memory::Program, true);
        for (uint32_t i = 0; i < device.ProgramSize; ++i)
            t.Compare(i, a.Program18[i], b.Program18[i]);
    }
    if ((regions & RegionEEData) && device.EEDataSize != 0) {
        MemoryTally t(into, Memory::EEData, true);
        for (uint32_t i = 0; i < device.EEDataSize; ++i)
            t.Compare(i, a.EEData18[i], b.EEData18[i]);
    }
    if (regions & RegionUserId) {
        MemoryTally t(into, Memory::UserId, true);
        for (uint32_t i = 0; i < 8; ++i)
            t.Compare(i, a.Id18[i], b.Id18[i]);
    }
    if (regions & RegionConfig) {
        MemoryTally t(into, Memory::Configuration, true);
        for (uint32_t i = 0; i < 14; ++i)
            t.Compare(Config18Address + i, a.Config18[i] & device.ConfigMask[i],
                      b.Config18[i] & device.ConfigMask[i]);
    }
}

// The bits of a layout word the part implements.
uint16_t ImplementedBits(DeviceSelection device, const TConfigWord &word)
{
    if (device.Pic18) {
        const uint32_t i = word.Address - Config18Address;
        return i < 14 ? DeviceTable18[size_t(device.Index)].ConfigMask[i] : 0;
    }
    const TDeviceSpec &d = DeviceTable[size_t(device.Index)];
    if (word.Address == d.ConfigAddress2 && d.ConfigAddress2 != 0) return d.ConfigMask2;
    return d.ConfigMask1;
}

void CompareFields(const MemoryBuffer &a, const MemoryBuffer &b, DeviceSelection device,
                   const TConfigLayout &names, ImageComparison &into)
{
    const TConfigValues va = ReadConfigValues(names, a), vb = ReadConfigValues(names, b);
    for (size_t w = 0; w < names.Words.size(); ++w) {
        const TConfigWord &word = names.Words[w];
        const uint16_t implemented = ImplementedBits(device, word);
        for (const TConfigField &f : word.Fields) {
            if (((va[w] ^ vb[w]) & f.Mask & implemented) == 0) continue;
            ConfigFieldChange change{word.Name,
                                     f.Name,
                                     word.Address,
                                     uint16_t(va[w] & f.Mask),
                                     uint16_t(vb[w] & f.Mask),
                                     {},
                                     {},
                                     word.Width > 0xFF ? 4 : 2};
            if (const TConfigSetting *s = DecodeField(f, va[w])) change.aSetting = s->Name;
            if (const TConfigSetting *s = DecodeField(f, vb[w])) change.bSetting = s->Name;
            into.fields.push_back(std::move(change));
        }
    }
}

} // namespace

size_t ImageComparison::Differing() const
{
    size_t n = 0;
    for (const MemoryComparison &m : memories)
        n += m.count != 0;
    return n;
}

ImageComparison CompareImages(const MemoryBuffer &a, const MemoryBuffer &b, DeviceSelection device,
                              unsigned regions, const TConfigLayout *names)
{
    ImageComparison result;
    if (!IsDevice(device)) return result;
    if (device.Pic18) {
        const TDeviceSpec18 &d = DeviceTable18[size_t(device.Index)];
        // Sized to the part whatever size a load left the arrays at.
        auto fa = std::make_unique<MemoryBuffer>(a), fb = std::make_unique<MemoryBuffer>(b);
        fa->Fit(d);
        fb->Fit(d);
        CompareBytes18(*fa, *fb, d, regions, result);
    } else {
        CompareWords(a.Words, b.Words, DeviceTable[size_t(device.Index)], regions, result);
    }
    if (names && names->Pic18 == device.Pic18 && (regions & RegionConfig)) {
        result.byName = true;
        CompareFields(a, b, device, *names, result);
    }
    result.aChecksum = ImageChecksum(a, device);
    result.bChecksum = ImageChecksum(b, device);
    return result;
}
