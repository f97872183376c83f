// compare A B: two images of the part, each a HEX file or the chip (read
// after the check), memory by memory: the counts, the first differences
// with both values, the configuration by name, both checksums.
#include <memory>

#include "Commands.h"
#include "Naming.h"
#include "operations/compare.h"

namespace {

// One side of the comparison: what the user named, and its image once
// loaded or read.
struct Side {
    std::string source;
    std::unique_ptr<MemoryBuffer> image;
    JsonObject fields = JsonObject::object();
};

// The load's --json fields belong to the side, not to the run: with two
// files the second would replace the first's.
void TakeLoadFields(CommandRun &run, Side &side)
{
    for (const char *key : {"findings", "findings_count", "checksum"}) {
        if (!run.fields.contains(key)) continue;
        side.fields[key] = run.fields[key];
        run.fields.erase(key);
    }
}

// The files first, in order: with --auto-select the first chooses the part
// and the second must be for the same one.
int LoadFiles(CommandRun &run, Side (&sides)[2])
{
    std::optional<DeviceSelection> first;
    for (Side &side : sides) {
        if (side.source == ChipSource) continue;
        if (const int refused = LoadFile(run, side.source, true)) return refused;
        TakeLoadFields(run, side);
        const DeviceSelection device = run.session.Device();
        if (first && *first != device) {
            run.ui.DropStatus();
            run.ui.Error(sides[0].source + " and " + sides[1].source + " are for different devices (" +
                         SelectedDeviceName(*first) + ", " + SelectedDeviceName(device) + ")");
            return ExitUsage;
        }
        first = device;
        side.image = std::make_unique<MemoryBuffer>(run.session.Buffer());
    }
    return ExitSuccess;
}

// The chip through the usual check, read whole into the side's image.
int ReadChipSide(CommandRun &run, Side &side)
{
    OpenPortForCommand(run);
    if (const int refused = Check(run)) return refused;
    side.image = std::make_unique<MemoryBuffer>();
    const OperationResult read = run.session.ReadChip(*side.image, run.Options(), &run.ui.MainProgress());
    run.outcome = read;
    if (!read) return ExitNegative;
    // What the protection hides reads as zeros: the differences say so.
    side.fields["protected"] = read.readProtected;
    return ExitSuccess;
}

std::string Counted(uint32_t count, bool bytes)
{
    const std::string unit = bytes ? "byte" : "word";
    return std::to_string(count) + " " + unit + (count == 1 ? " differs" : "s differ");
}

std::string AddressText(uint32_t address)
{
    return "0x" + Hex(address, address > 0xFFFF ? 6 : 4);
}

std::string SettingText(const std::optional<std::string> &setting, uint16_t bits, int digits)
{
    return setting ? *setting : Hex(bits, digits);
}

// The configuration's differing words by field name where the part has
// names; a word whose differing bits no field covers by its value.
void PrintConfiguration(CommandRun &run, const ImageComparison &c, const MemoryComparison &m)
{
    for (const ConfigFieldChange &f : c.fields)
        run.ui.Print("  " + f.field + ": " + SettingText(f.aSetting, f.aBits, f.digits) + " → " +
                     SettingText(f.bSetting, f.bBits, f.digits));
    for (const ImageDifference &d : m.first) {
        bool named = false;
        for (const ConfigFieldChange &f : c.fields)
            named = named || f.address == d.address;
        const int digits = m.bytes ? 2 : 4;
        if (!named)
            run.ui.Print("  " + AddressText(d.address) + ": " + Hex(d.a, digits) + " → " + Hex(d.b, digits));
    }
}

void PrintComparison(CommandRun &run, const Side (&sides)[2], const ImageComparison &c)
{
    run.ui.Print("A: " + sides[0].source + ", checksum " + Hex(c.aChecksum, 4));
    run.ui.Print("B: " + sides[1].source + ", checksum " + Hex(c.bChecksum, 4));
    for (const MemoryComparison &m : c.memories) {
        const std::string name = MemoryName(m.memory);
        if (m.count == 0) {
            run.ui.Print(name + ": equal");
            continue;
        }
        run.ui.Print(name + ": " + Counted(m.count, m.bytes));
        if (m.memory == Memory::Configuration && c.byName) {
            PrintConfiguration(run, c, m);
            continue;
        }
        const int digits = m.bytes ? 2 : 4;
        for (const ImageDifference &d : m.first)
            run.ui.Print("  " + AddressText(d.address) + ": " + Hex(d.a, digits) + " → " + Hex(d.b, digits));
        if (m.count > m.first.size()) run.ui.Print("  …");
    }
}

JsonObject ComparisonObject(const ImageComparison &c)
{
    JsonObject memories = JsonObject::array();
    for (const MemoryComparison &m : c.memories) {
        JsonObject first = JsonObject::array();
        for (const ImageDifference &d : m.first)
            first.push_back({{"address", d.address}, {"a", d.a}, {"b", d.b}});
        memories.push_back({{"memory", MemoryName(m.memory)},
                            {"count", m.count},
                            {"unit", m.bytes ? "bytes" : "words"},
                            {"first", first}});
    }
    return memories;
}

JsonObject FieldsObject(const ImageComparison &c)
{
    if (!c.byName) return nullptr;
    JsonObject fields = JsonObject::array();
    for (const ConfigFieldChange &f : c.fields)
        fields.push_back({{"word", f.word},
                          {"name", f.field},
                          {"a", f.aSetting ? JsonObject(*f.aSetting) : JsonObject(nullptr)},
                          {"b", f.bSetting ? JsonObject(*f.bSetting) : JsonObject(nullptr)},
                          {"a_bits", Hex(f.aBits, f.digits)},
                          {"b_bits", Hex(f.bBits, f.digits)}});
    return fields;
}

} // namespace

int CompareCommand(CommandRun &run)
{
    Side sides[2];
    sides[0].source = run.options.file;
    sides[1].source = run.options.compareWith;
    for (Side &side : sides)
        side.fields["source"] = side.source;
    if (const int refused = LoadFiles(run, sides)) return refused;
    const DeviceSelection device = run.session.Device();
    if (device.Index < 0) return RefuseNoDevice(run);
    for (Side &side : sides)
        if (side.source == ChipSource)
            if (const int failed = ReadChipSide(run, side)) return failed;

    const std::string name = SelectedDeviceName(device);
    std::string problem;
    const auto names = ConfigLayoutFor(name, device.Pic18, &problem);
    if (!problem.empty()) run.ui.Error(problem);
    const ImageComparison c = CompareImages(*sides[0].image, *sides[1].image, device, RegionAll, names.get());
    PrintComparison(run, sides, c);

    for (size_t i = 0; i < 2; ++i) {
        sides[i].fields["checksum"] = Hex(i == 0 ? c.aChecksum : c.bChecksum, 4);
        run.fields[i == 0 ? "a" : "b"] = sides[i].fields;
    }
    run.fields["equal"] = c.Equal();
    run.fields["memories"] = ComparisonObject(c);
    run.fields["configuration_fields"] = FieldsObject(c);
    run.result = c.Equal() ? "equal" : "different";
    const size_t differing = c.Differing();
    run.ui.SetStatus(c.Equal() ? std::string("A and B are equal.")
                               : "A and B differ in " + std::to_string(differing) +
                                     (differing == 1 ? " memory." : " memories."));
    return c.Equal() ? ExitSuccess : ExitNegative;
}
