#include "image/load_check.h"

#include <algorithm>

#include "catalogue/DeviceSpec.h"
#include "image/buffer.h"
#include "image/hex.h"
#include "support/textutil.h"
#include "texts/image_texts.h"

bool ChangesWhatIsWritten(LoadFindingKind kind)
{
    // Overlapping records still give the chip one definite image, the one
    // every later reader of the file computes too; all else loses or moves data.
    return kind != LoadFindingKind::Overlap;
}

void LoadFindings::Add(const LoadFinding &finding)
{
    ++Count;
    changes_ = changes_ || ::ChangesWhatIsWritten(finding.Kind);
    kept_ = List.size() < MaxRemembered;
    if (kept_) List.push_back(finding);
}

namespace {

constexpr uint8_t HexSegmentRecord = 0x02;

// The address records the loaders ignore, and the data records that follow
// them: one finding per address record, its range widened by each record.
class AddressRecords {
public:
    explicit AddressRecords(bool pic18) : pic18_(pic18) {}

    // Notes an address record; false when r is none.
    bool Note(const TIntelHex &r, long line)
    {
        if (r.RecordType != HexSegmentRecord && r.RecordType != HexExtendedLinearRecord) return false;
        if (r.Count < 2) return true; // no address to give: every reader ignores it
        const uint16_t value = static_cast<uint16_t>(r.Data[0] << 8 | r.Data[1]);
        if (r.RecordType == HexSegmentRecord)
            segment_ = value;
        else
            extended_ = value;
        line_ = line;
        open_ = false;
        return true;
    }

    // A data record the loader places by an address it ignored: noted, and
    // true so that nothing else is said about it.
    bool Misplaced(const TIntelHex &r, LoadFindings &findings)
    {
        LoadFindingKind kind;
        uint32_t first;
        if (segment_ != 0) {
            kind = LoadFindingKind::SegmentIgnored;
            first = (static_cast<uint32_t>(segment_) << 4) + r.Address();
        } else if (!pic18_ && extended_ != 0) {
            kind = extended_ == 0x0020 || extended_ == 0x0030 || extended_ == 0x00F0
                       ? LoadFindingKind::Pic18Image
                       : LoadFindingKind::ExtendedWraps;
            first = (static_cast<uint32_t>(extended_) << 16) + r.Address();
        } else {
            return false;
        }
        const uint32_t last = first + (r.Count ? r.Count - 1u : 0u);
        if (open_) {
            if (LoadFinding *f = findings.Latest()) {
                f->First = std::min(f->First, first);
                f->Last = std::max(f->Last, last);
            }
            return true;
        }
        findings.Add({kind, line_, first, last, true, 0});
        open_ = true;
        return true;
    }

    uint16_t Extended() const { return extended_; }

private:
    bool pic18_;
    uint16_t extended_ = 0, segment_ = 0;
    long line_ = 0;
    bool open_ = false;
};

// Which record last set each byte of the buffer, and to what.
class Overlaps {
public:
    explicit Overlaps(size_t slots) : line_(slots, 0), value_(slots, 0) {}

