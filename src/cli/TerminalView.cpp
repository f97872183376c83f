#include "TerminalView.h"

#include <algorithm>
#include <cstdio>

#include "ExitStatus.h"
#include "Naming.h"
#include "LoadReportLines.h"
#include "PortReportLines.h"
#include "catalogue/DeviceSpec.h"
#include "image/checksum.h"
#include "link/PortPermission.h"
#include "link/identify.h"
#include "support/textutil.h"
#include "texts/image_texts.h"

namespace {

// A finding's kind as --json names it.
const char *LoadFindingKindWord(LoadFindingKind kind)
{
    switch (kind) {
    case LoadFindingKind::OutsidePart:
        return "outside_part";
    case LoadFindingKind::EepromHighByte:
        return "eeprom_high_byte";
    case LoadFindingKind::Pic18Image:
        return "pic18_image";
    case LoadFindingKind::ExtendedWraps:
        return "extended_wraps";
    case LoadFindingKind::SegmentIgnored:
        return "segment_ignored";
    case LoadFindingKind::OddBytes:
        return "odd_bytes";
    case LoadFindingKind::Overlap:
        return "overlap";
    }
    return "";
}

// Skipped lines, no data and the findings, on stderr.
void ShowLoadProblems(TerminalFrontEnd &ui, JsonObject &fields, const LoadReport &report)
{
    const HexReadReport &read = report.read;
    const std::string name = FileBaseName(report.file);
    if (read.Skipped > 0) {
        ui.Error(SkippedLinesText(name, read));
        for (size_t i = 0; i < read.Lines.size() && i < SkippedLinesListed; ++i)
            std::fprintf(stderr, "  %s\n", SkippedLineText(read.Lines[i]).c_str());
        if (read.Skipped > static_cast<long>(SkippedLinesListed)) std::fprintf(stderr, "  …\n");
    }
    if (read.NoData()) ui.Error(texts::NoHexData(name));
    // Scripts get every finding kept as data, an empty list for a clean file.
    const LoadFindings &findings = report.findings;
    JsonObject list = JsonObject::array();
    for (const LoadFinding &f : findings.List) {
        // The digits the texts show: six for a file address above 64 KB.
        const int digits = std::max(f.First, f.Last) > 0xFFFF ? 6 : 4;
        JsonObject entry{{"line", f.Line},
                         {"first", Hex(f.First, digits)},
                         {"last", Hex(f.Last, digits)},
                         {"kind", LoadFindingKindWord(f.Kind)},
                         {"addresses", f.FileBytes ? "file bytes" : "buffer"},
                         {"changes_what_is_written", ChangesWhatIsWritten(f.Kind)}};
        if (f.Kind == LoadFindingKind::Overlap) entry["earlier_line"] = f.EarlierLine;
        list.push_back(entry);
    }
    fields["findings"] = list;
    fields["findings_count"] = findings.Count;
    if (findings.Empty()) return;
    ui.Error(LoadFindingsText(name, SelectedDeviceName(report.device), findings));
    for (size_t i = 0; i < findings.List.size() && i < LoadFindingsListed; ++i)
        std::fprintf(stderr, "  %s\n", LoadFindingText(findings.List[i]).c_str());
    if (findings.Count > static_cast<long>(LoadFindingsListed)) std::fprintf(stderr, "  …\n");
}

} // namespace

void AddDeviceIdFields(JsonObject &object, uint16_t id)
{
    object["device_id"] = DeviceIdText(id);
    object["id"] = Hex(id & ~0x1Fu, 4);
    object["revision"] = id & 0x1F;
}

JsonObject DifferencesObject(const OperationResult &result)
{
    JsonObject memories = JsonObject::array();
    for (const MemoryDifferences &m : result.differing) {
        JsonObject first = JsonObject::array();
        for (const Difference &d : result.differences)
            if (d.memory == m.memory)
                first.push_back({{"address", d.address},
                                 {"file", d.file ? JsonObject(*d.file) : JsonObject(nullptr)},
                                 {"chip", d.chip ? JsonObject(*d.chip) : JsonObject(nullptr)}});
        memories.push_back({{"memory", MemoryName(m.memory)},
                            {"count", m.count},
                            {"unit", m.bytes ? "bytes" : "words"},
                            {"first", first}});
    }
    return memories;
}

