#include "link/discovery.h"

#include <cerrno>

PortState OpenFailureState(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return PortState::Denied;
    case EBUSY:
        return PortState::Busy;
    default:
        return PortState::Missing;
    }
}

bool IsProgrammerReply(const std::string &reply)
{
    return reply.compare(0, 4, ProgrammerModelTag) == 0;
}

bool IsProgrammerVersionReply(const std::string &reply)
{
    return reply.compare(0, 9, std::string(ProgrammerModelTag) + " Ver.") == 0;
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
    if (link.port.OpenPort(name, modem) != 0) return OpenFailureState(link.port.LastOpenErrno());
    PortState state = PortState::NoProgrammer;
    if (IsProgrammerReply(GetVersion(link))) {
        state = PortState::Programmer;
        ExitProgramMode(link, 0);
    }
    link.port.ClosePort();
    return state;
}

PortsProbe ProbePorts(Link &link, const ModemOptions &modem, const ProbeListener &listener)
{
    link.port.ClosePort();
    PortsProbe probe;
    int opened = 0;
    for (int n = 1; n <= 10; ++n) {
        if (listener.starting) listener.starting(n);
        const PortState state = ProbePort(link, "COM" + std::to_string(n), modem);
        // A port that cannot be opened was never touched: nothing on it
        // needs time to settle before the next one is tried.
        if (PortOpened(state)) ++opened;
        if (state == PortState::Programmer && probe.found == 0) probe.found = n;
        probe.states[static_cast<size_t>(n - 1)] = state;
        if (listener.done) listener.done(n, state);
    }
    probe.result = opened == 0 ? -1 : probe.found != 0 ? 0 : 1;
    return probe;
}
