// CompareImages: what each memory compares under, what the chip keeps of
// its own, and how much of each difference is kept.
#include <gtest/gtest.h>

#include <algorithm>

#include "catalogue/DeviceSpec.h"
#include "operations/compare.h"

namespace {

DeviceSelection Part(const char *name, bool pic18)
{
    return {pic18, FindInTable(name, pic18)};
}

MemoryBuffer Blank(DeviceSelection device)
{
    MemoryBuffer buffer;
    if (device.Pic18)
        buffer.Clear(DeviceTable18[size_t(device.Index)]);
    else
        buffer.Clear(DeviceTable[size_t(device.Index)]);
    return buffer;
}

} // namespace

TEST(CompareImages, LeavesOutWhatTheChipKeepsAndCountsTheRest)
{
    const DeviceSelection p675 = Part("PIC12F675", false);
    struct Case {
        const char *what;
        void (*change)(MemoryBuffer &);
        Memory memory; // the memory that differs, when count is not 0
        uint32_t count;
    } cases[] = {
        {"calibration instruction in the last word", [](MemoryBuffer &b) { b.Words[0x3FF] = 0x3450; },
         Memory::Program, 0},
        {"band-gap bits beside the configuration", [](MemoryBuffer &b) { b.Words[0x2007] = 0x0FFF; },
         Memory::Program, 0},
        {"a bit above the core's width", [](MemoryBuffer &b) { b.Words[5] = 0xFFFF; }, Memory::Program, 0},
        {"User-ID bits the chip does not keep", [](MemoryBuffer &b) { b.Words[0x2000] = 0x000F; },
         Memory::UserId, 0},
        {"an EEPROM byte", [](MemoryBuffer &b) { b.Words[EEDataAreaStart + 3] = 0x00; }, Memory::EEData, 1},
        {"twenty program words",
         [](MemoryBuffer &b) {
             for (int k = 0; k < 20; ++k)
                 b.Words[k] = 0;
         },
         Memory::Program, 20},
        {"a configuration field", [](MemoryBuffer &b) { b.Words[0x2007] = 0x3FFE; }, Memory::Configuration,
         1},
    };
    const MemoryBuffer blank = Blank(p675);
    for (const Case &c : cases) {
        MemoryBuffer changed = blank;
        c.change(changed);
        const ImageComparison r = CompareImages(blank, changed, p675);
        ASSERT_EQ(r.memories.size(), 4u) << c.what;
        EXPECT_EQ(r.Equal(), c.count == 0) << c.what;
        for (const MemoryComparison &m : r.memories) {
            EXPECT_EQ(m.count, m.memory == c.memory ? c.count : 0u) << c.what << " " << MemoryName(m.memory);
            EXPECT_EQ(m.first.size(), std::min<size_t>(m.count, CompareListed)) << c.what;
        }
    }
}

TEST(CompareImages, Pic18BytesAndOnlyTheMemoriesAsked)
{
    const DeviceSelection p4550 = Part("PIC18F4550", true);
    MemoryBuffer a = Blank(p4550), b = a;
    b.Program18[0x7FFF] = 0x12;
    b.Config18[4] = 0xFF;  // CONFIG3L implements no bit
    b.EEData18.resize(16); // sized by another part's load: fitted before comparing
    const ImageComparison r = CompareImages(a, b, p4550);
    ASSERT_EQ(r.memories.size(), 4u);
    EXPECT_EQ(r.memories[0].count, 1u);
    EXPECT_TRUE(r.memories[0].bytes);
    EXPECT_EQ(r.memories[0].first[0].address, 0x7FFFu);
    EXPECT_EQ(r.Differing(), 1u);
    EXPECT_NE(r.aChecksum, r.bChecksum);

    const ImageComparison config = CompareImages(a, b, p4550, RegionConfig | RegionEEData);
    ASSERT_EQ(config.memories.size(), 2u);
    EXPECT_TRUE(config.Equal());
}
