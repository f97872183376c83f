// The PIC10/12/16 model: program memory and the configuration area word by
// word, the data EEPROM, the load latches and the erase rules of 12-bit and
// 14-bit parts.
#include <algorithm>
#include <vector>

#include "SimChip.h"
#include "image/buffer.h"

namespace {

uint32_t NameHash(const char *name)
{
    uint32_t h = 2166136261u;
    for (const char *p = name; *p; ++p)
        h = (h ^ static_cast<uint8_t>(*p)) * 16777619u;
    return h;
}

// Configuration-space words that hold factory calibration (0x2008, 0x2009):
// bulk erase keeps them unless the address counter stands past 0x2008.
bool IsCalibrationWord(const TDeviceSpec &device, uint32_t address)
{
    return address >= 0x2008 && (address == device.CalibAddress1 || address == device.CalibAddress2);
}

} // namespace


Pic16Chip::Pic16Chip(const TDeviceSpec &device, uint8_t revision)
    : device_(device), program_(device.ProgramSize, device.BlankWord), eeprom_(device.EEDataSize, 0xFF),
      latches_(device.LatchCount ? device.LatchCount : 1, -1)
{
    if (TwelveBit()) {
        upperBase_ = device.ProgramSize;
        upper_.assign(device.ConfigAddress1 + 1 - device.ProgramSize, device.BlankWord);
    } else {
        upperBase_ = 0x2000;
        upper_.assign(16, 0x3FFF);
        upper_[6] = device.DeviceId ? static_cast<uint16_t>(device.DeviceId | (revision & 0x1F)) : 0x3FFF;
    }

    // Factory calibration: an oscillator calibration instruction in the last
    // program word (MOVLW on 12-bit parts, RETLW on 14-bit ones) with its
    // backup after the User-IDs, band-gap bits in the configuration word, or
    // calibration words at 0x2008/0x2009. Values differ from part to part.
    const uint32_t h = NameHash(device.Name);
    std::vector<uint16_t> factory;
    for (int slot = 0; slot < 2; ++slot) {
        const uint16_t address = slot == 0 ? device.CalibAddress1 : device.CalibAddress2;
        uint16_t value = 0;
        if (address == 0) {
            value = 0;
        } else if (TwelveBit()) {
            value = static_cast<uint16_t>(0x0C00 | ((0x10 + h % 0x60) & 0xFE));
        } else if (address < 0x2000) {
            value = static_cast<uint16_t>(0x3400 | ((0x40 + h % 0x80) & 0xFC));
        } else if (address == 0x2007) {
            value = (h & 1) ? 0x1000 : 0x2000;
        } else {
            value =
                static_cast<uint16_t>((slot == 0 ? 0x1000 : 0x2000) | ((h >> (slot == 0 ? 4 : 16)) & 0x0FFF));
        }
        factory.push_back(value);
    }
    SetCalibration(factory);
}

bool Pic16Chip::InProgramSpace(uint32_t pc) const
{
    return TwelveBit() ? pc < device_.ProgramSize : pc < 0x2000;
}

void Pic16Chip::Increment()
{
    if (TwelveBit())
        pc_ = pc_ >= device_.ConfigAddress1 ? 0 : pc_ + 1;
    else if (pc_ < 0x2000)
        pc_ = (pc_ + 1) & 0x1FFF;
    else
        pc_ = pc_ >= 0x3FFF ? 0x2000 : pc_ + 1;
}

uint16_t *Pic16Chip::Cell(uint32_t address)
{
    if (TwelveBit()) {
        if (address == Config12BitWord) address = device_.ConfigAddress1;
        if (address < device_.ProgramSize) return &program_[address];
        if (address <= device_.ConfigAddress1) return &upper_[address - upperBase_];
        return nullptr;
    }
    // Program memory repeats through the whole 0x0000-0x1FFF range: the
    // upper address bits of a smaller part are not decoded.
    if (address < 0x2000) return &program_[address % program_.size()];
    if (address < 0x2010) return &upper_[address - 0x2000];
    return nullptr;
}

bool Pic16Chip::Writable(uint32_t address) const
{
    const uint32_t id = device_.UserIdAddress;
    if (TwelveBit()) {
        if (address < device_.ProgramSize) return true;
        if (address >= id && address < id + 4) return true;
        if (address == id + 4 && device_.CalibAddress2 == id + 4) return true;
        return address == device_.ConfigAddress1;
    }
    if (address < 0x2000) return true;
    if (address >= 0x2000 && address < 0x2004) return true;
    if (address == 0x2007) return true;
    if (address == 0x2008 && device_.ConfigAddress2 == 0x2008) return true;
    return IsCalibrationWord(device_, address);
}

