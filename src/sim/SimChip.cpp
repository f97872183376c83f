#include "SimChip.h"

#include <algorithm>
#include <fstream>

#include "image/buffer.h"

#include "support/textutil.h"

void SimChip::EnterProgramMode(uint8_t)
{
    programMode_ = true;
}

void SimChip::ExitProgramMode()
{
    programMode_ = false;
}

TConfigProtection SimChip::Protection() const
{
    if (!modelProtection_ || Family() == ChipFamily::None) return {};
    if (!layoutLooked_) {
        layout_ = ConfigLayoutFor(Name(), Family() == ChipFamily::Pic18);
        layoutLooked_ = true;
    }
    if (!layout_) return {};
    TConfigValues cells = ConfigCells(*layout_);
    if (cells != protectionCells_) {
        protection_ = ConfigProtection(*layout_, cells);
        protectionCells_ = std::move(cells);
    }
    return protection_;
}

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

// ---------------------------------------------------------------------------
// PIC10/12/16

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

// ---------------------------------------------------------------------------
// PIC18

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

// ---------------------------------------------------------------------------

std::unique_ptr<SimChip> MakeSimChip(const std::string &name, std::string &error, uint8_t revision)
{
    if (SameTextIgnoringCase(name, "none")) return std::make_unique<SimChip>();
    if (UpperCase(name.substr(0, 5)) == "PIC18") {
        for (int i = 1; i < DeviceTable18Size; ++i)
            if (SameTextIgnoringCase(name, DeviceTable18[i].Name))
                return std::make_unique<Pic18Chip>(DeviceTable18[i], revision);
    } else {
        for (int i = 1; i < DeviceTableSize; ++i)
            if (SameTextIgnoringCase(name, DeviceTable[i].Name))
                return std::make_unique<Pic16Chip>(DeviceTable[i], revision);
    }
    error = "unknown chip: " + name;
    return nullptr;
}

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace

bool LoadHexIntoChip(SimChip &chip, const std::string &path, std::string &error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    uint32_t base = 0;
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        const std::string text = TrimBlanks(line);
        if (text.empty() || text[0] != ':') continue; // device tags and comments
        std::vector<uint8_t> bytes;
        bool bad = (text.size() - 1) % 2 != 0;
        for (size_t i = 1; !bad && i + 1 < text.size(); i += 2) {
            const int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
            if (hi < 0 || lo < 0) bad = true;
            bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
        }
        if (bad || bytes.size() < 5 || bytes.size() != bytes[0] + 5u) {
            error = path + ": bad record on line " + std::to_string(lineNumber);
            return false;
        }
        uint8_t sum = 0;
        for (uint8_t b : bytes)
            sum = static_cast<uint8_t>(sum + b);
        if (sum != 0) {
            error = path + ": checksum error on line " + std::to_string(lineNumber);
            return false;
        }
        const uint32_t offset = (bytes[1] << 8) | bytes[2];
        const uint8_t type = bytes[3];
        if (type == 0x00) {
            for (uint32_t i = 0; i < bytes[0]; ++i)
                chip.PokeHexByte(base + offset + i, bytes[4 + i]);
        } else if (type == 0x01) {
            break;
        } else if (type == 0x02 && bytes[0] == 2) {
            base = ((bytes[4] << 8) | bytes[5]) << 4;
        } else if (type == 0x04 && bytes[0] == 2) {
            base = static_cast<uint32_t>((bytes[4] << 8) | bytes[5]) << 16;
        }
    }
    return true;
}

namespace {

// Intel HEX records of up to 16 bytes, with an extended linear address
// record wherever the upper half of the address changes.
class HexOut {
public:
    void Bytes(uint32_t address, const std::vector<uint8_t> &bytes)
    {
        for (size_t i = 0; i < bytes.size(); i += 16) {
            const uint32_t at = address + static_cast<uint32_t>(i);
            if (at >> 16 != upper_) {
                upper_ = at >> 16;
                Record(0, 0x04, {static_cast<uint8_t>(upper_ >> 8), static_cast<uint8_t>(upper_)});
            }
            const size_t n = std::min<size_t>(16, bytes.size() - i);
            Record(static_cast<uint16_t>(at), 0x00,
                   std::vector<uint8_t>(bytes.begin() + i, bytes.begin() + i + n));
        }
    }
    // Words low byte first at twice their address.
    void Words(uint32_t wordAddress, const std::vector<uint16_t> &words)
    {
        std::vector<uint8_t> bytes;
        for (uint16_t w : words) {
            bytes.push_back(static_cast<uint8_t>(w));
            bytes.push_back(static_cast<uint8_t>(w >> 8));
        }
        Bytes(2 * wordAddress, bytes);
    }
    std::string End()
    {
        Record(0, 0x01, {});
        return text_;
    }

private:
    void Record(uint16_t offset, uint8_t type, const std::vector<uint8_t> &data)
    {
        std::vector<uint8_t> r = {static_cast<uint8_t>(data.size()), static_cast<uint8_t>(offset >> 8),
                                  static_cast<uint8_t>(offset), type};
        r.insert(r.end(), data.begin(), data.end());
        uint8_t sum = 0;
        for (uint8_t b : r)
            sum = static_cast<uint8_t>(sum + b);
        r.push_back(static_cast<uint8_t>(-sum));
        text_ += ':';
        for (uint8_t b : r)
            text_ += Hex(b, 2);
        text_ += "\r\n";
    }

    uint32_t upper_ = 0;
    std::string text_;
};

std::vector<uint16_t> PeekWords(const SimChip &chip, uint32_t from, uint32_t to)
{
    std::vector<uint16_t> words;
    for (uint32_t a = from; a < to; ++a)
        words.push_back(chip.Peek(a));
    return words;
}

} // namespace

bool SaveChipAsHex(const SimChip &chip, const std::string &path, std::string &error)
{
    HexOut out;
    if (const auto *p16 = dynamic_cast<const Pic16Chip *>(&chip)) {
        const TDeviceSpec &d = p16->Device();
        out.Words(0, PeekWords(chip, 0, d.ProgramSize));
        if (d.Is12Bit()) {
            out.Words(d.ProgramSize, PeekWords(chip, d.ProgramSize, d.ConfigAddress1));
            out.Words(Config12BitWord, {chip.Peek(d.ConfigAddress1)});
        } else {
            out.Words(ConfigAreaStart, PeekWords(chip, ConfigAreaStart, ConfigAreaStart + 16));
            std::vector<uint16_t> ee;
            for (uint32_t i = 0; i < d.EEDataSize; ++i)
                ee.push_back(chip.Eeprom(i));
            out.Words(EEDataAreaStart, ee);
        }
    } else if (const auto *p18 = dynamic_cast<const Pic18Chip *>(&chip)) {
        const TDeviceSpec18 &d = p18->Device();
        auto bytes = [&](uint32_t from, uint32_t n) {
            std::vector<uint8_t> b;
            for (uint32_t i = 0; i < n; ++i)
                b.push_back(static_cast<uint8_t>(chip.Peek(from + i)));
            return b;
        };
        out.Bytes(0, bytes(0, d.ProgramSize));
        out.Bytes(0x200000, bytes(0x200000, 8));
        out.Bytes(0x300000, bytes(0x300000, 14));
        std::vector<uint8_t> ee;
        for (uint32_t i = 0; i < d.EEDataSize; ++i)
            ee.push_back(chip.Eeprom(i));
        out.Bytes(0xF00000, ee);
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << out.End();
    file.flush();
    if (!file) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}
