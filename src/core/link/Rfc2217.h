// The telnet side of a serial port served over the network with the
// COM-PORT-OPTION (a ser2net port in telnet(rfc2217) mode): data bytes 0xFF
// go doubled both ways, the server's telnet commands are taken out of the
// data stream and answered, and the line's settings travel as COM-PORT
// subnegotiations. No sockets here: the network backend feeds it bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <set>
#include <vector>

namespace telnet {
constexpr uint8_t Iac = 255, Dont = 254, Do = 253, Wont = 252, Will = 251, Sb = 250, Se = 240;
constexpr uint8_t OptBinary = 0, OptEcho = 1, OptSuppressGoAhead = 3, OptComPort = 44;
} // namespace telnet

// The client's COM-PORT requests; the server answers each with its code + 100.
enum class ComPortRequest : uint8_t {
    SetBaudRate = 1,
    SetDataSize = 2,
    SetParity = 3,
    SetStopSize = 4,
    SetControl = 5,
    PurgeData = 12,
};

// Values of SET-CONTROL and PURGE-DATA the port uses.
namespace comport {
constexpr uint8_t NoFlowControl = 1, DtrOn = 8, DtrOff = 9, RtsOn = 11, RtsOff = 12;
constexpr uint8_t ParityNone = 1, OneStopBit = 1;
// The server's receive buffer holds what the device sent (the host's input),
// its transmit buffer what goes to the device (the host's output).
constexpr uint8_t PurgeReceived = 1, PurgeTransmit = 2;
} // namespace comport

class TelnetStream {
public:
    // What the client says first: it will do the COM-PORT-OPTION, and binary
    // both ways, so that no byte of the programmer's is translated.
    std::vector<uint8_t> Greeting();
    // A COM-PORT request with its value (big-endian numbers, IAC doubled).
    static std::vector<uint8_t> Request(ComPortRequest request, const std::vector<uint8_t> &value);
    // Data for the wire, appended to out.
    static void EncodeData(const uint8_t *data, size_t n, std::vector<uint8_t> &out);

    // Bytes from the server: data goes to data, commands are answered (see
    // TakeReplies) or noted. A command split across calls is kept whole.
    void Take(const uint8_t *raw, size_t n, std::deque<uint8_t> &data);
    // What the client owes the server for the negotiations taken so far.
    std::vector<uint8_t> TakeReplies();

    // How many answers to the request the server has sent.
    int Answers(ComPortRequest request) const;
    // The server said it will not take the COM-PORT-OPTION.
    bool ComPortRefused() const { return comPortRefused_; }

private:
    enum class State { Data, Iac, Verb, Sub, SubIac };
    void Negotiate(uint8_t verb, uint8_t option);
    void SubnegotiationEnded();
    void Reply(uint8_t verb, uint8_t option);

    State state_ = State::Data;
    uint8_t verb_ = 0;
    std::vector<uint8_t> sub_;
    std::vector<uint8_t> replies_;
    std::set<uint8_t> ours_;   // options this side does
    std::set<uint8_t> theirs_; // options the server does
    std::set<uint8_t> refusedOurs_, refusedTheirs_;
    int answers_[256] = {};
    bool comPortRefused_ = false;
};
