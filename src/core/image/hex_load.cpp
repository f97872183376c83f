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

void LoadLiveHalf(std::string_view text, MemoryBuffer &buffer, LoadOutcome &outcome, DeviceInformation &info)
{
    outcome.Read = HexReadReport{};
    if (outcome.Device.Pic18) {
        Hex18Loader loader(buffer.Program18, buffer.EEData18, buffer.Id18, buffer.Config18, outcome.Tag);
        ReadHexText(text, outcome.Read, [&](const TIntelHex &r) { loader.Record(r); });
    } else {
        Hex16Loader loader(buffer.Words, outcome.Tag, info);
        ReadHexText(text, outcome.Read, [&](const TIntelHex &r) { loader.Record(r); });
    }
}

void FinishLoad(MemoryBuffer &buffer, LoadOutcome &outcome, const DeviceInformation &info)
{
    if (!IsDevice(outcome.Device)) return;
    if (outcome.Device.Pic18)
        buffer.Fit(DeviceTable18[static_cast<size_t>(outcome.Device.Index)]);
    else
        outcome.DeviceInformationApplied = ApplyDeviceInformation(
            info, DeviceTable[static_cast<size_t>(outcome.Device.Index)], buffer.Words);
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
    LoadLiveHalf(text, buffer, outcome, info);
    FinishLoad(buffer, outcome, info);
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
    LoadLiveHalf(text, buffer, outcome, info);
    if (autoSelect) {
        int index = DeviceForLoaderTag(outcome.Tag, outcome.Device.Pic18);
        if (index >= 0) outcome.Device.Index = index;
    }
    outcome.DeviceChanged = !(outcome.Device == before);
    FinishLoad(buffer, outcome, info);
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
