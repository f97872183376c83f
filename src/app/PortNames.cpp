#include "PortNames.h"

#include "settings/settings.h"
#include "support/textutil.h"

std::string ComName(int n)
{
    return "COM" + std::to_string(n);
}

int ComNumber(const std::string &name)
{
    for (int n = 1; n <= 10; ++n)
        if (SameTextIgnoringCase(name, ComName(n))) return n;
    return 0;
}

bool SameDevice(const std::string &a, const std::string &b)
{
    return !a.empty() && !b.empty() && (a == b || NodePath(a) == NodePath(b));
}

DeviceLookup PortArgumentDevice(const SettingsFile &settings, const std::string &port)
{
    if (const int n = ComNumber(port)) return {ComPortDevice(settings, ComName(n)), {}};
    return LookUpSerialDevice(port);
}
