#include "AppSettings.h"

namespace {

// A missing key, or a value that is no integer, is absent.
std::optional<int> Integer(const SettingsFile &file, const char *section, const char *key)
{
    int value = 0;
    if (!ParseProfileInteger(file.ReadString(section, key, ""), value)) return std::nullopt;
    return value;
}

SavedPlace Place(const SettingsFile &file, const char *top, const char *left)
{
    return {Integer(file, "window", top), Integer(file, "window", left)};
}

AppSettings::Production ReadProduction(const SettingsFile &file)
{
    AppSettings::Production p;
    const char *section = "production";
    p.log = file.ReadString(section, "log", "");
    p.erase = file.ReadBool(section, "erase", false);
    p.serial = file.ReadBool(section, "serial", false);
    p.serialFormat = file.ReadString(section, "serial-format", p.serialFormat);
    p.serialAt = file.ReadString(section, "serial-at", "");
    p.serialBytes = file.ReadInteger(section, "serial-bytes", p.serialBytes);
    p.serialStart = file.ReadString(section, "serial-start", "");
    p.serialList = file.ReadString(section, "serial-list", "");
    p.serialState = file.ReadString(section, "serial-state", "");
    p.onPass = file.ReadString(section, "on-pass", "");
    p.onFail = file.ReadString(section, "on-fail", "");
    p.ports = file.ReadString(section, "ports", "");
    return p;
}

} // namespace

AppSettings ReadAppSettings(const SettingsFile &file)
{
    AppSettings s;
    s.window.place = Place(file, "top", "left");
    s.window.width = Integer(file, "window", "width");
    s.window.height = Integer(file, "window", "height");
    s.window.maximized = file.ReadBool("window", "maxmize", false);
    s.window.strip = Place(file, "mintop", "minleft");
    s.window.stripNoBorder = Place(file, "minnbtop", "minnbleft");
    s.device.pic18 = file.ReadString("device", "group", "PIC16") != "PIC16";
    s.device.name = file.ReadString("device", "name", "");
    s.device.autoselect = file.ReadBool("device", "autoselect", false);
    s.port.fixes = file.ReadBool("port", "fixes", false);
    s.port.name = file.ReadString("port", "name", "");
    s.line = ReadLineSettings(file);
    s.smallBlock = file.ReadBool("read", "smallblock", false);
    s.smallBoxNoBorder = file.ReadBool("smallbox", "noborder", false);
    s.verifyUserId = file.ReadBool("verify", "user-id", false);
    s.traceFile = file.ReadString("trace", "file", "");
    s.production = ReadProduction(file);
    return s;
}

bool WriteAppSettings(SettingsFile &file, const AppSettings &s, bool withPlaces)
{
    const auto &place = s.window.place;
    const bool placed = !withPlaces || !place.top || !place.left ||
                        (file.WriteInteger("window", "top", *place.top) &&
                         file.WriteInteger("window", "left", *place.left));
    return placed && (!s.window.height || file.WriteInteger("window", "height", *s.window.height)) &&
           (!s.window.width || file.WriteInteger("window", "width", *s.window.width)) &&
           file.WriteString("device", "group", s.device.pic18 ? "PIC18" : "PIC16") &&
           (s.device.name.empty() || file.WriteString("device", "name", s.device.name)) &&
           file.WriteBool("read", "smallblock", s.smallBlock) &&
           file.WriteBool("smallbox", "noborder", s.smallBoxNoBorder) &&
           file.WriteBool("device", "autoselect", s.device.autoselect) &&
           file.WriteBool("rts-dtr", "enable", s.line.enabled) &&
           file.WriteBool("verify", "user-id", s.verifyUserId) &&
           file.WriteString("rts-dtr", "wait", s.line.waitText) &&
           file.WriteInteger("rts-dtr", "rts", s.line.rtsOn ? 1 : 0) &&
           file.WriteInteger("rts-dtr", "dtr", s.line.dtrOn ? 1 : 0) &&
           file.WriteString("port", "name", s.port.name) && file.WriteBool("port", "fixes", s.port.fixes);
}

bool WriteStripPlace(SettingsFile &file, bool noBorder, int top, int left)
{
    return file.WriteInteger("window", noBorder ? "minnbtop" : "mintop", top) &&
           file.WriteInteger("window", noBorder ? "minnbleft" : "minleft", left);
}

bool WriteProductionSettings(SettingsFile &file, const AppSettings::Production &p)
{
    const char *section = "production";
    return file.WriteString(section, "log", p.log) && file.WriteBool(section, "erase", p.erase) &&
           file.WriteBool(section, "serial", p.serial) &&
           file.WriteString(section, "serial-format", p.serialFormat) &&
           file.WriteString(section, "serial-at", p.serialAt) &&
           file.WriteInteger(section, "serial-bytes", p.serialBytes) &&
           file.WriteString(section, "serial-start", p.serialStart) &&
           file.WriteString(section, "serial-list", p.serialList) &&
           file.WriteString(section, "serial-state", p.serialState) &&
           file.WriteString(section, "on-pass", p.onPass) && file.WriteString(section, "on-fail", p.onFail) &&
           file.WriteString(section, "ports", p.ports);
}

std::string StartingPortChoice(const AppSettings &s)
{
    return s.port.fixes ? s.port.name : "search";
}

ModemOptions ModemFor(const LineSettings &line)
{
    ModemOptions modem;
    if (line.enabled) {
        modem.ctrlChecked = true;
        modem.rtsGroupEnabled = true;
        modem.rtsOn = line.rtsOn;
        modem.dtrOn = line.dtrOn;
        modem.waitMs = line.waitMs;
    }
    return modem;
}
