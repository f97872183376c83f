// The connection under a network port: the name resolved, a non-blocking
// TCP socket connected within a time-out, Nagle's delay off (every byte of
// the protocol is an exchange of its own).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "link/NetworkSerial.h"

struct NetworkConnection {
    int fd = -1;         // connected, non-blocking; -1 on failure
    int error = 0;       // the system's error number of a failure
    std::string message; // what failed, in the system's terms, naming the host
};

// between, when set, runs while the connection is awaited (a window's events).
NetworkConnection ConnectNetworkPort(const NetworkPortName &name, int timeoutMs,
                                     const std::function<void()> &between);

// The kernel's estimate of the connection's round trip in ms, from the
// handshake on; nullopt when it has none.
std::optional<double> KernelRoundTripMs(int fd);
