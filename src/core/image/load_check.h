// What a HEX file would silently lose or misplace in the selected part: the
// records the loaders drop, cut or put somewhere else than the file means.
// The check reads the file's text once more, with the loaders' own rules, so
// the findings describe exactly what the buffer received.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/DeviceSelection.h"

enum class LoadFindingKind {
    OutsidePart,    // data at addresses none of the part's memories has: dropped
    EepromHighByte, // PIC10/12/16 EEPROM word with a non-zero high byte: the byte is lost
    Pic18Image,     // PIC18 extended address read by the PIC10/12/16 loader: data land near word 0
    ExtendedWraps,  // another extended address the PIC10/12/16 loader ignores: data land below 64 KB
    SegmentIgnored, // segment address (type 02) ignored: the data after it land in another window
    OddBytes,       // PIC10/12/16 word of which the file gives one byte: the other stays as the buffer held it
    Overlap,        // a later record gives other values for bytes an earlier one set: the later wins
};

// Whether the kind means that the chip would not get what the file says;
// program and verify refuse files with such findings.
bool ChangesWhatIsWritten(LoadFindingKind kind);

struct LoadFinding {
    LoadFindingKind Kind = LoadFindingKind::OutsidePart;
    long Line = 0; // 1-based; for an address record, its own line
    // First and last address concerned, inclusive: PIC10/12/16 word addresses
    // as the buffer keeps them for data placed by the loader; the file's byte
    // addresses (extended address included) for address records and PIC18.
    uint32_t First = 0, Last = 0;
    bool FileBytes = false;
    long EarlierLine = 0; // Overlap: the earlier record's line
};

struct LoadFindings {
    long Count = 0;                  // every finding
    std::vector<LoadFinding> List;   // the first MaxRemembered, in file order
    static constexpr size_t MaxRemembered = 1000;

    bool Empty() const { return Count == 0; }
    // Any finding that changes what reaches the chip.
    bool ChangesWhatIsWritten() const { return changes_; }
    void Add(const LoadFinding &finding);
    // The latest finding, to widen its address range; null when it was not kept.
    LoadFinding *Latest() { return kept_ ? &List.back() : nullptr; }

private:
    bool changes_ = false;
    bool kept_ = false;
};

// The findings of text loaded for device, in the family's loader; empty when
// no device is selected.
LoadFindings CheckHexText(std::string_view text, DeviceSelection device);

// The texts, the same for the window and the command line.
std::string LoadFindingReason(LoadFindingKind kind);
// "12 行目 (0x1F00-0x1F07): <reason>"
std::string LoadFindingText(const LoadFinding &finding);
// The heading: ファイル "NAME" の N 件のレコードがデバイス DEV にそのとおりには入りません。
std::string LoadFindingsText(const std::string &name, const std::string &device, const LoadFindings &findings);
// What program and verify say when they refuse such a file, and what the
// window says when a plain load keeps one: texts::LoadFindingsRefused(),
// texts::LoadFindingsHeld().
// At most this many findings are listed one by one.
constexpr size_t LoadFindingsListed = 20;
