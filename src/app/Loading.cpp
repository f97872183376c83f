#include "Loading.h"

#include "catalogue/DeviceSpec.h"
#include "image/checksum.h"
#include "image/hex_load.h"

bool ClearFor(MemoryBuffer &buffer, DeviceSelection device)
{
    if (device.Index < 0) return false;
    if (device.Pic18)
        buffer.Clear(DeviceTable18[static_cast<size_t>(device.Index)]);
    else
        buffer.Clear(DeviceTable[static_cast<size_t>(device.Index)]);
    return true;
}

LoadReport LoadHex(MemoryBuffer &buffer, DeviceSelection device, const std::string &path, LoadMode mode,
                   bool autoSelect)
{
    LoadReport report;
    report.file = path;
    report.before = device;
    LoadOutcome outcome;
    outcome.Device = device;
    if (mode == LoadMode::New) {
        // Read once: the tag scan and the load see the same bytes, from a pipe too.
        const std::string text = ReadHexFile(path);
        if (autoSelect) {
            const DeviceSelection named = DeviceForScannedName(ScanDeviceTagText(text));
            if (named.Index >= 0) outcome.Device = named;
        }
        // Cleared for the device the file ends up with, so that nothing of
        // another device's image (PIC18 ID and configuration bytes included)
        // is programmed with it.
        report.cleared = ClearFor(buffer, outcome.Device);
        LoadNewText(text, buffer, autoSelect, outcome);
    } else if (mode == LoadMode::Over) {
        LoadNewFile(path, buffer, autoSelect, outcome);
    } else {
        LoadCurrentFile(path, buffer, autoSelect, outcome);
    }
    report.device = outcome.Device;
    report.read = outcome.Read;
    report.findings = outcome.Findings;
    report.configurationSet = outcome.ConfigurationSet;
    if (report.device.Index >= 0) report.checksum = ImageChecksum(buffer, report.device);
    return report;
}
