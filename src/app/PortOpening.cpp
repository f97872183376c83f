#include "PortOpening.h"

#include "Naming.h"
#include "PortNames.h"
#include "link/SerialDevices.h"
#include "settings/settings.h"

PortChoice StartingPortChoice(const SettingsFile &settings, const AppSettings::Port &saved)
{
    if (!saved.fixes) return {PortHow::Searched, {}, {}, {}, {}, {}};
    const std::string &name = saved.name;
    return {PortHow::Fixed, name, name.empty() ? std::string() : ComPortDevice(settings, name), {}, {}, {}};
}

PortSearch SearchForProgrammer(Link &link, const SettingsFile &settings, const ModemOptions &modem,
                               ProbeListener listener)
{
    PortSearch search;
    const auto done = listener.done;
    listener.done = [&](int n, PortState state) {
        if (done) done(n, state);
        if (state != PortState::Denied) return;
        const std::string path = ComPortDevice(settings, ComName(n));
        if (!path.empty()) search.denied.push_back(path);
    };
    search.probe = ProbePorts(link, modem, listener);
    return search;
}

PortChosen OpenChosenPort(SerialPort &port, const ModemOptions &modem, const PortChoice &choice,
                          const PortSearch *search)
{
    PortChosen chosen;
    chosen.choice = choice;
    if (choice.how == PortHow::Searched) {
        if (!search) return chosen;
        chosen.searchResult = search->probe.result;
        chosen.denied = search->denied;
        if (search->probe.result != 0) return chosen;
        chosen.port = ComName(search->probe.found);
        chosen.opened = port.OpenPort(chosen.port, modem) == 0;
        return chosen;
    }
    chosen.port = choice.name;
    if (choice.name.empty() || !choice.lookupError.empty()) return chosen;
    chosen.opened = port.OpenPort(choice.name, modem) == 0;
    if (!chosen.opened) {
        chosen.openError = port.LastError();
        chosen.openErrno = port.LastOpenErrno();
    }
    return chosen;
}
