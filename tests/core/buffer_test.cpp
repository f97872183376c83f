#include <gtest/gtest.h>

#include <algorithm>

#include "buffer.h"

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

TEST(MemoryBuffer, StartsWithTheWordImageAt3FFF)
{
    MemoryBuffer b;
    EXPECT_TRUE(AllEqual(b.Words, 0x3FFF));
    EXPECT_TRUE(AllEqual(b.Id18, 0xFF));
    EXPECT_TRUE(AllEqual(b.Config18, 0xFF));
}

TEST(MemoryBuffer, WordClearFillsTheWholeImageWithTheBlankWord)
{
    MemoryBuffer b;
    b.Words[0x2105] = 0x0012;
    b.Words[0x23FF] = 0;
    b.Clear(Device("PIC16F877A"));
    EXPECT_TRUE(AllEqual(b.Words, 0x3FFF));  // EEData and words past program memory too

    b.Clear(Device("PIC12F509"));
    EXPECT_TRUE(AllEqual(b.Words, 0x0FFF));
    EXPECT_EQ(b.Words[Config12BitWord], 0x0FFF);
    EXPECT_EQ(Device("PIC12F509").UserIdAddress, Device("PIC12F509").ProgramSize);
}

TEST(MemoryBuffer, Pic18ClearSizesTheArraysToTheDevice)
{
    MemoryBuffer b;
    b.Id18[3] = 0;
    b.Config18[13] = 0;
    b.Clear(Device18("PIC18F4550"));
    EXPECT_EQ(b.Program18.size(), 32768u);
    EXPECT_EQ(b.EEData18.size(), 256u);
    EXPECT_TRUE(AllEqual(b.Program18, 0xFF));
    EXPECT_TRUE(AllEqual(b.EEData18, 0xFF));
    EXPECT_TRUE(AllEqual(b.Id18, 0xFF));
    EXPECT_TRUE(AllEqual(b.Config18, 0xFF));

    b.Program18[100] = 0;
    b.Clear(Device18("PIC18F2450"));  // no data EEPROM, smaller program memory
    EXPECT_EQ(b.Program18.size(), 16384u);
    EXPECT_EQ(b.EEData18.size(), 0u);
    EXPECT_TRUE(AllEqual(b.Program18, 0xFF));
    EXPECT_EQ(b.Id18.size(), 16u);
    EXPECT_EQ(b.Config18.size(), 14u);
}

TEST(MemoryBuffer, TheHalfNotClearedKeepsItsContents)
{
    MemoryBuffer b;
    b.Clear(Device("PIC16F84A"));
    b.Words[5] = 0x1234;
    b.Clear(Device18("PIC18F452"));
    b.Program18[7] = 0x42;
    EXPECT_EQ(b.Words[5], 0x1234);
    b.Clear(Device("PIC16F84A"));
    EXPECT_EQ(b.Program18[7], 0x42);
}

TEST(MemoryBuffer, LoadPreparationKeepsIdAndConfigurationBytes)
{
    MemoryBuffer b;
    b.Clear(Device18("PIC18F452"));
    b.Program18[0] = 0;
    b.Id18[1] = 0x11;
    b.Config18[2] = 0x22;
    b.PrepareForLoad(Device18("PIC18F2450"));
    EXPECT_EQ(b.Program18.size(), 16384u);
    EXPECT_EQ(b.Program18[0], 0xFF);
    EXPECT_EQ(b.EEData18.size(), 0u);
    EXPECT_EQ(b.Id18[1], 0x11);
    EXPECT_EQ(b.Config18[2], 0x22);
}

TEST(MemoryBuffer, FitKeepsWhatFitsAndPadsWithErasedBytes)
{
    MemoryBuffer b;
    b.Clear(Device18("PIC18F1220"));  // 4 KB
    b.Program18[4095] = 0x12;
    b.Fit(Device18("PIC18F4550"));
    ASSERT_EQ(b.Program18.size(), 32768u);
    EXPECT_EQ(b.Program18[4095], 0x12);
    EXPECT_EQ(b.Program18[4096], 0xFF);
    EXPECT_EQ(b.EEData18.size(), 256u);
    b.Fit(Device18("PIC18F2450"));
    EXPECT_EQ(b.Program18.size(), 16384u);
    EXPECT_EQ(b.Program18[4095], 0x12);
    EXPECT_EQ(b.EEData18.size(), 0u);
}
