// Models of the target chip in the Tarnbox socket: what a PIC10/12/16 or
// PIC18 part does with the ICSP commands the firmware clocks into it.
// Geometry, identifiers and calibration layout come from the device catalogue.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/DeviceSpec.h"
#include "configbits/ConfigBits.h"

enum class ChipFamily { None, Pic16, Pic18 };

class SimChip {
public:
    virtual ~SimChip() = default;
    virtual ChipFamily Family() const { return ChipFamily::None; }
    virtual std::string Name() const { return "none"; }

    // Programming mode as the firmware drives VPP/VDD: sub-code 1 or 3 enters,
    // 2 or 4 leaves. Outside programming mode the chip ignores every command.
    virtual void EnterProgramMode(uint8_t subCode);
    virtual void ExitProgramMode();
    bool InProgramMode() const { return programMode_; }

    // 6-bit ICSP commands of the PIC10/12/16 families.
    virtual void IcspCommand(uint8_t) {}
    virtual void IcspLoad(uint8_t, uint16_t) {}
    // An empty socket leaves the data line on the board's pull-down: zeros.
    virtual uint16_t IcspRead(uint8_t) { return 0; }

    // PIC18 ICSP: 4-bit command with a 16-bit operand; hold is the firmware's
    // hold mode for the final NOP (0 plain, 1 bulk erase, 2 start programming).
    virtual void Pic18Instruction(uint8_t, uint16_t, uint8_t) {}
    virtual void SetTablePointer(uint32_t) {}
    virtual uint8_t TableReadPostIncrement() { return 0; }
    virtual void SetEepromAddress(uint16_t) {}
    virtual uint8_t EepromReadPostIncrement() { return 0; }
    // Writes one data-EEPROM byte and returns what reads back from the cell.
    virtual uint8_t EepromWritePostIncrement(uint8_t) { return 0; }

    // Inspection and setup for tests, --hex and --calib. Addresses are the
    // device's own: PIC10/12/16 word addresses (0x2000.. configuration space;
    // 0x0FFF names a 12-bit part's configuration word as the buffer keeps it),
    // PIC18 byte addresses (0x200000 IDs, 0x300000 configuration, 0x3FFFFE DEVICE-ID).
    virtual uint16_t Peek(uint32_t) const { return 0; }
    virtual void Poke(uint32_t, uint16_t) {}
    uint16_t Program(uint32_t address) const { return Peek(address); }
    virtual uint8_t Eeprom(uint32_t) const { return 0; }
    virtual void SetEeprom(uint32_t, uint8_t) {}
    // Factory calibration values for slot 1 and slot 2 of the catalogue row.
    virtual void SetCalibration(const std::vector<uint16_t> &) {}
    virtual std::vector<uint16_t> Calibration() const { return {}; }
    // One byte of an Intel HEX image at its HEX byte address.
    virtual void PokeHexByte(uint32_t, uint8_t) {}

    // Programming and erase cycles the chip has carried out (for assertions).
    int Cycles() const { return cycles_; }

    // What the configuration now in the chip keeps from being read over
    // ICSP: protected memories read as zeros, while Peek and the --dump file
    // still show the cells. The configuration-bit names of the part's header
    // say which bits protect; a part without a header is never protected.
    // Bulk erase clears the configuration and with it the protection.
    TConfigProtection Protection() const;
    // Off, the chip ignores its protection bits (the in-process tests that
    // program configuration patterns); tarnbox-sim models them by default.
    void ModelProtection(bool on) { modelProtection_ = on; }

protected:
    // The configuration words of the layout, as Peek sees them.
    virtual TConfigValues ConfigCells(const TConfigLayout &) const { return {}; }

    bool programMode_ = false;
    int cycles_ = 0;

private:
    bool modelProtection_ = true;
    mutable std::shared_ptr<const TConfigLayout> layout_;
    mutable bool layoutLooked_ = false;
    // The protection last worked out, and the configuration cells it was
    // worked out from: every byte a read streams asks again, and the cells
    // change only when the configuration is written or erased.
    mutable TConfigValues protectionCells_;
    mutable TConfigProtection protection_;
};

class Pic16Chip : public SimChip {
public:
    Pic16Chip(const TDeviceSpec &device, uint8_t revision);
    ChipFamily Family() const override { return ChipFamily::Pic16; }
    std::string Name() const override { return device_.Name; }
    const TDeviceSpec &Device() const { return device_; }

    void EnterProgramMode(uint8_t subCode) override;
    void ExitProgramMode() override;
    void IcspCommand(uint8_t command) override;
    void IcspLoad(uint8_t command, uint16_t data) override;
    uint16_t IcspRead(uint8_t command) override;

