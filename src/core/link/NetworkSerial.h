// A programmer on another machine, its serial port served over TCP (ser2net
// and the like): "rfc2217://HOST:PORT" speaks telnet with the COM-PORT-OPTION
// and sets the line as a tty would be set; "tcp://HOST:PORT" is the raw byte
// stream, the line's speed and modem lines being the server's. Either name
// goes wherever a device path does: -p, the settings' [ports] map.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "link/serial.h"

struct NetworkPortName {
    bool rfc2217 = false; // telnet with the COM-PORT-OPTION; false: raw TCP
    std::string host;     // without the brackets of an IPv6 address
    std::string port;     // the decimal port number
};

// True for a path that names a network port by its scheme, well formed or
// not: such a path is never a device node.
bool IsNetworkPortPath(const std::string &path);
// The parts of "rfc2217://HOST:PORT" or "tcp://HOST:PORT" ("[::1]:PORT" for
// an IPv6 address); nullopt when the path is no such name.
std::optional<NetworkPortName> ParseNetworkPortName(const std::string &path);

// The socket backend for such paths (Open refuses any other).
std::unique_ptr<SerialBackend> MakeNetworkSerialBackend();

// How long an open waits for the server to accept the connection, and for
// a telnet server to answer the COM-PORT-OPTION.
constexpr int NetworkConnectTimeoutMs = 5000;
constexpr int ComPortAnswerTimeoutMs = 3000;
// How long a server may gather what the device sends before it passes it on
// (ser2net's chardelay, at most 20 ms unless configured otherwise): a
// version reply that streams in is held back that long on top of the
// round trip.
constexpr int NetworkServerHoldMs = 20;
