// A catalogue round trip's rows, and its buffer: words and bytes spread over
// every memory of the part (the top of program memory included), within its
// masks and with its protection off, so a read back must give each one again.
#pragma once

#include <ostream>
#include <vector>

#include "image/buffer.h"
#include "unprotected.h"

// One row of either family's table.
struct Row {
    bool pic18;
    int index;
};

inline std::vector<Row> AllRows()
{
    std::vector<Row> rows;
    for (int i = 1; i < DeviceTableSize; ++i)
        rows.push_back({false, i});
    for (int i = 1; i < DeviceTable18Size; ++i)
        rows.push_back({true, i});
    return rows;
}

inline const char *NameOf(const Row &row)
{
    return row.pic18 ? DeviceTable18[row.index].Name : DeviceTable[row.index].Name;
}

inline void PrintTo(const Row &row, std::ostream *os)
{
    *os << NameOf(row);
}



// Words spread over program memory (the top run included), EEPROM, IDs and
// the configuration words, within the device's masks.
inline void Fill(MemoryBuffer &b, const TDeviceSpec &d)
{
    b.Clear(d);
    const uint32_t n = d.ProgramSize - ((d.CalibAddress1 && d.CalibAddress1 < 0x1000) ? 1 : 0);
    for (uint32_t k : {0u, 1u, 9u, 100u, n / 2, n - 7, n - 2, n - 1})
        b.Words[k] = static_cast<uint16_t>((k * 0x155 + 0x21) & d.BlankWord);
    for (uint32_t i = 0; i < d.EEDataSize; i += 5)
        b.Words[EEDataAreaStart + i] = static_cast<uint16_t>(i & 0x7F);
    for (uint32_t i = 0; i < 4; ++i)
        b.Words[d.UserIdAddress + i] = static_cast<uint16_t>(i + 1);
    b.Words[d.Is12Bit() ? Config12BitWord : d.ConfigAddress1] = static_cast<uint16_t>(d.ConfigMask1 & 0x2AD5);
    if (d.ConfigAddress2) b.Words[d.ConfigAddress2] = static_cast<uint16_t>(d.ConfigMask2 & 0x3EFF);
    ClearImageProtection(b, d.Name, false);
}

inline void Fill(MemoryBuffer &b, const TDeviceSpec18 &d)
{
    b.Clear(d);
    for (uint32_t i : {0u, 1u, 7u, 8u, 40u, d.ProgramSize / 2, d.ProgramSize - 1})
        b.Program18[i] = static_cast<uint8_t>(i * 3);
    for (uint32_t i = 0; i < d.EEDataSize; i += 7)
        b.EEData18[i] = static_cast<uint8_t>(i);
    for (int i = 0; i < 8; ++i)
        b.Id18[static_cast<size_t>(i)] = static_cast<uint8_t>(0xF0 | i);
    for (size_t i = 0; i < 14; ++i)
        b.Config18[i] = d.ConfigDefault[i] ^ (d.ConfigMask[i] & 0x01);
    ClearImageProtection(b, d.Name, true);
}

// Whether the chip read back into got holds what want wrote: program memory
// (a calibration word on top is the chip's own) and the EEPROM.
inline bool SameChipImage(const MemoryBuffer &got, const MemoryBuffer &want, bool pic18, int index)
{
    if (pic18) return got.Program18 == want.Program18 && got.EEData18 == want.EEData18;
    const TDeviceSpec &d = DeviceTable[index];
    const uint32_t n = d.ProgramSize - ((d.CalibAddress1 && d.CalibAddress1 < 0x1000) ? 1 : 0);
    for (uint32_t k = 0; k < n; ++k)
        if (got.Words[k] != want.Words[k]) return false;
    for (uint32_t i = 0; i < d.EEDataSize; ++i)
        if ((got.Words[EEDataAreaStart + i] & 0xFF) != (want.Words[EEDataAreaStart + i] & 0xFF)) return false;
    return true;
}
