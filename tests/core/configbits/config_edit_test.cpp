#include <gtest/gtest.h>

#include "configbits/ConfigEdit.h"

namespace {
const TDeviceSpec &Row(const char *name)
{
    return DeviceTable.at(FindDevice(name));
}
} // namespace

TEST(ConfigEdit, StoresTypedWordsUnmaskedWhereTheCoreKeepsThem)
{
    MemoryBuffer buf;
    const TDeviceSpec &f628a = Row("PIC16F628A");
    buf.Clear(f628a);
    StoreConfigWords(buf, f628a, "3F10", "1234");
    EXPECT_EQ(buf.Words[0x2007], 0x3F10);
    EXPECT_EQ(buf.Words[0x2008], 0x3FFF) << "no Config2 on this device";

    const TDeviceSpec &f10 = Row("PIC10F200");
    buf.Clear(f10);
    StoreConfigWords(buf, f10, "0feb", "0000");
    EXPECT_EQ(buf.Words[0x0FFF], 0x0FEB);
    EXPECT_EQ(buf.Words[0x01FF], 0x0FFF);

    const TDeviceSpec &f88 = Row("PIC16F88");
    buf.Clear(f88);
    StoreConfigWords(buf, f88, "FFFF", "3FFC");
    EXPECT_EQ(buf.Words[0x2007], 0xFFFF);
    EXPECT_EQ(buf.Words[0x2008], 0x3FFC);
}

TEST(ConfigEdit, IncompleteFieldLeavesTheBufferAlone)
{
    MemoryBuffer buf;
    const TDeviceSpec &f88 = Row("PIC16F88");
    buf.Clear(f88);
    StoreConfigWords(buf, f88, "3F", "3G00");
    EXPECT_EQ(buf.Words[0x2007], 0x3FFF);
    EXPECT_EQ(buf.Words[0x2008], 0x3FFF);

    const TDeviceSpec18 &f452 = DeviceTable18.at(FindDevice("PIC18F452"));
    buf.Clear(f452);
    std::array<std::string, 7> values{"3FFF", "0E0F", "", "zz", "12345", "7", "ffff"};
    StoreConfigBytes18(buf, values);
    EXPECT_EQ(buf.Config18[0], 0xFF);
    EXPECT_EQ(buf.Config18[1], 0x3F);
    EXPECT_EQ(buf.Config18[2], 0x0F);
    EXPECT_EQ(buf.Config18[3], 0x0E);
    for (int i = 4; i < 10; ++i)
        EXPECT_EQ(buf.Config18[i], f452.ConfigDefault[i] | (~f452.ConfigMask[i] & 0xFF))
            << "invalid text changes nothing " << i;
    EXPECT_EQ(buf.Config18[10], 0x07);
    EXPECT_EQ(buf.Config18[11], 0x00);
    EXPECT_EQ(buf.Config18[13], 0xFF);
}
