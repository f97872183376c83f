#include "settings/PortDevicePath.h"

#include "settings/settings.h"
#include "support/textutil.h"

std::string PortDevicePath(const SettingsFile &settings, const std::string &name)
{
    static const char *const defaults[10] = {"/dev/ttyS0",   "/dev/ttyS1",   "/dev/ttyS2",   "/dev/ttyS3",
                                             "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB3",
                                             "/dev/ttyACM0", "/dev/ttyACM1"};
    if (name.size() < 4 || name.size() > 5 || !SameTextIgnoringCase(name.substr(0, 3), "COM")) return {};
    int number = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return {};
        number = number * 10 + (name[i] - '0');
    }
    if (number < 1 || number > 10 || name[3] == '0') return {};
    std::string key = "com" + std::to_string(number);
    return settings.ReadString("ports", key, defaults[number - 1]);
}
