// The network port's pieces without a server program: its names, the telnet
// stream between the socket and the data, and the raw backend against a
// peer in the test itself (time-outs, a hang-up, a refusal).
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "link/NetworkSerial.h"
#include "link/Rfc2217.h"

namespace {

using namespace telnet;
using Bytes = std::vector<uint8_t>;

TEST(NetworkPortName, SchemesHostsAndPorts)
{
    const auto raw = ParseNetworkPortName("tcp://pi.local:3334");
    ASSERT_TRUE(raw);
    EXPECT_FALSE(raw->rfc2217);
    EXPECT_EQ(raw->host, "pi.local");
    EXPECT_EQ(raw->port, "3334");
    const auto v6 = ParseNetworkPortName("RFC2217://[::1]:3333");
    ASSERT_TRUE(v6);
    EXPECT_TRUE(v6->rfc2217);
    EXPECT_EQ(v6->host, "::1");
    for (const char *bad : {"tcp://pi.local", "tcp://:3333", "tcp://host:0", "tcp://host:65536", "tcp://host:33a",
                            "tcp://::1:3333", "rfc2217://[::1]3333", "/dev/ttyUSB0"})
        EXPECT_FALSE(ParseNetworkPortName(bad)) << bad;
    EXPECT_TRUE(IsNetworkPortPath("tcp://host"));
    EXPECT_FALSE(IsNetworkPortPath("/dev/serial/by-id/usb-x"));
}

TEST(TelnetStream, DataKeepsEveryByteAndCommandsAreTakenOut)
{
    TelnetStream t;
    t.Greeting();
    std::deque<uint8_t> data;
    // 0xFF doubled, a negotiation and a COM-PORT answer (its own 0xFF
    // doubled) split across reads, and a go-ahead.
    const Bytes first{0x41, Iac, Iac, 0x42, Iac, Will, OptEcho, Iac, Sb, OptComPort, 101, 0, 0, Iac};
    const Bytes second{Iac, 0, Iac, Se, Iac, 249, Iac, Do, OptBinary, Iac};
    const Bytes third{Do, 24, 0x43};
    t.Take(first.data(), first.size(), data);
    t.Take(second.data(), second.size(), data);
    t.Take(third.data(), third.size(), data);
    EXPECT_EQ(Bytes(data.begin(), data.end()), (Bytes{0x41, 0xFF, 0x42, 0x43}));
    EXPECT_EQ(t.Answers(ComPortRequest::SetBaudRate), 1);
    // The server's echo and an unknown option are refused once; binary was
    // offered already and needs no answer.
    EXPECT_EQ(t.TakeReplies(), (Bytes{Iac, Dont, OptEcho, Iac, Wont, 24}));
    const Bytes again{Iac, Will, OptEcho, Iac, Dont, OptComPort};
    t.Take(again.data(), again.size(), data);
    EXPECT_EQ(t.TakeReplies(), (Bytes{Iac, Wont, OptComPort}));
    EXPECT_TRUE(t.ComPortRefused());
}

TEST(TelnetStream, RequestsAndDataDoubleTheEscape)
{
    EXPECT_EQ(TelnetStream::Request(ComPortRequest::SetBaudRate, {0, 0, 0x96, 0}),
              (Bytes{Iac, Sb, OptComPort, 1, 0, 0, 0x96, 0, Iac, Se}));
    EXPECT_EQ(TelnetStream::Request(ComPortRequest::SetBaudRate, {0, 0, 0, 0xFF}),
              (Bytes{Iac, Sb, OptComPort, 1, 0, 0, 0, 0xFF, 0xFF, Iac, Se}));
    Bytes out;
    const Bytes data{0xFF, 0x00, 0xFF};
    TelnetStream::EncodeData(data.data(), data.size(), out);
    EXPECT_EQ(out, (Bytes{0xFF, 0xFF, 0x00, 0xFF, 0xFF}));
}

// A listening socket on a free loopback port.
struct Listener {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int port = 0;
    Listener()
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (bind(fd, reinterpret_cast<sockaddr *>(&a), len) != 0 || listen(fd, 1) != 0) return;
        getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
        port = ntohs(a.sin_port);
    }
    ~Listener() { ::close(fd); }
};

long MsSince(std::chrono::steady_clock::time_point t)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t).count());
}

// The raw stream reads like a tty: the bytes as sent (0xFF untouched), a
// short read after the time-out, 0 at once once the peer hung up, and a
// write to a connection gone neither kills the program nor claims success.
TEST(NetworkBackend, RawStreamReadsLikeATty)
{
    Listener server;
    ASSERT_GT(server.port, 0);
    std::thread peer([&] {
        const int c = ::accept(server.fd, nullptr, nullptr);
        const uint8_t bytes[] = {0xFF, 0x01};
        ::send(c, bytes, sizeof bytes, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        ::close(c);
    });
    auto backend = MakeNetworkSerialBackend();
    std::string error;
    ASSERT_TRUE(backend->Open("tcp://127.0.0.1:" + std::to_string(server.port), error)) << error;
    EXPECT_TRUE(backend->RoundTripMs().has_value());
    backend->SetTimeouts(60, 200);
    uint8_t in[3] = {};
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(backend->Read(in, 3), 2u);
    EXPECT_GE(MsSince(start), 55);
    EXPECT_EQ(in[0], 0xFF);
    peer.join();
    backend->SetTimeouts(2000, 200);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(backend->Read(in, 1), 0u);
    EXPECT_LT(MsSince(start), 1000);
    const uint8_t out[64] = {};
    size_t written = 0;
    for (int k = 0; k < 20; ++k)
        written = backend->Write(out, sizeof out);
    EXPECT_LT(written, sizeof out);
    EXPECT_TRUE(backend->Close());
}

TEST(NetworkBackend, RefusalAndBadNamesSayWhat)
{
    int port = 0;
    {
        Listener gone; // closed again: nothing listens there
        port = gone.port;
    }
    auto backend = MakeNetworkSerialBackend();
    std::string error;
    const std::string path = "rfc2217://127.0.0.1:" + std::to_string(port);
    EXPECT_FALSE(backend->Open(path, error));
    EXPECT_EQ(backend->LastOpenErrno(), ECONNREFUSED);
    EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
    EXPECT_NE(error.find("refused"), std::string::npos) << error;
    EXPECT_FALSE(backend->Open("tcp://nowhere", error));
    EXPECT_NE(error.find("not a network port"), std::string::npos) << error;
}

} // namespace
