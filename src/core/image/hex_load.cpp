#include "image/hex_load.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "catalogue/DeviceSelection.h"

namespace {

// Which configuration places the records of a file wrote, found the way the
// loaders place data, so that a load can tell a file that sets the
// configuration from one that leaves it as the buffer held it.
struct ConfigurationSeen {
    bool word0FFF = false;           // a 12-bit part's configuration word
    std::array<bool, 16> area{};     // words 0x2000..0x200F
    bool bytes18 = false;            // any PIC18 configuration byte
    uint16_t extended = 0;

    void Record16(const TIntelHex &r)
    {
        if (r.LineStatus != HexLineOk || r.RecordType != HexDataRecord || !r.Tag.empty()) return;
        const long start = Hex16ImageByte(r);
        if (start < 0) return;
        for (uint32_t i = 0; i < r.Count; ++i) {
            const uint32_t word = (static_cast<uint32_t>(start) + i) / 2;
            if (word == Config12BitWord) word0FFF = true;
            if (word >= ConfigAreaStart && word < ConfigAreaStart + area.size())
                area[word - ConfigAreaStart] = true;
        }
    }
    void Record18(const TIntelHex &r)
    {
        if (r.LineStatus != HexLineOk || !r.Tag.empty()) return;
        if (r.RecordType == HexExtendedLinearRecord && r.Count >= 2)
            extended = static_cast<uint16_t>(r.Data[0] << 8 | r.Data[1]);
        else if (r.RecordType == HexDataRecord && extended == 0x0030 && r.Address() < 14 && r.Count > 0)
            bytes18 = true;
    }
    bool Sets(const TDeviceSpec &device) const
    {
        if (device.Is12Bit()) return word0FFF;
        auto at = [&](uint32_t a) { return a >= ConfigAreaStart && a < ConfigAreaStart + area.size() &&
                                           area[a - ConfigAreaStart]; };
        return at(device.ConfigAddress1) || (device.ConfigAddress2 != 0 && at(device.ConfigAddress2));
    }
};

void LoadLiveHalf(std::string_view text, MemoryBuffer &buffer, LoadOutcome &outcome, DeviceInformation &info,
                  ConfigurationSeen &seen)
{
    outcome.Read = HexReadReport{};
    if (outcome.Device.Pic18) {
        Hex18Loader loader(buffer.Program18, buffer.EEData18, buffer.Id18, buffer.Config18, outcome.Tag);
        ReadHexText(text, outcome.Read, [&](const TIntelHex &r) {
            loader.Record(r);
            seen.Record18(r);
        });
    } else {
        Hex16Loader loader(buffer.Words, outcome.Tag, info);
        ReadHexText(text, outcome.Read, [&](const TIntelHex &r) {
            loader.Record(r);
            if (r.AddressHigh != 0xFF) seen.Record16(r);
        });
    }
}

void FinishLoad(MemoryBuffer &buffer, LoadOutcome &outcome, const DeviceInformation &info,
                const ConfigurationSeen &seen)
{
    outcome.ConfigurationSet = false;
    if (!IsDevice(outcome.Device)) return;
    if (outcome.Device.Pic18) {
        buffer.Fit(DeviceTable18[static_cast<size_t>(outcome.Device.Index)]);
        outcome.ConfigurationSet = seen.bytes18;
    } else {
        const TDeviceSpec &device = DeviceTable[static_cast<size_t>(outcome.Device.Index)];
        outcome.DeviceInformationApplied = ApplyDeviceInformation(info, device, buffer.Words);
        outcome.ConfigurationSet = outcome.DeviceInformationApplied || seen.Sets(device);
    }
}

} // namespace

void LoadNewFile(const std::string &path, MemoryBuffer &buffer, bool autoSelect, LoadOutcome &outcome)
{
    // Read once: the scan and the load see the same bytes, from a pipe too,
    // and a file that cannot be read changes nothing.
    LoadNewText(ReadHexFile(path), buffer, autoSelect, outcome);
}

void LoadNewText(std::string_view text, MemoryBuffer &buffer, bool autoSelect, LoadOutcome &outcome)
{
    const DeviceSelection before = outcome.Device;
    outcome.DeviceChanged = false;
    outcome.DeviceInformationApplied = false;
    outcome.Tag.clear();

    if (autoSelect) {
        DeviceSelection found = DeviceForScannedName(ScanDeviceTagText(text));
        if (found.Index >= 0) outcome.Device = found;
    }
    if (!(outcome.Device == before)) {
        outcome.DeviceChanged = true;
        // Another part starts from its own blank image: ID and configuration
        // bytes the file does not carry must not come from the previous part.
        if (outcome.Device.Pic18)
            buffer.Clear(DeviceTable18[static_cast<size_t>(outcome.Device.Index)]);
        else
            buffer.Clear(DeviceTable[static_cast<size_t>(outcome.Device.Index)]);
    } else if (outcome.Device.Pic18 && IsDevice(outcome.Device)) {
        buffer.Fit(DeviceTable18[static_cast<size_t>(outcome.Device.Index)]);
    }

    DeviceInformation info{};
    ConfigurationSeen seen;
    LoadLiveHalf(text, buffer, outcome, info, seen);
    FinishLoad(buffer, outcome, info, seen);
    outcome.Findings = CheckHexText(text, outcome.Device);
}

void LoadCurrentFile(const std::string &path, MemoryBuffer &buffer, bool autoSelect, LoadOutcome &outcome)
{
    const DeviceSelection before = outcome.Device;
    outcome.DeviceChanged = false;
    outcome.DeviceInformationApplied = false;
    outcome.Tag.clear();
    const std::string text = ReadHexFile(path);
    if (outcome.Device.Pic18 && IsDevice(outcome.Device))
        buffer.Fit(DeviceTable18[static_cast<size_t>(outcome.Device.Index)]);
    const size_t programBefore = buffer.Program18.size();
    const size_t eedataBefore = buffer.EEData18.size();

    DeviceInformation info{};
    ConfigurationSeen seen;
    LoadLiveHalf(text, buffer, outcome, info, seen);
    if (autoSelect) {
        int index = DeviceForLoaderTag(outcome.Tag, outcome.Device.Pic18);
        if (index >= 0) outcome.Device.Index = index;
    }
    outcome.DeviceChanged = !(outcome.Device == before);
    FinishLoad(buffer, outcome, info, seen);
    // A tag naming a larger PIC18 part was read with the arrays of the part
    // selected before, which dropped what lies beyond them. Now that the
    // arrays have the new part's sizes the same bytes are read once more, so
    // the buffer holds what LOAD would have put there.
    if (outcome.Device.Pic18 && outcome.DeviceChanged &&
        (buffer.Program18.size() > programBefore || buffer.EEData18.size() > eedataBefore)) {
        std::string tag;
        Hex18Loader loader(buffer.Program18, buffer.EEData18, buffer.Id18, buffer.Config18, tag);
        ForEachHexLine(text, [&](std::string_view line) { loader.Line(line); });
    }
    outcome.Findings = CheckHexText(text, outcome.Device);
}
