#include "link/discovery.h"

#include <cerrno>


bool IsProgrammerReply(const std::string &reply)
{
    return reply.compare(0, 4, ProgrammerModelTag) == 0;
}

std::string AskProgrammerVersion(Link &link)
{
    std::string reply = GetVersion(link);
    if (IsProgrammerReply(reply)) return reply;
    FinishAnyCommand(link);
    return GetVersion(link);
}

PortState ProbePort(Link &link, const std::string &name, const ModemOptions &modem)
{
    if (link.port.OpenPort(name, modem) != 0) {
        const int error = link.port.LastOpenErrno();
        return error == EACCES || error == EPERM ? PortState::Denied : PortState::CannotOpen;
    }
    PortState state = PortState::NoProgrammer;
    if (IsProgrammerReply(GetVersion(link))) {
        state = PortState::Programmer;
        ExitProgramMode(link, 0);
    }
    link.port.ClosePort();
    return state;
}

int ProbePorts(Link &link, int &found, const ModemOptions &modem,
               const std::function<void(int, PortState)> &onPort)
{
    link.port.ClosePort();
    found = 0;
    int opened = 0;
    for (int n = 1; n <= 10; ++n) {
        const PortState state = ProbePort(link, "COM" + std::to_string(n), modem);
        // A port that cannot be opened was never touched: nothing on it
        // needs time to settle before the next one is tried.
        if (state != PortState::CannotOpen && state != PortState::Denied) ++opened;
        if (state == PortState::Programmer && found == 0) found = n;
        if (onPort) onPort(n, state);
    }
    if (opened == 0) return -1;
    return found != 0 ? 0 : 1;
}
