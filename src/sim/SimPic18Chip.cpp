// The PIC18 model: table reads and writes through the write buffer, the ID
// and configuration bytes, the data EEPROM and the bulk erase keys.
#include <algorithm>

#include "SimChip.h"

Pic18Chip::Pic18Chip(const TDeviceSpec18 &device, uint8_t revision)
    : device_(device), revision_(revision), program_(device.ProgramSize, 0xFF),
      eeprom_(device.EEDataSize, 0xFF), holding_(device.WriteBufferSize ? device.WriteBufferSize : 8, -1)
{
    id_.fill(0xFF);
    config_ = device.ConfigDefault;
    idHolding_.fill(-1);
}

void Pic18Chip::EnterProgramMode(uint8_t subCode)
{
    SimChip::EnterProgramMode(subCode);
    tblptr_ = 0;
    eeAddress_ = 0;
    eepgd_ = cfgs_ = false;
    std::fill(holding_.begin(), holding_.end(), -1);
    idHolding_.fill(-1);
    startPending_ = false;
    keyWritten_ = false;
}

void Pic18Chip::ExitProgramMode()
{
    SimChip::ExitProgramMode();
    startPending_ = false;
    keyWritten_ = false;
}

void Pic18Chip::Latch(uint32_t address, uint16_t operand)
{
    const uint32_t even = address & ~1u;
    const int16_t lo = operand & 0xFF, hi = operand >> 8;
    if (even < device_.ProgramSize) {
        holding_[even % holding_.size()] = lo;
        holding_[(even + 1) % holding_.size()] = hi;
    } else if (even >= 0x200000 && even < 0x200008) {
        idHolding_[even & 7] = lo;
        idHolding_[(even + 1) & 7] = hi;
    }
}

void Pic18Chip::CommitWrite()
{
    const uint32_t a = startAddress_;
    if (a < device_.ProgramSize) {
        if (!eepgd_ || cfgs_) return;
        // Flash programming only clears bits: the block must be erased first.
        const uint32_t row = a & ~(static_cast<uint32_t>(holding_.size()) - 1);
        for (size_t i = 0; i < holding_.size(); ++i)
            if (holding_[i] >= 0) program_[row + i] &= static_cast<uint8_t>(holding_[i]);
        std::fill(holding_.begin(), holding_.end(), -1);
        ++cycles_;
    } else if (a >= 0x200000 && a < 0x200008) {
        if (!eepgd_ || cfgs_) return;
        for (size_t i = 0; i < idHolding_.size(); ++i)
            if (idHolding_[i] >= 0) id_[i] &= static_cast<uint8_t>(idHolding_[i]);
        idHolding_.fill(-1);
        ++cycles_;
    } else if (a >= 0x300000 && a < 0x30000E) {
        if (!cfgs_) return;
        // Configuration cells are written a byte at a time; the address parity
        // picks the byte of the 16-bit operand. Unimplemented bits read 0.
        const uint32_t i = a - 0x300000;
        const uint8_t byte =
            (a & 1) ? static_cast<uint8_t>(startOperand_ >> 8) : static_cast<uint8_t>(startOperand_);
        config_[i] = byte & device_.ConfigMask[i];
        ++cycles_;
    }
}

void Pic18Chip::BulkErase()
{
    std::fill(program_.begin(), program_.end(), 0xFF);
    std::fill(eeprom_.begin(), eeprom_.end(), 0xFF);
    id_.fill(0xFF);
    config_ = device_.ConfigDefault;
    ++cycles_;
}