    // Notes byte slot of record line; returns the earlier line when it set
    // the byte to another value.
    long Set(size_t slot, uint8_t value, long line)
    {
        const long earlier = line_[slot] != line && value_[slot] != value ? line_[slot] : 0;
        line_[slot] = line;
        value_[slot] = value;
        return earlier;
    }

private:
    std::vector<long> line_;
    std::vector<uint8_t> value_;
};

// Collects the addresses of one record that share a finding.
struct Span {
    bool Any = false;
    uint32_t First = 0, Last = 0;
    long Earlier = 0;
    void Add(uint32_t at, long earlier = 0)
    {
        if (!Any) First = at, Earlier = earlier;
        Any = true;
        Last = at;
    }
    void Report(LoadFindings &findings, LoadFindingKind kind, long line, bool fileBytes) const
    {
        if (Any) findings.Add({kind, line, First, Last, fileBytes, Earlier});
    }
};

bool InPart16(const TDeviceSpec &d, uint32_t w)
{
    return w < std::min<uint32_t>(d.ProgramSize, ConfigAreaStart) ||
           (w >= d.UserIdAddress && w < d.UserIdAddress + d.ConfigAreaSize) ||
           (d.Is12Bit() && w == Config12BitWord) || (w >= EEDataAreaStart && w < EEDataAreaStart + d.EEDataSize);
}

// The image bytes the records of a file give the PIC10/12/16 loader, so
// that a word whose other byte comes in a later record is whole.
std::vector<bool> GivenBytes16(std::string_view text)
{
    std::vector<bool> given(Hex16ImageBytes, false);
    ForEachHexLine(text, [&](std::string_view lineText) {
        const TIntelHex r = ParseHexLine(lineText);
        if (!r.Tag.empty() || r.LineStatus != HexLineOk || r.RecordType != HexDataRecord) return;
        if (r.AddressHigh == 0xFF) return;
        const long start = Hex16ImageByte(r);
        for (uint32_t i = 0; start >= 0 && i < r.Count && start + i < Hex16ImageBytes; ++i)
            given[static_cast<size_t>(start) + i] = true;
    });
    return given;
}

// Mirrors Hex16Loader: the same records, the same places.
void Check16(std::string_view text, const TDeviceSpec &d, LoadFindings &findings)
{
    const std::vector<bool> given = GivenBytes16(text);
    AddressRecords addresses(false);
    Overlaps overlaps(Hex16ImageBytes);
    long line = 0;
    ForEachHexLine(text, [&](std::string_view lineText) {
        const TIntelHex r = ParseHexLine(lineText);
        ++line;
        if (!r.Tag.empty() || r.LineStatus != HexLineOk) return;
        if (r.AddressHigh == 0xFF) return; // device information, no data
        if (addresses.Note(r, line)) return;
        if (r.RecordType != HexDataRecord || r.Count == 0) return;
        if (addresses.Misplaced(r, findings)) return;

        const long start = Hex16ImageByte(r);
        if (start < 0) {
            // Dropped whole; named by where the file puts it.
            findings.Add({LoadFindingKind::OutsidePart, line, r.Address() / 2u, (r.Address() + r.Count - 1u) / 2u,
                          false, 0});
            return;
        }
        Span half, outside, eepromHigh, overlap;
        for (uint32_t i = 0; i < r.Count && start + i < Hex16ImageBytes; ++i) {
            const uint32_t at = static_cast<uint32_t>(start) + i, w = at / 2;
            if (!InPart16(d, w)) {
                outside.Add(w);
                continue;
            }
            if (!given[at ^ 1u]) half.Add(w);
            if (at % 2 && w >= EEDataAreaStart && r.Data[i] != 0) eepromHigh.Add(w);
            if (const long earlier = overlaps.Set(at, r.Data[i], line)) overlap.Add(w, earlier);
        }
        half.Report(findings, LoadFindingKind::OddBytes, line, false);
        outside.Report(findings, LoadFindingKind::OutsidePart, line, false);
        eepromHigh.Report(findings, LoadFindingKind::EepromHighByte, line, false);
        overlap.Report(findings, LoadFindingKind::Overlap, line, false);
    });
}

// Mirrors Hex18Loader.
void Check18(std::string_view text, const TDeviceSpec18 &d, LoadFindings &findings)
{
    AddressRecords addresses(true);
    const size_t program = d.ProgramSize, id = program, config = id + 16, eedata = config + 14;
    Overlaps overlaps(eedata + d.EEDataSize);
    long line = 0;
    ForEachHexLine(text, [&](std::string_view lineText) {
        const TIntelHex r = ParseHexLine(lineText);
        ++line;
        if (!r.Tag.empty() || r.LineStatus != HexLineOk) return;
        if (addresses.Note(r, line)) return;
        if (r.RecordType != HexDataRecord || r.Count == 0) return;
        if (addresses.Misplaced(r, findings)) return;
        const uint32_t window = addresses.Extended();
        Span outside, overlap;
        for (uint32_t i = 0; i < r.Count; ++i) {
            const uint32_t o = r.Address() + i;
            const uint32_t at = (window << 16) + o;
            long slot = -1;
            if (window == 0x0000 && o < d.ProgramSize)
                slot = static_cast<long>(o);
            else if (window == 0x0020 && o < 16)
                slot = static_cast<long>(id + o);
            else if (window == 0x0030 && o < 14)
                slot = static_cast<long>(config + o);
            else if (window == 0x00F0 && o < d.EEDataSize)
                slot = static_cast<long>(eedata + o);
            if (slot < 0) {
                outside.Add(at);
                continue;
            }
            if (const long earlier = overlaps.Set(static_cast<size_t>(slot), r.Data[i], line))
                overlap.Add(at, earlier);
        }
        outside.Report(findings, LoadFindingKind::OutsidePart, line, true);
        overlap.Report(findings, LoadFindingKind::Overlap, line, true);
    });
}

} // namespace

LoadFindings CheckHexText(std::string_view text, DeviceSelection device)
{
    LoadFindings findings;
    if (!IsDevice(device)) return findings;
    if (device.Pic18)
        Check18(text, DeviceTable18[static_cast<size_t>(device.Index)], findings);
    else
        Check16(text, DeviceTable[static_cast<size_t>(device.Index)], findings);
    return findings;
}

std::string LoadFindingReason(LoadFindingKind kind)
{
    switch (kind) {
    case LoadFindingKind::OutsidePart:
        return texts::LoadOutsidePart();
    case LoadFindingKind::EepromHighByte:
        return texts::LoadEepromHighByte();
    case LoadFindingKind::Pic18Image:
        return texts::LoadPic18Image();
    case LoadFindingKind::ExtendedWraps:
        return texts::LoadExtendedWraps();
    case LoadFindingKind::SegmentIgnored:
        return texts::LoadSegmentIgnored();
    case LoadFindingKind::OddBytes:
        return texts::LoadOddBytes();
    case LoadFindingKind::Overlap:
        return texts::LoadOverlap();
    }
    return {};
}

std::string LoadFindingText(const LoadFinding &f)
{
    const int digits = f.FileBytes ? (std::max(f.First, f.Last) > 0xFFFF ? 6 : 4) : 4;
    std::string range = "0x" + Hex(f.First, digits);
    if (f.Last != f.First) range += "-0x" + Hex(f.Last, digits);
    std::string reason = LoadFindingReason(f.Kind);
    if (f.Kind == LoadFindingKind::Overlap && f.EarlierLine > 0)
        reason = texts::LoadOverlapWithLine(f.EarlierLine);
    return texts::LoadFindingLine(f.Line, range, reason);
}

std::string LoadFindingsText(const std::string &name, const std::string &device, const LoadFindings &findings)
{
    return texts::LoadFindingsHeading(name, findings.Count, device);
}