    uint16_t Peek(uint32_t address) const override;
    void Poke(uint32_t address, uint16_t value) override;
    uint8_t Eeprom(uint32_t index) const override;
    void SetEeprom(uint32_t index, uint8_t value) override;
    void SetCalibration(const std::vector<uint16_t> &values) override;
    std::vector<uint16_t> Calibration() const override;
    void PokeHexByte(uint32_t address, uint8_t value) override;

    uint32_t AddressCounter() const { return pc_; }

protected:
    TConfigValues ConfigCells(const TConfigLayout &layout) const override;

private:
    bool TwelveBit() const { return device_.Is12Bit(); }
    bool InProgramSpace(uint32_t pc) const;
    void Increment();
    uint16_t *Cell(uint32_t address);
    bool Writable(uint32_t address) const;
    void Store(uint32_t address, uint16_t value, bool eraseFirst);
    void BeginProgramming(bool eraseFirst);
    void BulkEraseProgram();
    void BulkEraseData();
    void EraseConfigSpace(bool withCalibration);
    void ClearLatches();

    const TDeviceSpec &device_;
    std::vector<uint16_t> program_;
    // 12-bit: words ProgramSize..ConfigAddress1; 14-bit: 0x2000..0x200F.
    std::vector<uint16_t> upper_;
    uint32_t upperBase_;
    std::vector<uint8_t> eeprom_;
    uint32_t pc_ = 0;
    std::vector<int32_t> latches_; // -1: slot not loaded
    int32_t configLatch_ = -1;
    int32_t dataLatch_ = -1;
    enum class LastLoad { None, Program, Data } lastLoad_ = LastLoad::None;
    uint8_t previous_[2] = {0xFF, 0xFF}; // the last two commands, for the 1-7 erase setup
};

class Pic18Chip : public SimChip {
public:
    Pic18Chip(const TDeviceSpec18 &device, uint8_t revision);
    ChipFamily Family() const override { return ChipFamily::Pic18; }
    std::string Name() const override { return device_.Name; }
    const TDeviceSpec18 &Device() const { return device_; }

    void EnterProgramMode(uint8_t subCode) override;
    void ExitProgramMode() override;
    void Pic18Instruction(uint8_t command, uint16_t operand, uint8_t hold) override;
    void SetTablePointer(uint32_t address) override;
    uint8_t TableReadPostIncrement() override;
    void SetEepromAddress(uint16_t address) override;
    uint8_t EepromReadPostIncrement() override;
    uint8_t EepromWritePostIncrement(uint8_t value) override;

    uint16_t Peek(uint32_t address) const override;
    void Poke(uint32_t address, uint16_t value) override;
    uint8_t Eeprom(uint32_t index) const override;
    void SetEeprom(uint32_t index, uint8_t value) override;
    void PokeHexByte(uint32_t address, uint8_t value) override;

    uint32_t TablePointer() const { return tblptr_; }

protected:
    TConfigValues ConfigCells(const TConfigLayout &layout) const override;

private:
    uint8_t ReadByte(uint32_t address) const;
    void Latch(uint32_t address, uint16_t operand);
    void CommitWrite();
    void BulkErase();

    const TDeviceSpec18 &device_;
    uint8_t revision_;
    std::vector<uint8_t> program_;
    std::vector<uint8_t> eeprom_;
    std::array<uint8_t, 8> id_{};
    std::array<uint8_t, 14> config_{};
    uint32_t tblptr_ = 0;
    uint16_t eeAddress_ = 0;
    bool eepgd_ = false, cfgs_ = false;
    std::vector<int16_t> holding_;       // program write buffer, -1 = empty
    std::array<int16_t, 8> idHolding_{}; // ID write buffer
    bool startPending_ = false;
    uint32_t startAddress_ = 0;
    uint16_t startOperand_ = 0;
    bool keyWritten_ = false;
    uint16_t key_ = 0;
};

// Builds the chip named in the catalogue (case ignored; a name starting with
// "PIC18" is looked up in DeviceTable18) or an empty socket for "none".
// Returns nullptr and fills error for an unknown name or a family switch row.
std::unique_ptr<SimChip> MakeSimChip(const std::string &name, std::string &error, uint8_t revision = 2);

// Writes the chip's whole memory as an Intel HEX file in the layout --hex
// reads: PIC10/12/16 words at twice their address (program memory, the
// configuration area with its calibration words, a 12-bit part's IDs and
// backup word above program memory and its configuration word at 0x0FFF),
// EEPROM from 0x4200; PIC18 program, ID and configuration bytes at their
// addresses, EEPROM from 0xF00000. False with error when it cannot be written.
bool SaveChipAsHex(const SimChip &chip, const std::string &path, std::string &error);

// Loads an Intel HEX file into the chip (data, extended linear and extended
// segment address records). False with error on an unreadable file or a bad record.
bool LoadHexIntoChip(SimChip &chip, const std::string &path, std::string &error);
