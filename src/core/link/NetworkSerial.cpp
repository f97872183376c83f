#include "link/NetworkSerial.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "link/NetworkSocket.h"
#include "link/PollWait.h"
#include "support/textutil.h"

namespace {

constexpr const char *RawScheme = "tcp://";
constexpr const char *TelnetScheme = "rfc2217://";

bool HasScheme(const std::string &path, const std::string &scheme)
{
    return path.size() >= scheme.size() && SameTextIgnoringCase(path.substr(0, scheme.size()), scheme);
}

bool ValidPort(const std::string &port)
{
    if (port.empty() || port.size() > 5) return false;
    long value = 0;
    for (char c : port) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535;
}

// One address tried: the socket, once connected within the deadline.
int ConnectOne(const addrinfo &ai, PollClock::time_point deadline, const std::function<void()> &between,
               int &error)
{
    const int fd = ::socket(ai.ai_family, ai.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai.ai_protocol);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    int rc = ::connect(fd, ai.ai_addr, ai.ai_addrlen);
    if (rc != 0 && errno == EINPROGRESS) {
        if (WaitReady(fd, POLLOUT, deadline, between, SerialPort::WaitSliceMs)) {
            socklen_t len = sizeof error;
            error = 0;
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
            rc = error == 0 ? 0 : -1;
        } else {
            // A refusal shows as an error on the socket; silence is a time-out.
            socklen_t len = sizeof error;
            error = 0;
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
            if (error == 0) error = ETIMEDOUT;
        }
    } else if (rc != 0) {
        error = errno;
    }
    if (rc != 0) {
        ::close(fd);
        return -1;
    }
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

} // namespace

bool IsNetworkPortPath(const std::string &path)
{
    return HasScheme(path, RawScheme) || HasScheme(path, TelnetScheme);
}

std::optional<NetworkPortName> ParseNetworkPortName(const std::string &path)
{
    NetworkPortName name;
    std::string rest;
    if (HasScheme(path, TelnetScheme)) {
        name.rfc2217 = true;
        rest = path.substr(std::string(TelnetScheme).size());
    } else if (HasScheme(path, RawScheme)) {
        rest = path.substr(std::string(RawScheme).size());
    } else {
        return std::nullopt;
    }
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    size_t colon;
    if (!rest.empty() && rest.front() == '[') {
        const size_t close = rest.find(']');
        if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':') return std::nullopt;
        name.host = rest.substr(1, close - 1);
        colon = close + 1;
    } else {
        colon = rest.rfind(':');
        if (colon == std::string::npos) return std::nullopt;
        name.host = rest.substr(0, colon);
        // An IPv6 address goes in brackets; a bare one would be ambiguous.
        if (name.host.find(':') != std::string::npos) return std::nullopt;
    }
    name.port = rest.substr(colon + 1);
    if (name.host.empty() || name.host.find('/') != std::string::npos || !ValidPort(name.port))
        return std::nullopt;
    return name;
}

NetworkConnection ConnectNetworkPort(const NetworkPortName &name, int timeoutMs,
                                     const std::function<void()> &between)
{
    NetworkConnection c;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo *found = nullptr;
    const int rc = ::getaddrinfo(name.host.c_str(), name.port.c_str(), &hints, &found);
    if (rc != 0) {
        c.error = rc == EAI_SYSTEM ? errno : ENOENT;
        c.message = "cannot find the host " + name.host + " (" +
                    (rc == EAI_SYSTEM ? ErrorText(errno) : std::string(gai_strerror(rc))) + ")";
        return c;
    }
    const PollClock::time_point deadline = PollClock::now() + std::chrono::milliseconds(timeoutMs);
    for (const addrinfo *ai = found; ai && c.fd < 0; ai = ai->ai_next)
        c.fd = ConnectOne(*ai, deadline, between, c.error);
    ::freeaddrinfo(found);
    if (c.fd < 0) {
        if (c.error == 0) c.error = EHOSTUNREACH;
        c.message = name.host + " port " + name.port + ": " + ErrorText(c.error);
        if (c.error == ECONNREFUSED) c.message += " (no server listens there)";
    }
    return c;
}

std::optional<double> KernelRoundTripMs(int fd)
{
    tcp_info info{};
    socklen_t len = sizeof info;
    if (getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &len) != 0 || info.tcpi_rtt == 0) return std::nullopt;
    return info.tcpi_rtt / 1000.0;
}
