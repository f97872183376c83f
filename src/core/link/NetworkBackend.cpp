// The network port's backend: the socket of NetworkSocket.h with, for
// rfc2217://, the telnet stream of Rfc2217.h between it and the data. Reads
// and writes keep the tty's semantics: a read returns once n data bytes came
// or the time-out passed, 0 when the server hung up; a connection that
// drops mid-command looks like an unplugged device.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <deque>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "link/NetworkSerial.h"
#include "link/NetworkSocket.h"
#include "link/PollWait.h"
#include "link/Rfc2217.h"

namespace {

using Clock = PollClock;

std::vector<uint8_t> BigEndian32(uint32_t v)
{
    return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
            static_cast<uint8_t>(v)};
}

// What a server that gives up on the connection says before it closes it
// (ser2net: "Device open failure: ..."), as plain text on one line.
std::string ServerWords(const std::deque<uint8_t> &data)
{
    std::string text;
    for (uint8_t b : data) {
        if (text.size() >= 120) break;
        const bool plain = b >= 0x20 && b < 0x7F;
        if (plain || (!text.empty() && text.back() != ' ')) text += plain ? static_cast<char>(b) : ' ';
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

class NetworkSerialBackend : public SerialBackend {
public:
    ~NetworkSerialBackend() override
    {
        if (fd_ >= 0) Close();
    }

    bool Open(const std::string &path, std::string &error) override
    {
        if (fd_ >= 0) Close();
        openErrno_ = 0;
        roundTripMs_.reset();
        echoMs_.clear();
        timing_ = false;
        const std::optional<NetworkPortName> name = ParseNetworkPortName(path);
        if (!name) {
            openErrno_ = EINVAL;
            error = path + ": not a network port (rfc2217://HOST:PORT or tcp://HOST:PORT)";
            return false;
        }
        NetworkConnection c = ConnectNetworkPort(*name, NetworkConnectTimeoutMs, between_);
        if (c.fd < 0) {
            openErrno_ = c.error;
            error = path + ": " + c.message;
            return false;
        }
        fd_ = c.fd;
        telnet_ = name->rfc2217;
        stream_ = TelnetStream();
        input_.clear();
        peerEnded_ = false;
        std::string why;
        if (telnet_ && !StartComPort(why)) {
            Close();
            openErrno_ = EPROTO;
            error = path + ": " + why;
            return false;
        }
        if (!telnet_) roundTripMs_ = KernelRoundTripMs(fd_);
        return true;
    }

    bool Close() override
    {
        if (fd_ < 0) return false;
        const int rc = ::close(fd_);
        fd_ = -1;
        input_.clear();
        return rc == 0 || errno == EINTR;
    }

    bool IsValid() const override { return fd_ >= 0; }
    int LastOpenErrno() const override { return openErrno_; }
    // What a byte to the programmer and its echo back took, once exchanges
    // have been seen (the network, the server's own delays and the serial
    // line together); until then the network's round trip alone.
    std::optional<double> RoundTripMs() const override
    {
        if (fd_ < 0) return std::nullopt;
        if (echoMs_.empty()) return roundTripMs_;
        std::vector<double> sorted = echoMs_;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
    // A byte may wait a whole round trip each way, and what streams in the
    // server's gathering as well: the time-outs that count on a line handing
    // bytes on at once get that much more.
    int HeldBackMs() const override
    {
        if (fd_ < 0) return 0;
        return static_cast<int>(std::ceil(RoundTripMs().value_or(0.0))) + NetworkServerHoldMs;
    }

    void ApplyLineSettings() override
    {
        if (!telnet_) return; // the raw stream's line is the server's
        Send(TelnetStream::Request(ComPortRequest::SetBaudRate, BigEndian32(38400)));
        Send(TelnetStream::Request(ComPortRequest::SetDataSize, {8}));
        Send(TelnetStream::Request(ComPortRequest::SetParity, {comport::ParityNone}));
        Send(TelnetStream::Request(ComPortRequest::SetStopSize, {comport::OneStopBit}));
        Send(TelnetStream::Request(ComPortRequest::SetControl, {comport::NoFlowControl}));
        SetModemLine(ModemLine::DTR, false);
        SetModemLine(ModemLine::RTS, false);
    }

    void SetTimeouts(int readMs, int writeMs) override
    {
        readMs_ = std::max(readMs, 0);
        writeMs_ = std::max(writeMs, 0);
    }

    void SetModemLine(ModemLine line, bool on) override
    {
        if (!telnet_) return;
        const uint8_t value = line == ModemLine::RTS ? (on ? comport::RtsOn : comport::RtsOff)
                                                     : (on ? comport::DtrOn : comport::DtrOff);
        Send(TelnetStream::Request(ComPortRequest::SetControl, {value}));
    }

    void PurgeOutput() override
    {
        if (telnet_) Send(TelnetStream::Request(ComPortRequest::PurgeData, {comport::PurgeTransmit}));
    }

    // What has arrived is dropped here; for telnet the server drops what it
    // still holds as well.
    void PurgeInput() override
    {
        if (fd_ < 0) return;
        TakeArrived();
        input_.clear();
        timing_ = false;
        if (telnet_) Send(TelnetStream::Request(ComPortRequest::PurgeData, {comport::PurgeReceived}));
    }

    void ClearErrors() override {}

    size_t Write(const uint8_t *data, size_t n) override
    {
        if (fd_ < 0 || n == 0) return 0;
        // An exchange begins: timed until its first byte back, for the first
        // few exchanges of the open.
        if (!timing_ && input_.empty() && echoMs_.size() < EchoSamples) {
            timing_ = true;
            sentAt_ = Clock::now();
        }
        if (!telnet_) return SendRaw(data, n);
        // The data bytes whose wire form went out whole are the ones written.
        std::vector<uint8_t> wire;
        std::vector<size_t> ends;
        for (size_t i = 0; i < n; ++i) {
            TelnetStream::EncodeData(data + i, 1, wire);
            ends.push_back(wire.size());
        }
        const size_t sent = SendRaw(wire.data(), wire.size());
        return static_cast<size_t>(std::upper_bound(ends.begin(), ends.end(), sent) - ends.begin());
    }

    size_t Read(uint8_t *data, size_t n) override
    {
        if (fd_ < 0) return 0;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(readMs_);
        size_t done = 0;
        for (;;) {
            while (done < n && !input_.empty()) {
                data[done++] = input_.front();
                input_.pop_front();
            }
            if (done == n) break;
            const Arrival got = TakeArrived();
            if (got == Arrival::Some) {
                NoteEcho();
                continue;
            }
            // The server hung up or the connection broke: nothing more comes.
            if (got == Arrival::Ended) break;
            if (!WaitReady(fd_, POLLIN, deadline, between_, SerialPort::WaitSliceMs)) {
                TakeArrived(); // a hang-up's last bytes
                while (done < n && !input_.empty()) {
                    data[done++] = input_.front();
                    input_.pop_front();
                }
                break;
            }
        }
        return done;
    }

    void Pause(int ms) override
    {
        if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

    void SetBetweenWaits(std::function<void()> between) override { between_ = std::move(between); }

private:
    enum class Arrival { Some, None, Ended };

    // Takes whatever the socket holds now into input_, without waiting.
    Arrival TakeArrived()
    {
        uint8_t raw[4096];
        bool some = false;
        for (;;) {
            const ssize_t rc = ::recv(fd_, raw, sizeof raw, MSG_DONTWAIT);
            if (rc > 0) {
                const size_t before = input_.size();
                if (telnet_) {
                    stream_.Take(raw, static_cast<size_t>(rc), input_);
                    if (const std::vector<uint8_t> replies = stream_.TakeReplies(); !replies.empty())
                        Send(replies);
                } else {
                    input_.insert(input_.end(), raw, raw + rc);
                }
                some = some || input_.size() > before;
                continue;
            }
            if (rc < 0 && errno == EINTR) continue;
            if (rc < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return some ? Arrival::Some : Arrival::None;
            // The end may come with the last bytes (a server's farewell).
            peerEnded_ = true;
            return some ? Arrival::Some : Arrival::Ended;
        }
    }

    // Sends within the write time-out; returns the bytes sent. A broken
    // connection ends it (no SIGPIPE: it is a hang-up like any other).
    size_t SendRaw(const uint8_t *bytes, size_t n)
    {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(writeMs_);
        size_t done = 0;
        while (done < n) {
            const ssize_t rc = ::send(fd_, bytes + done, n - done, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (rc > 0) {
                done += static_cast<size_t>(rc);
                continue;
            }
            if (rc < 0 && errno == EINTR) continue;
            if (rc < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
            if (!WaitReady(fd_, POLLOUT, deadline, between_, SerialPort::WaitSliceMs)) break;
        }
        return done;
    }

    void Send(const std::vector<uint8_t> &bytes)
    {
        if (fd_ >= 0) SendRaw(bytes.data(), bytes.size());
    }

    bool StartComPort(std::string &why);

    void NoteEcho()
    {
        if (!timing_) return;
        timing_ = false;
        echoMs_.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sentAt_).count());
    }

    // The exchanges timed at the start of an open; their median is the
    // round trip.
    static constexpr size_t EchoSamples = 16;

    int fd_ = -1;
    int openErrno_ = 0;
    bool telnet_ = false;
    TelnetStream stream_;
    std::deque<uint8_t> input_; // data bytes arrived and not yet read
    bool peerEnded_ = false;    // the server closed or reset the connection
    std::optional<double> roundTripMs_; // the network's, measured at the open
    std::vector<double> echoMs_;
    bool timing_ = false;
    Clock::time_point sentAt_;
    std::function<void()> between_;
    int readMs_ = SerialPort::DefaultTimeoutMs;
    int writeMs_ = SerialPort::DefaultTimeoutMs;
};

// Offers the COM-PORT-OPTION and asks the line's speed without changing it
// (a baud rate of 0), until the server has answered: a server that takes the
// option answers each, one that does not refuses it or stays silent. The
// quickest of a few answers is the round trip: the first may wait for the
// server to open its device.
bool NetworkSerialBackend::StartComPort(std::string &why)
{
    Send(stream_.Greeting());
    constexpr int Samples = 3;
    double best = -1;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ComPortAnswerTimeoutMs);
    for (int k = 0; k < Samples; ++k) {
        const Clock::time_point asked = Clock::now();
        Send(TelnetStream::Request(ComPortRequest::SetBaudRate, BigEndian32(0)));
        while (stream_.Answers(ComPortRequest::SetBaudRate) <= k) {
            if (stream_.ComPortRefused()) {
                why = "the server refuses the COM-PORT-OPTION (RFC 2217); for a raw TCP port use tcp://";
                return false;
            }
            const bool ready = WaitReady(fd_, POLLIN, deadline, between_, SerialPort::WaitSliceMs);
            TakeArrived();
            if (peerEnded_ && stream_.Answers(ComPortRequest::SetBaudRate) <= k) {
                const std::string words = ServerWords(input_);
                why = "the server closed the connection" +
                      (words.empty() ? std::string(" (is the device busy or missing there?)") : ": " + words);
                return false;
            }
            if (!ready && stream_.Answers(ComPortRequest::SetBaudRate) <= k) {
                why = "the server does not answer the COM-PORT-OPTION (RFC 2217); for a raw TCP port use tcp://";
                return false;
            }
        }
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - asked).count();
        best = best < 0 ? ms : std::min(best, ms);
    }
    roundTripMs_ = best;
    // Anything the device sent before the line was set is no answer to us.
    input_.clear();
    return true;
}

} // namespace

std::unique_ptr<SerialBackend> MakeNetworkSerialBackend()
{
    return std::make_unique<NetworkSerialBackend>();
}
