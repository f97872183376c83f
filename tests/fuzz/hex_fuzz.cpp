// Any text as a HEX file: line splitting (from memory and from a file), line
// parsing, the device-tag scan, device selection and both loaders. Beyond
// memory safety it checks that a well-formed record formats back to itself,
// that file and memory reading split lines alike, and that the loaders never
// resize the arrays. (The writers depend on the buffer, not on the text; the
// unit tests cover them.)
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/hex.h"
#include "image/hex_write.h"
#include "catalogue/DeviceSelection.h"

namespace {

void Check(bool ok)
{
    if (!ok) std::abort();
}

void CheckRecordRoundTrip(std::string_view line)
{
    TIntelHex r = ParseHexLine(line);
    if (r.LineStatus != HexLineOk || !r.Tag.empty()) return;
    TIntelHex back = ParseHexLine(FormatHexRecord(r));
    Check(back.LineStatus == HexLineOk && back.Count == r.Count && back.Address() == r.Address() &&
          back.RecordType == r.RecordType &&
          std::equal(r.Data.begin(), r.Data.begin() + r.Count, back.Data.begin()));
}

// The file reader works in chunks; it must see the same lines as the splitter.
void CheckFileLines(std::string_view text, const std::vector<std::string> &lines)
{
    static int fd = memfd_create("hex_fuzz", 0);
    if (fd < 0) return;
    if (ftruncate(fd, 0) != 0 || pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()))
        return;
    std::vector<std::string> fromFile;
    ForEachHexFileLine("/proc/self/fd/" + std::to_string(fd),
                       [&](std::string_view l) { fromFile.emplace_back(l); });
    Check(fromFile == lines);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string_view text(reinterpret_cast<const char *>(data), size);

    std::vector<std::string> lines;
    ForEachHexLine(text, [&](std::string_view line) {
        lines.emplace_back(line);
        CheckRecordRoundTrip(line);
    });
    CheckFileLines(text, lines);

    DeviceSelection scanned = DeviceForScannedName(ScanDeviceTagText(text));
    Check(scanned.Index == -1 || scanned.Index > 0);

    const TDeviceSpec &device = DeviceTable[1 + size % (DeviceTableSize - 1)];
    MemoryBuffer buffer;
    buffer.Clear(device);
    std::string tag;
    DeviceInformation info{};
    Hex16Loader words(buffer.Words, tag, info);
    for (const std::string &line : lines)
        words.Line(line);
    DeviceForLoaderTag(tag, false);
    ApplyDeviceInformation(info, device, buffer.Words);

    const TDeviceSpec18 &device18 = DeviceTable18[1 + size % (DeviceTable18Size - 1)];
    buffer.Clear(device18);
    Hex18Loader bytes(buffer.Program18, buffer.EEData18, buffer.Id18, buffer.Config18, tag);
    for (const std::string &line : lines)
        bytes.Line(line);
    Check(buffer.Program18.size() == device18.ProgramSize && buffer.EEData18.size() == device18.EEDataSize);
    DeviceForLoaderTag(tag, true);
    return 0;
}