void Pic16Chip::Store(uint32_t address, uint16_t value, bool eraseFirst)
{
    if (!Writable(address)) return;
    uint16_t *cell = Cell(address);
    if (!cell) return;
    // A programming-only cycle can clear bits but never set them again.
    *cell = eraseFirst ? (value & device_.BlankWord) : (*cell & value & device_.BlankWord);
}

void Pic16Chip::ClearLatches()
{
    std::fill(latches_.begin(), latches_.end(), -1);
    configLatch_ = -1;
    dataLatch_ = -1;
    lastLoad_ = LastLoad::None;
}

void Pic16Chip::EnterProgramMode(uint8_t subCode)
{
    SimChip::EnterProgramMode(subCode);
    // 12-bit parts start on the configuration word, 14-bit parts on word 0.
    pc_ = TwelveBit() ? device_.ConfigAddress1 : 0;
    ClearLatches();
    previous_[0] = previous_[1] = 0xFF;
}

void Pic16Chip::ExitProgramMode()
{
    SimChip::ExitProgramMode();
    ClearLatches();
}

void Pic16Chip::EraseConfigSpace(bool withCalibration)
{
    if (TwelveBit()) return;
    for (uint32_t a = 0x2000; a < 0x2010; ++a) {
        if (a == 0x2006) continue;
        if (IsCalibrationWord(device_, a)) {
            if (withCalibration) upper_[a - 0x2000] = 0x3FFF;
        } else if (Writable(a)) {
            upper_[a - 0x2000] = 0x3FFF;
        }
    }
}

void Pic16Chip::BulkEraseProgram()
{
    std::fill(program_.begin(), program_.end(), device_.BlankWord);
    if (TwelveBit()) {
        // The configuration word always goes; with the address counter in the
        // User-ID region the IDs and the backup calibration word go too.
        const uint32_t id = device_.UserIdAddress;
        if (pc_ >= id && pc_ < device_.ConfigAddress1)
            std::fill(upper_.begin(), upper_.end(), device_.BlankWord);
        else
            upper_.back() = device_.BlankWord;
    } else if (pc_ >= 0x2000) {
        EraseConfigSpace(pc_ >= 0x2009);
    }
    ++cycles_;
}

void Pic16Chip::BulkEraseData()
{
    std::fill(eeprom_.begin(), eeprom_.end(), 0xFF);
    ++cycles_;
}

void Pic16Chip::BeginProgramming(bool eraseFirst)
{
    if (lastLoad_ == LastLoad::Data) {
        // Data EEPROM cells are erased and written in one cycle.
        if (!eeprom_.empty() && dataLatch_ >= 0)
            eeprom_[pc_ % eeprom_.size()] = static_cast<uint8_t>(dataLatch_);
    } else if (InProgramSpace(pc_)) {
        // The latches form one row; the address counter at the start of the
        // cycle selects which row of program memory receives them.
        const uint32_t count = static_cast<uint32_t>(latches_.size());
        const uint32_t row = pc_ & ~(count - 1);
        for (uint32_t slot = 0; slot < count; ++slot)
            if (latches_[slot] >= 0) Store(row + slot, static_cast<uint16_t>(latches_[slot]), eraseFirst);
    } else if (configLatch_ >= 0) {
        Store(pc_, static_cast<uint16_t>(configLatch_), eraseFirst);
    }
    ++cycles_;
    ClearLatches();
}

void Pic16Chip::IcspCommand(uint8_t command)
{
    if (!programMode_) return;
    const bool eraseSetup = previous_[0] == 1 && previous_[1] == 7;
    previous_[0] = previous_[1];
    previous_[1] = command;
    switch (command) {
    case 6:
        Increment();
        break;
    case 8:
    case 24:
        if (eraseSetup && !TwelveBit()) {
            // Bulk erase setup 1 and 2 followed by a programming cycle: the
            // whole chip, code protection included, is erased.
            std::fill(program_.begin(), program_.end(), device_.BlankWord);
            EraseConfigSpace(pc_ >= 0x2009);
            BulkEraseData();
            ClearLatches();
        } else {
            // 14-bit "begin programming" (8) erases each word before writing
            // it; 24 and every 12-bit cycle only program.
            BeginProgramming(command == 8 && !TwelveBit());
        }
        break;
    case 9:
        BulkEraseProgram();
        break;
    case 11:
        if (!TwelveBit()) BulkEraseData();
        break;
    case 31:
        if (!TwelveBit()) {
            std::fill(program_.begin(), program_.end(), device_.BlankWord);
            EraseConfigSpace(pc_ >= 0x2009);
            BulkEraseData();
        }
        break;
    default:
        // 1 and 7 (erase setup) and the end-programming commands 10, 14 and
        // 23 change nothing by themselves.
        break;
    }
}

