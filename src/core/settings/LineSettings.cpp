#include "settings/LineSettings.h"

#include "support/textutil.h"

LineSettings ReadLineSettings(const SettingsFile &settings)
{
    LineSettings line;
    if (!settings.ReadBool("rts-dtr", "enable", false)) return line;
    line.enabled = true;
    line.rtsOn = settings.ReadInteger("rts-dtr", "rts", 0) != 0;
    line.dtrOn = settings.ReadInteger("rts-dtr", "dtr", 0) != 0;
    const std::string text = TrimBlanks(settings.ReadString("rts-dtr", "wait", " 200"));
    bool digits = !text.empty();
    for (char c : text)
        digits = digits && c >= '0' && c <= '9';
    if (digits) {
        const std::string field = text.size() > 4 ? "9999" : std::string(4 - text.size(), ' ') + text;
        line.waitText = field;
        line.waitMs = std::stoi(field);
    }
    return line;
}
