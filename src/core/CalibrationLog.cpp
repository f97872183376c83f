#include "CalibrationLog.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "textutil.h"

namespace {

struct NotedId {
    std::string device;
    uint16_t id = 0;
};
NotedId noted;

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

bool AppendCalibration(const std::vector<CalibrationEntry> &entries)
{
    const std::filesystem::path path = CalibrationLogPath();
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::app | std::ios::binary);
    for (const CalibrationEntry &e : entries)
        out << e.time << '\t' << e.device << '\t' << e.deviceId << '\t' << Hex(e.address, 4) << '\t'
            << Hex(e.value, 4) << '\n';
    out.flush();
    return static_cast<bool>(out);
}

std::optional<CalibrationEntry> LastCalibration(const std::string &device, uint16_t address, uint16_t mask)
{
    std::ifstream in(CalibrationLogPath(), std::ios::binary);
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

void NoteDeviceId(const std::string &device, uint16_t id)
{
    noted = {device, id};
}

std::string NotedDeviceId(const std::string &device)
{
    return noted.device == device && !device.empty() ? Hex(noted.id, 4) : "----";
}
