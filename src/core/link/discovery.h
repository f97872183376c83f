// Finding the Tarnbox: each port is opened, asked for its version and closed
// again. One probe serves the window (which colours its port buttons from
// the per-port states as they come) and the command line (which prints
// them); both hear each port through the same listener.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "link/PICCommand.h"
#include "link/serial.h"

// What a probe found on one port.
enum class PortState {
    Missing,      // no such device, or no serial port behind the node
    Busy,         // another program holds the port
    Denied,       // the device exists but the user may not open it
    NoProgrammer, // it opened, but nothing answered as a Tarnbox
    Programmer,   // the version reply carries the model tag
};

// True for the states of a port that opened.
inline bool PortOpened(PortState state)
{
    return state == PortState::NoProgrammer || state == PortState::Programmer;
}

// The state of a port whose open failed with the system's error number.
PortState OpenFailureState(int error);

// The model tag every Tarnbox version reply begins with.
constexpr const char *ProgrammerModelTag = "Vexa";

// The programmer is recognised by the first four characters of its version
// reply, the model tag.
bool IsProgrammerReply(const std::string &reply);

// The stricter test of Open: the whole version prefix, "Vexa Ver.".
bool IsProgrammerVersionReply(const std::string &reply);

// The programmer's version reply on a port that is known to lead to one:
// when the first answer is not a Tarnbox's, the programmer may be waiting
// for the rest of a command its last host never finished (it was killed);
// it is brought back between commands (FinishAnyCommand) and asked once
// more. Not for probing ports that may lead to something else.
std::string AskProgrammerVersion(Link &link);

// Opens name, asks for the version and closes the port again. A programmer
// that answered is taken out of programming mode before the port closes.
PortState ProbePort(Link &link, const std::string &name, const ModemOptions &modem = {});

// Hears a probe of COM1 ... COM10 as it goes; either may be empty.
struct ProbeListener {
    std::function<void(int n)> starting;              // port n is tried next
    std::function<void(int n, PortState state)> done; // port n's state is known
};

struct PortsProbe {
    // -1 when no port opened at all, 0 when a programmer answered, 1 when
    // ports opened but none answered.
    int result = -1;
    int found = 0;                      // the first port a programmer answered on, 0 for none
    std::array<PortState, 10> states{}; // COM1 first
};

// Probes COM1 to COM10 in order, every one even after a programmer was
// found; a port that cannot be opened is passed at once. No port is open
// afterwards.
PortsProbe ProbePorts(Link &link, const ModemOptions &modem = {}, const ProbeListener &listener = {});
