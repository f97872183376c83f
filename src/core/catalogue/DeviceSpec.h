// The fixed catalogue of devices Tarnvik can program: geometry, DEVICE-ID,
// configuration and calibration layout and programming parameters.
// Nothing about a device is coded anywhere else.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// The PIC10/12/16 word address map every part is read and written in: program
// memory from 0, the configuration area (User-IDs, configuration and
// calibration words) from 0x2000, data EEPROM from 0x2100.
constexpr uint32_t WordImageSize = 0x2400; // 9216 words
constexpr uint32_t ConfigAreaStart = 0x2000;
constexpr uint32_t EEDataAreaStart = 0x2100;
constexpr uint32_t Config12BitWord = 0x0FFF; // where a 12-bit configuration word lives

// One row of DeviceTable: a PIC10F/12F/16F part (12-bit or 14-bit core).
// Addresses are word addresses as the device sees them in programming mode.
struct TDeviceSpec {
    const char *Name;
    uint16_t DeviceId;       // revision bits cleared; 0 = no DEVICE-ID
    uint16_t UserIdAddress;  // first User-ID word, start of the configuration view
    uint8_t EntryMode;       // 0 = first enter/exit pair, 1 = second pair
    uint16_t BlankWord;      // erased word and core-width mask
    uint32_t ProgramSize;    // words
    uint32_t EEDataSize;     // bytes; 0 = none
    uint32_t ConfigAreaSize; // words shown from UserIdAddress
    uint16_t ConfigAddress1; // below 0x1000 marks a 12-bit device
    uint16_t ConfigAddress2; // 0 = none
    uint16_t ConfigMask1;
    uint16_t ConfigMask2;
    uint16_t CalibAddress1; // 0 = no calibration data
    uint16_t CalibAddress2; // 0 = none
    uint16_t CalibMask1;
    uint16_t CalibMask2;
    uint8_t ProgramAlgorithm; // programming-cycle selector 0..4
    uint8_t ConfigAlgorithm;  // programming-cycle selector 0..4
    uint8_t ProgramWait;
    uint8_t EEDataWait;
    uint8_t ConfigWait;
    uint8_t LatchCount;     // 1, 2, 4 or 8
    uint8_t EraseAlgorithm; // erase-sequence selector 0..6
    uint8_t EraseWait;
    uint16_t ConfigBaseBits;

    bool Is12Bit() const { return ConfigAddress1 < 0x1000; }
};

// One row of DeviceTable18: a PIC18F part. Addresses are byte addresses.
struct TDeviceSpec18 {
    const char *Name;
    uint16_t DeviceId;                     // revision bits cleared
    uint32_t ProgramSize;                  // bytes
    uint32_t EEDataSize;                   // bytes; 0 = none
    uint32_t WriteBufferSize;              // bytes per program block: 8, 16 or 32
    std::array<uint8_t, 14> ConfigMask;    // CONFIG1L..CONFIG7H implemented bits
    std::array<uint8_t, 14> ConfigDefault; // erased values after masking
    uint8_t EraseKind;                     // 0: key 0x0080, 1: key 0x3F8F, other: no erase
    uint8_t Options;                       // catalogue data only
    uint32_t PanelCount;                   // catalogue data only
    uint32_t PanelSize;                    // catalogue data only
    uint8_t ProgramWait;
    uint8_t SpareWait; // catalogue data only
    uint8_t ConfigWait;
    uint8_t IdWait;
    uint8_t EraseWait;
};

constexpr int DeviceTableSize = 71;
constexpr int DeviceTable18Size = 21;

extern const std::array<TDeviceSpec, DeviceTableSize> DeviceTable;
extern const std::array<TDeviceSpec18, DeviceTable18Size> DeviceTable18;

// Row 0 of each table switches the device list to the other family.
constexpr std::string_view Pic18SwitchName = "<PIC18F>";
constexpr std::string_view Pic16SwitchName = "<PIC16/12/10F>";

// Finds a device by name, ignoring letter case: rows 0..70 of DeviceTable
// first, then rows 0..20 of DeviceTable18. Returns the index within its own
// table, or -1. The caller knows from its context which table is meant.
int FindDevice(std::string_view name);
