// The programming documents' checksum of assembled files, worked out by hand
// from the files' records (the gpasm listings show the same words).
#include <gtest/gtest.h>

#include "image/checksum.h"
#include "image/hex_load.h"

namespace {

MemoryBuffer Loaded(const char *file, DeviceSelection device)
{
    MemoryBuffer b;
    if (device.Pic18)
        b.Clear(DeviceTable18[static_cast<size_t>(device.Index)]);
    else
        b.Clear(DeviceTable[static_cast<size_t>(device.Index)]);
    LoadOutcome out;
    out.Device = device;
    LoadNewFile(std::string(TARNVIK_HEX_FIXTURES) + "/" + file + ".hex", b, false, out);
    return b;
}

DeviceSelection Part(const char *name)
{
    return {std::string_view(name).starts_with("PIC18"), FindDevice(name)};
}

} // namespace

TEST(Checksum, AssembledFilesByHand)
{
    struct Row {
        const char *file, *device;
        uint16_t want;
    };
    const Row rows[] = {
        // Code words 0025 0CFE 0006 0C01 01A6 0A03 sum to 24D3; the other 250
        // of 256 words are erased (250 × 0FFF); configuration 0FEB under the
        // mask 0FFF. 24D3 + F9F06 + 0FEB = FD3C4 -> D3C4.
        {"p10f200", "PIC10F200", 0xD3C4},
        // Eleven code words (018A 2805 0009 1683 0186 1283 0A86 2808 0000
        // 0008 2805) sum to AEBF; 8181 erased words add 8181 × 3FFF =
        // 7FD200B; the configuration 3F72 under 3FFF: 7FE0E3C -> 0E3C.
        {"p16f877a", "PIC16F877A", 0x0E3C},
        // 16 code bytes (05 EF 00 F0, 11 00 93 6A 81 2A FE D7, EF BE 34 12)
        // sum to 0765; 32752 erased bytes add 32752 × FF = 7F7010; the
        // configuration bytes under their masks (24 0E 38 1E 00 81 81 00 0F
        // C0 0F E0 0F 40) add 0397: 7F7B0C -> 7B0C.
        {"p18f4550", "PIC18F4550", 0x7B0C},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.file);
        const MemoryBuffer b = Loaded(r.file, Part(r.device));
        EXPECT_EQ(ImageChecksum(b, Part(r.device)), r.want);
    }
    EXPECT_EQ(ChecksumText(0x0E3C), "チェックサム 0E3C");
}

// What the chip cannot hold does not count: bits above the core width and
// configuration bits outside the part's mask.
TEST(Checksum, OnlyTheBitsTheChipKeeps)
{
    const DeviceSelection part = Part("PIC12F675"); // configuration mask 01FF
    const TDeviceSpec &d = DeviceTable[static_cast<size_t>(part.Index)];
    MemoryBuffer b;
    b.Clear(d);
    const uint16_t blank = ImageChecksum(b, part);
    b.Words[0] = 0xFFFF;
    b.Words[0x2007] = 0xFFFF;
    EXPECT_EQ(ImageChecksum(b, part), blank);
    b.Words[0x2007] = 0x3E00;
    EXPECT_EQ(ImageChecksum(b, part), static_cast<uint16_t>(blank - 0x01FF));
    EXPECT_EQ(ImageChecksum(b, DeviceSelection{}), 0);
}
