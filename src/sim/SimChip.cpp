#include "SimChip.h"

#include <memory>
#include <string>
#include <utility>

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
