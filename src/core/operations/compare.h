// Two images of one part compared memory by memory, as the chip would hold
// them: program words under the core's width, EEPROM bytes, the User-IDs
// and the configuration under the part's masks. What the part keeps of its
// own (the calibration instruction in the last program word, the
// calibration bits beside the configuration) is left out, as verify leaves
// it out. Which file layout gave an image plays no part.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/DeviceSelection.h"
#include "configbits/ConfigBits.h"
#include "image/buffer.h"
#include "operations/operations.h"
#include "operations/regions.h"

// The first differences of each memory kept with both values.
inline constexpr size_t CompareListed = 8;

struct ImageDifference {
    uint32_t address = 0; // in the memory's own numbering, as verify names it
    uint32_t a = 0, b = 0;
};

struct MemoryComparison {
    Memory memory = Memory::Program;
    bool bytes = false;                 // counted in bytes (EEPROM, PIC18)
    uint32_t count = 0;                 // every difference
    std::vector<ImageDifference> first; // the first CompareListed
};

// A configuration field whose bits differ; a setting the header does not
// name for the bits is empty.
struct ConfigFieldChange {
    std::string word, field;
    uint32_t address = 0; // the word's, as the configuration's differences name it
    uint16_t aBits = 0, bBits = 0;
    std::optional<std::string> aSetting, bSetting;
    int digits = 4; // hexadecimal digits of the word
};

struct ImageComparison {
    // One per memory the part has and the comparison took, in the order
    // program, EEPROM, User-ID, configuration; equal ones with count 0.
    std::vector<MemoryComparison> memories;
    // With the part's configuration names: the fields that differ.
    bool byName = false;
    std::vector<ConfigFieldChange> fields;
    uint16_t aChecksum = 0, bChecksum = 0;

    bool Equal() const
    {
        for (const MemoryComparison &m : memories)
            if (m.count != 0) return false;
        return true;
    }
    // How many memories differ.
    size_t Differing() const;
};

// a against b for the selected device (none selected: nothing compared),
// over the memories of regions. names, when given, is the part's
// configuration layout, for the fields that differ.
ImageComparison CompareImages(const MemoryBuffer &a, const MemoryBuffer &b, DeviceSelection device,
                              unsigned regions = RegionAll, const TConfigLayout *names = nullptr);
