// What the port choice, the port controls and the programmer search say.
#pragma once

#include <string>

namespace texts {

std::string CheckingPorts();       // the log line of a search starting
std::string CheckingPortsStatus(); // and its status line
std::string NoUsablePort();
std::string CheckProgrammerConnection();
std::string SearchOpenedPort(const std::string &port); // the search's: no blank before the verb
std::string ProgrammerConfirmed();
std::string PortOpenedWithProgrammer(const std::string &port);
std::string PortOpened(const std::string &port);
std::string PortOpenedAt(const std::string &port, const std::string &path);
std::string PortCannotOpen(const std::string &port);
std::string FixedPortUnnamed();
std::string OpenTheBoardsPort();
std::string PortNumberMissing();
std::string FixedPortCannotOpen(const std::string &port);
std::string OpenAPort();
std::string NoProgrammerOn(const std::string &port);
std::string PortClosed();
std::string ChoosePortNumber();
// A port button's hint: the COM name, the device the map gives (none when
// empty) and what it leads to (its node, a USB adapter's description).
std::string PortHint(const std::string &com, const std::string &path, const std::string &node,
                     const std::string &usb);
std::string SoftwareVersionLine(const std::string &version);
std::string ControllerVersionLine(const std::string &reply);
std::string NoControllerVersion();
// The command line waiting for a board that was unplugged.
std::string WaitingForBoard(const std::string &port);

std::string ChooseDevice();

// The round trip to the server of a port on another machine: "往復 0.4 ms".
std::string RoundTrip(double ms);
// A round trip long enough to slow every command: each byte waits for it;
// with a part chosen, about how long a program of its whole memory takes.
std::string SlowRoundTrip(double ms);
std::string SlowRoundTripProgram(double ms, const std::string &device, int seconds);

} // namespace texts
