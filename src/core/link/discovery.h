// Finding the Tarnbox on COM1 ... COM10: each port is opened, asked for its
// version and closed again. The window colours its port buttons from the
// per-port states; the command line prints them.
#pragma once

#include <functional>
#include <string>

#include "link/PICCommand.h"
#include "link/serial.h"

enum class PortState {
    CannotOpen,   // the device could not be opened (missing, busy, not a terminal)
    Denied,       // the device exists but the user may not open it
    NoProgrammer, // it opened, but nothing answered as a Tarnbox
    Programmer,   // the version reply carries the model tag
};

// The model tag every Tarnbox version reply begins with.
constexpr const char *ProgrammerModelTag = "Vexa";

// The programmer is recognised by the first four characters of its version
// reply, the model tag.
bool IsProgrammerReply(const std::string &reply);

// The programmer's version reply on a port that is known to lead to one:
// when the first answer is not a Tarnbox's, the programmer may be waiting
// for the rest of a command its last host never finished (it was killed);
// it is brought back between commands (FinishAnyCommand) and asked once
// more. Not for probing ports that may lead to something else.
std::string AskProgrammerVersion(Link &link);

// Opens name, asks for the version and closes the port again. A programmer
// that answered is taken out of programming mode before the port closes.
PortState ProbePort(Link &link, const std::string &name, const ModemOptions &modem = {});

// Probes COM1 to COM10 in order, every one even after a programmer was
// found; a port that cannot be opened (or is denied) is passed at once. onPort (may be
// empty) hears each port's number and state as soon as it is known.
// Returns -1 when no port opened at all, 0 when a programmer answered (found
// is then the first such port), 1 when ports opened but none answered.
// No port is open afterwards.
int ProbePorts(Link &link, int &found, const ModemOptions &modem = {},
               const std::function<void(int, PortState)> &onPort = {});
