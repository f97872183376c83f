#include <gtest/gtest.h>

#include <algorithm>

#include "image/buffer.h"

namespace {

const TDeviceSpec &Device(const char *name)
{
    return DeviceTable[static_cast<size_t>(FindDevice(name))];
}

const TDeviceSpec18 &Device18(const char *name)
{
    return DeviceTable18[static_cast<size_t>(FindDevice(name))];
}

bool AllEqual(const auto &range, unsigned value)
{
    return std::all_of(range.begin(), range.end(), [&](auto v) { return v == value; });
}

} // namespace

TEST(MemoryBuffer, WordClearFillsTheWholeImageAndLeavesThePic18HalfAlone)
{
    MemoryBuffer b;
    EXPECT_TRUE(AllEqual(b.Words, 0x3FFF));
    b.Clear(Device18("PIC18F452"));
    b.Program18[7] = 0x42;
    b.Words[0x2105] = 0x0012;
    b.Clear(Device("PIC12F509"));
    EXPECT_TRUE(AllEqual(b.Words, 0x0FFF)); // EEData and words past program memory too
    b.Clear(Device("PIC16F877A"));
    EXPECT_TRUE(AllEqual(b.Words, 0x3FFF));
    EXPECT_EQ(b.Program18[7], 0x42);
}

TEST(MemoryBuffer, Pic18ClearResizesAndErasesEverything)
{
    MemoryBuffer b;
    b.Clear(Device("PIC16F84A"));
    b.Words[5] = 0x1234;
    b.Clear(Device18("PIC18F4550"));
    b.Id18[3] = b.Config18[13] = b.Program18[100] = 0;
    b.Clear(Device18("PIC18F2450")); // smaller, no data EEPROM
    EXPECT_EQ(b.Program18.size(), 16384u);
    EXPECT_EQ(b.EEData18.size(), 0u);
    EXPECT_TRUE(AllEqual(b.Program18, 0xFF));
    EXPECT_TRUE(AllEqual(b.Id18, 0xFF));
    const TDeviceSpec18 &d = Device18("PIC18F2450");
    for (size_t i = 0; i < 14; ++i)
        EXPECT_EQ(b.Config18[i], d.ConfigDefault[i] | (~d.ConfigMask[i] & 0xFF))
            << "the erased configuration " << i;
    EXPECT_EQ(b.Words[5], 0x1234);
}

TEST(MemoryBuffer, LoadPreparationAndFitKeepWhatTheyShould)
{
    MemoryBuffer b;
    b.Clear(Device18("PIC18F1220")); // 4 KB
    b.Program18[4095] = 0x12;
    b.Id18[1] = 0x11;
    b.Config18[2] = 0x22;
    b.Fit(Device18("PIC18F4550"));
    ASSERT_EQ(b.Program18.size(), 32768u);
    EXPECT_EQ(b.Program18[4095], 0x12);
    EXPECT_EQ(b.Program18[4096], 0xFF);
    EXPECT_EQ(b.EEData18.size(), 256u);

    b.PrepareForLoad(Device18("PIC18F2450"));
    EXPECT_EQ(b.Program18.size(), 16384u);
    EXPECT_TRUE(AllEqual(b.Program18, 0xFF));
    EXPECT_EQ(b.EEData18.size(), 0u);
    EXPECT_EQ(b.Id18[1], 0x11);
    EXPECT_EQ(b.Config18[2], 0x22);
}