void Pic16Chip::IcspLoad(uint8_t command, uint16_t data)
{
    if (!programMode_) return;
    previous_[0] = previous_[1];
    previous_[1] = command;
    switch (command) {
    case 0:
        if (TwelveBit()) break;
        pc_ = 0x2000;
        configLatch_ = data & 0x3FFF;
        lastLoad_ = LastLoad::Program;
        break;
    case 2:
        if (InProgramSpace(pc_))
            latches_[pc_ & (latches_.size() - 1)] = data & device_.BlankWord;
        else
            configLatch_ = data & device_.BlankWord;
        lastLoad_ = LastLoad::Program;
        break;
    case 3:
        if (TwelveBit()) break;
        dataLatch_ = data & 0xFF;
        lastLoad_ = LastLoad::Data;
        break;
    default:
        break;
    }
}

uint16_t Pic16Chip::IcspRead(uint8_t command)
{
    if (!programMode_) return 0;
    previous_[0] = previous_[1];
    previous_[1] = command;
    if (command == 4) {
        // User-IDs and configuration stay readable under protection, and so
        // does a factory calibration word at the top of program memory: an
        // erase must be able to save it from a protected chip.
        const bool calibration = (device_.CalibAddress1 && pc_ == device_.CalibAddress1) ||
                                 (device_.CalibAddress2 && pc_ == device_.CalibAddress2);
        if (InProgramSpace(pc_) && !calibration && Protection().Code) return 0;
        const uint16_t *cell = Cell(pc_);
        return cell ? *cell : device_.BlankWord;
    }
    if (command == 5 && !eeprom_.empty()) return Protection().Data ? 0 : eeprom_[pc_ % eeprom_.size()];
    return 0;
}

TConfigValues Pic16Chip::ConfigCells(const TConfigLayout &layout) const
{
    TConfigValues values;
    for (const TConfigWord &w : layout.Words)
        values.push_back(Peek(w.Address));
    return values;
}

uint16_t Pic16Chip::Peek(uint32_t address) const
{
    if (!TwelveBit() && address >= EEDataAreaStart && address < EEDataAreaStart + eeprom_.size())
        return eeprom_[address - EEDataAreaStart];
    const uint16_t *cell = const_cast<Pic16Chip *>(this)->Cell(address);
    return cell ? *cell : device_.BlankWord;
}

void Pic16Chip::Poke(uint32_t address, uint16_t value)
{
    if (!TwelveBit() && address >= EEDataAreaStart && address < EEDataAreaStart + eeprom_.size()) {
        eeprom_[address - EEDataAreaStart] = static_cast<uint8_t>(value);
        return;
    }
    if (uint16_t *cell = Cell(address)) *cell = value & device_.BlankWord;
}

uint8_t Pic16Chip::Eeprom(uint32_t index) const
{
    return index < eeprom_.size() ? eeprom_[index] : 0;
}

void Pic16Chip::SetEeprom(uint32_t index, uint8_t value)
{
    if (index < eeprom_.size()) eeprom_[index] = value;
}

void Pic16Chip::SetCalibration(const std::vector<uint16_t> &values)
{
    for (size_t slot = 0; slot < 2 && slot < values.size(); ++slot) {
        const uint16_t address = slot == 0 ? device_.CalibAddress1 : device_.CalibAddress2;
        const uint16_t mask = slot == 0 ? device_.CalibMask1 : device_.CalibMask2;
        if (address == 0) continue;
        if (uint16_t *cell = Cell(address))
            *cell = static_cast<uint16_t>((*cell & ~mask) | (values[slot] & mask));
    }
}

std::vector<uint16_t> Pic16Chip::Calibration() const
{
    std::vector<uint16_t> values;
    if (device_.CalibAddress1) values.push_back(Peek(device_.CalibAddress1) & device_.CalibMask1);
    if (device_.CalibAddress2) values.push_back(Peek(device_.CalibAddress2) & device_.CalibMask2);
    return values;
}

void Pic16Chip::PokeHexByte(uint32_t address, uint8_t value)
{
    const uint32_t word = address / 2;
    const bool high = address & 1;
    if (!TwelveBit() && word >= EEDataAreaStart && word < EEDataAreaStart + 0x100) {
        if (!high) SetEeprom(word - EEDataAreaStart, value);
        return;
    }
    uint16_t current = Peek(word);
    current = high ? static_cast<uint16_t>((current & 0x00FF) | (value << 8))
                   : static_cast<uint16_t>((current & 0xFF00) | value);
    Poke(word, current);
}