void Pic18Chip::Pic18Instruction(uint8_t command, uint16_t operand, uint8_t hold)
{
    if (!programMode_) return;
    // A start-programming table write only programs when the NOP that
    // follows it holds the clock for the programming time.
    const bool pending = startPending_;
    startPending_ = false;
    switch (command) {
    case 0x0:
        if (operand == 0x0000) {
            if (hold == 2 && pending) CommitWrite();
            if (hold == 1 && keyWritten_) {
                const uint16_t expected = device_.EraseKind == 0   ? 0x0080
                                          : device_.EraseKind == 1 ? 0x3F8F
                                                                   : 0xFFFF;
                if (key_ == expected) BulkErase();
                keyWritten_ = false;
            }
        } else if (operand == 0x8EA6) {
            eepgd_ = true;
        } else if (operand == 0x9EA6) {
            eepgd_ = false;
        } else if (operand == 0x8CA6) {
            cfgs_ = true;
        } else if (operand == 0x9CA6) {
            cfgs_ = false;
        } else if (operand == 0x2AF6) {
            tblptr_ = (tblptr_ & ~0xFFu) | ((tblptr_ + 1) & 0xFF); // INCF TBLPTRL: no carry
        }
        break;
    case 0xC:
        if (tblptr_ == 0x3C0004 || tblptr_ == 0x3C0005) {
            key_ = operand;
            keyWritten_ = true;
        } else {
            Latch(tblptr_, operand);
        }
        break;
    case 0xD:
        Latch(tblptr_, operand);
        tblptr_ = (tblptr_ + 2) & 0x3FFFFF;
        break;
    case 0xE:
        Latch(tblptr_, operand);
        tblptr_ = (tblptr_ - 2) & 0x3FFFFF;
        break;
    case 0xF:
        Latch(tblptr_, operand);
        startPending_ = true;
        startAddress_ = tblptr_;
        startOperand_ = operand;
        break;
    default:
        break;
    }
}

void Pic18Chip::SetTablePointer(uint32_t address)
{
    if (programMode_) tblptr_ = address & 0x3FFFFF;
}

uint8_t Pic18Chip::ReadByte(uint32_t a) const
{
    if (a < device_.ProgramSize) return program_[a];
    if (a >= 0x200000 && a < 0x200008) return id_[a - 0x200000];
    if (a >= 0x300000 && a < 0x30000E) return config_[a - 0x300000];
    if (a == 0x3FFFFE) return static_cast<uint8_t>((device_.DeviceId & 0xE0) | (revision_ & 0x1F));
    if (a == 0x3FFFFF) return static_cast<uint8_t>(device_.DeviceId >> 8);
    return 0; // unimplemented locations read 0
}

TConfigValues Pic18Chip::ConfigCells(const TConfigLayout &layout) const
{
    TConfigValues values;
    for (const TConfigWord &w : layout.Words)
        values.push_back(ReadByte(w.Address));
    return values;
}

uint8_t Pic18Chip::TableReadPostIncrement()
{
    if (!programMode_) return 0;
    // Any protected block hides the whole program memory: the model does not
    // know the parts' block boundaries.
    const uint8_t b = tblptr_ < device_.ProgramSize && Protection().Code ? 0 : ReadByte(tblptr_);
    tblptr_ = (tblptr_ + 1) & 0x3FFFFF;
    return b;
}

void Pic18Chip::SetEepromAddress(uint16_t address)
{
    if (programMode_) eeAddress_ = address;
}

uint8_t Pic18Chip::EepromReadPostIncrement()
{
    if (!programMode_ || eeprom_.empty()) return 0;
    const uint8_t b = Protection().Data ? 0 : eeprom_[eeAddress_ % eeprom_.size()];
    ++eeAddress_;
    return b;
}

uint8_t Pic18Chip::EepromWritePostIncrement(uint8_t value)
{
    if (!programMode_) return 0;
    // Data EEPROM access clears EEPGD and CFGS.
    eepgd_ = cfgs_ = false;
    if (eeprom_.empty()) {
        ++eeAddress_;
        return 0;
    }
    uint8_t &cell = eeprom_[eeAddress_ % eeprom_.size()];
    cell = value;
    ++eeAddress_;
    ++cycles_;
    return Protection().Data ? 0 : cell;
}

uint16_t Pic18Chip::Peek(uint32_t address) const
{
    return ReadByte(address);
}

void Pic18Chip::Poke(uint32_t a, uint16_t value)
{
    const uint8_t b = static_cast<uint8_t>(value);
    if (a < device_.ProgramSize)
        program_[a] = b;
    else if (a >= 0x200000 && a < 0x200008)
        id_[a - 0x200000] = b;
    else if (a >= 0x300000 && a < 0x30000E)
        config_[a - 0x300000] = b & device_.ConfigMask[a - 0x300000];
}

uint8_t Pic18Chip::Eeprom(uint32_t index) const
{
    return index < eeprom_.size() ? eeprom_[index] : 0;
}

void Pic18Chip::SetEeprom(uint32_t index, uint8_t value)
{
    if (index < eeprom_.size()) eeprom_[index] = value;
}

void Pic18Chip::PokeHexByte(uint32_t address, uint8_t value)
{
    if (address >= 0xF00000 && address < 0xF00000 + eeprom_.size())
        SetEeprom(address - 0xF00000, value);
    else
        Poke(address, value);
}
