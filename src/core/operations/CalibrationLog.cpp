#include "operations/CalibrationLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sstream>

#include "support/FileErrorText.h"
#include "support/checked_file.h"
#include "support/textutil.h"

namespace {

bool ParseHex4(const std::string &text, uint16_t &value)
{
    if (text.size() != 4) return false;
    unsigned v = 0;
    for (char c : text) {
        const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0) return false;
        v = v * 16 + static_cast<unsigned>(d);
    }
    value = static_cast<uint16_t>(v);
    return true;
}

// Fields are separated by tabs: time, device, DEVICE-ID, address, value.
std::optional<CalibrationEntry> ParseLine(const std::string &line)
{
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, '\t');)
        fields.push_back(field);
    if (fields.size() != 5) return std::nullopt;
    CalibrationEntry e{fields[0], fields[1], fields[2], 0, 0};
    if (!ParseHex4(fields[3], e.address) || !ParseHex4(fields[4], e.value)) return std::nullopt;
    return e;
}

} // namespace

std::string CalibrationLogPath()
{
    std::string base;
    const char *xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char *home = std::getenv("HOME");
        base = std::string(home && home[0] ? home : ".") + "/.local/share";
    }
    return base + "/tarnvik/calibration.log";
}

namespace {

// A descriptor on the log when it is a plain file; -1 and why not
// otherwise. Opened without blocking, so a FIFO in its place cannot hold it.
int OpenLog(const std::string &path, int flags, std::string &reason)
{
    int error = 0;
    const int fd = OpenRegularFile(path, flags, error, 0644);
    if (fd < 0) reason = FileErrorReason(error);
    return fd;
}

// The most of the log a look-up reads: far more lines than a bench's
// lifetime of chips, and a bound where the path leads to something endless.
constexpr off_t LogReadLimit = 16 << 20;

} // namespace

std::string AppendCalibration(const std::vector<CalibrationEntry> &entries)
{
    const std::filesystem::path path = CalibrationLogPath();
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::string text;
    for (const CalibrationEntry &e : entries)
        text += e.time + '\t' + e.device + '\t' + e.deviceId + '\t' + Hex(e.address, 4) + '\t' +
                Hex(e.value, 4) + '\n';
    // A directory opened for writing fails with EISDIR already.
    std::string reason;
    const int fd = OpenLog(path, O_WRONLY | O_APPEND | O_CREAT, reason);
    if (fd < 0) return reason;
    int error = WriteWhole(fd, text);
    if (error == 0 && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
    return error ? FileErrorReason(error) : std::string();
}

std::optional<CalibrationEntry> LastCalibration(const std::string &device, uint16_t address, uint16_t mask)
{
    std::string text;
    std::string reason;
    if (const int fd = OpenLog(CalibrationLogPath(), O_RDONLY, reason); fd >= 0) {
        char chunk[65536];
        ssize_t n = 0;
        while (static_cast<off_t>(text.size()) < LogReadLimit &&
               ((n = read(fd, chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR)))
            if (n > 0) text.append(chunk, static_cast<size_t>(n));
        close(fd);
    }
    std::istringstream in(text);
    std::optional<CalibrationEntry> last;
    for (std::string line; std::getline(in, line);) {
        const auto e = ParseLine(line);
        if (e && e->device == device && e->address == address && (e->value & mask) != mask) last = e;
    }
    return last;
}

std::string CalibrationTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string CalibrationDeviceId(std::optional<uint16_t> id)
{
    return id ? Hex(*id, 4) : "----";
}