void AdvisePermission(TerminalFrontEnd &ui, const std::vector<std::string> &paths)
{
    for (const std::string &text : PermissionAdviceFor(paths))
        ui.Error(EscapeControls(text));
}

void ShowLines(TerminalFrontEnd &ui, const ReportLines &report)
{
    for (const ReportLine &line : report.lines) switch (line.kind) {
        case ReportLine::Kind::Log:
            ui.AddLog(line.text);
            break;
        case ReportLine::Kind::LogShown:
            ui.AddLogShowingMessages(line.text);
            break;
        case ReportLine::Kind::Detail:
            ui.Detail(line.text);
            break;
        case ReportLine::Kind::Error:
            ui.Error(line.text);
            break;
        case ReportLine::Kind::Advice:
            AdvisePermission(ui, line.devices);
            break;
        case ReportLine::Kind::Status:
            ui.SetStatus(line.text);
            break;
        case ReportLine::Kind::LogAsStatus:
            ui.AddLog(line.text);
            ui.StatusRepeatsLog(line.text);
            break;
        }
}

void ShowPortChosen(TerminalFrontEnd &ui, const PortChosen &chosen)
{
    ShowLines(ui, PortChosenLines(chosen, Audience::Terminal, ui.PortLabel(chosen.choice.name)));
}

int ShowLoad(TerminalFrontEnd &ui, JsonObject &fields, const LoadReport &report, bool refuseDamaged)
{
    ShowLines(ui, LoadStartLines(report, Audience::Terminal));
    ShowLoadProblems(ui, fields, report);
    // A damaged file, or one that is no HEX file at all, must never reach a
    // chip and end as "ベリファイOK".
    if (refuseDamaged && report.Damaged()) {
        ui.DropStatus();
        return ExitFileError;
    }
    // Nor may a file whose data the part would not get as written: a
    // program would leave it out and the verify then compare what is left.
    if (refuseDamaged && report.findings.ChangesWhatIsWritten()) {
        ui.Error(texts::LoadFindingsRefused());
        ui.DropStatus();
        return ExitFileError;
    }
    ShowLines(ui, LoadedLines(report));
    // What is to go into the chip, in the number the build tools print.
    if (refuseDamaged) ShowChecksum(ui, fields, report.checksum);
    return ExitSuccess;
}

void ShowChecksum(TerminalFrontEnd &ui, JsonObject &fields, std::optional<uint16_t> checksum)
{
    if (!checksum) return;
    ui.AddLog(ChecksumText(*checksum));
    fields["checksum"] = Hex(*checksum, 4);
}

void ExplainWrongChip(TerminalFrontEnd &ui, DeviceSelection device, std::optional<uint16_t> id)
{
    if (!id) return;
    const bool pic18 = device.Pic18;
    const size_t row = static_cast<size_t>(device.Index);
    const uint16_t expected = pic18 ? DeviceTable18[row].DeviceId : DeviceTable[row].DeviceId;
    const uint16_t masked = *id & (pic18 ? DeviceIdMask18 : DeviceIdMask16);
    std::string names;
    for (int other : DevicesWithId(pic18, *id))
        names += (names.empty() ? "" : ", ") + SelectedDeviceName({pic18, other});
    ui.Error("DEVICE-ID read " + Hex(masked, 4) + " (rev " + std::to_string(*id & 0x1F) + "), expected " +
             Hex(expected, 4) + " for " + SelectedDeviceName(device) + "; " +
             (names.empty() ? "no catalogue device has DEVICE-ID " + Hex(masked, 4)
                            : "the chip in the socket looks like " + names + " (try -d " +
                                  names.substr(0, names.find(',')) + ")"));
}
