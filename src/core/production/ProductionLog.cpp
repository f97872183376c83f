#include "production/ProductionLog.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "support/FileErrorText.h"
#include "support/checked_file.h"
#include "support/textutil.h"
#include "texts/support_texts.h"

namespace {

std::string CsvField(const std::string &text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

constexpr std::array<uint32_t, 256> CrcTable = [] {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}();

} // namespace

uint32_t Crc32(const uint8_t *data, size_t n, uint32_t crc)
{
    crc = ~crc;
    for (size_t i = 0; i < n; ++i)
        crc = CrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t ImageCrc32(const MemoryBuffer &image, bool pic18)
{
    if (pic18) {
        uint32_t crc = Crc32(image.Program18.data(), image.Program18.size());
        crc = Crc32(image.EEData18.data(), image.EEData18.size(), crc);
        crc = Crc32(image.Id18.data(), image.Id18.size(), crc);
        return Crc32(image.Config18.data(), image.Config18.size(), crc);
    }
    uint32_t crc = 0;
    for (uint16_t w : image.Words) {
        const uint8_t bytes[2] = {static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8)};
        crc = Crc32(bytes, 2, crc);
    }
    return crc;
}

std::string IsoLocalTime(std::time_t time)
{
    std::tm local{};
    localtime_r(&time, &local);
    char text[40];
    const size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    std::string iso(text, n);
    // strftime writes +0900; ISO 8601's extended form wants +09:00.
    if (iso.size() >= 5) iso.insert(iso.size() - 2, ":");
    return iso;
}

std::string ChipRecordRow(const ChipRecord &r)
{
    return CsvField(IsoLocalTime(r.time)) + "," + CsvField(r.port) + "," + CsvField(r.device) + "," +
           CsvField(r.deviceId) + "," + CsvField(r.serial) + "," + CsvField(r.result) + "," +
           (r.crc ? Hex(*r.crc, 8) : std::string()) + "," + std::to_string(r.elapsedMs) + "," +
           (r.checksum ? Hex(*r.checksum, 4) : std::string()) + "," + CsvField(r.linkError);
}

ProductionLog::~ProductionLog()
{
    if (fd_ >= 0) ::close(fd_);
}

bool ProductionLog::Open(const std::string &path, std::string &error)
{
    // A FIFO in the log's place would hang the run before the first chip.
    int failed = 0;
    // Read as well: a new row must see whether the file ends with a line end.
    fd_ = OpenRegularFile(path, O_RDWR | O_APPEND | O_CREAT, failed);
    if (fd_ < 0) {
        error = path + ": " + FileErrorReason(failed);
        return false;
    }
    path_ = path;
    // Two runs starting at once both see an empty file; under the lock only
    // the first writes the header.
    return WriteLocked(std::string(ProductionLogHeader) + "\n", true, error);
}

bool ProductionLog::Append(const ChipRecord &record, std::string &error)
{
    return WriteLocked(ChipRecordRow(record) + "\n", false, error);
}

bool ProductionLog::WriteLocked(const std::string &text, bool onlyWhenEmpty, std::string &error)
{
    if (fd_ < 0) return false;
    while (flock(fd_, LOCK_EX) != 0)
        if (errno != EINTR) {
            error = path_ + ": " + FileErrorReason(errno);
            return false;
        }
    bool ok = true;
    struct stat st {};
    if (fstat(fd_, &st) != 0) {
        error = path_ + ": " + FileErrorReason(errno);
        ok = false;
    } else if (!onlyWhenEmpty || st.st_size == 0) {
        // With O_APPEND every piece lands at the end, and under the lock no
        // other run appends meanwhile. A row that cannot be written whole (a
        // full disk) is cut off again, so that the file ends with a whole
        // row and the next one is not glued to a part.
        // A log that an editor or another program left without a line end
        // after its last row: the new row starts a line of its own.
        char last = '\n';
        const bool unended = st.st_size > 0 && ::pread(fd_, &last, 1, st.st_size - 1) == 1 && last != '\n';
        int failed = WriteWhole(fd_, unended ? "\n" + text : text);
        if (failed == 0 && fdatasync(fd_) != 0) failed = errno;
        if (failed != 0) {
            error = path_ + ": " + FileErrorReason(failed);
            if (ftruncate(fd_, st.st_size) != 0) error += texts::FilePartRowLeft(FileErrorReason(errno));
            ok = false;
        }
    }
    flock(fd_, LOCK_UN);
    return ok;
}
