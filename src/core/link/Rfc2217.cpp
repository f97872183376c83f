#include "link/Rfc2217.h"

using namespace telnet;

namespace {

// The options the port takes on either side: the COM-PORT-OPTION only on
// the client's, as the protocol has it; binary and no go-aheads both ways.
// The server's echo is refused: the programmer echoes every byte already.
bool OursAccepted(uint8_t option)
{
    return option == OptComPort || option == OptBinary || option == OptSuppressGoAhead;
}

bool TheirsAccepted(uint8_t option)
{
    return option == OptBinary || option == OptSuppressGoAhead;
}

} // namespace

std::vector<uint8_t> TelnetStream::Greeting()
{
    ours_ = {OptComPort, OptBinary};
    theirs_ = {OptBinary};
    return {Iac, Will, OptComPort, Iac, Will, OptBinary, Iac, Do, OptBinary};
}

std::vector<uint8_t> TelnetStream::Request(ComPortRequest request, const std::vector<uint8_t> &value)
{
    std::vector<uint8_t> out{Iac, Sb, OptComPort};
    const uint8_t code = static_cast<uint8_t>(request);
    EncodeData(&code, 1, out);
    EncodeData(value.data(), value.size(), out);
    out.push_back(Iac);
    out.push_back(Se);
    return out;
}

void TelnetStream::EncodeData(const uint8_t *data, size_t n, std::vector<uint8_t> &out)
{
    for (size_t i = 0; i < n; ++i) {
        out.push_back(data[i]);
        if (data[i] == Iac) out.push_back(Iac);
    }
}

void TelnetStream::Take(const uint8_t *raw, size_t n, std::deque<uint8_t> &data)
{
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = raw[i];
        switch (state_) {
        case State::Data:
            if (b == Iac)
                state_ = State::Iac;
            else
                data.push_back(b);
            break;
        case State::Iac:
            if (b == Iac) {
                data.push_back(b);
                state_ = State::Data;
            } else if (b == Sb) {
                sub_.clear();
                state_ = State::Sub;
            } else if (b >= Will && b <= Dont) {
                verb_ = b;
                state_ = State::Verb;
            } else {
                state_ = State::Data; // NOP, go-ahead and the like carry nothing
            }
            break;
        case State::Verb:
            Negotiate(verb_, b);
            state_ = State::Data;
            break;
        case State::Sub:
            if (b == Iac)
                state_ = State::SubIac;
            else
                sub_.push_back(b);
            break;
        case State::SubIac:
            if (b == Iac) {
                sub_.push_back(b);
                state_ = State::Sub;
            } else {
                // IAC SE, or a server that broke off: the subnegotiation ends.
                SubnegotiationEnded();
                state_ = State::Data;
            }
            break;
        }
    }
}

std::vector<uint8_t> TelnetStream::TakeReplies()
{
    std::vector<uint8_t> out;
    out.swap(replies_);
    return out;
}

int TelnetStream::Answers(ComPortRequest request) const
{
    return answers_[static_cast<uint8_t>(request)];
}

void TelnetStream::Reply(uint8_t verb, uint8_t option)
{
    replies_.insert(replies_.end(), {Iac, verb, option});
}

// Answers only what changes a state, so two sides never loop.
void TelnetStream::Negotiate(uint8_t verb, uint8_t option)
{
    switch (verb) {
    case Do:
        if (OursAccepted(option)) {
            if (ours_.insert(option).second) Reply(Will, option);
        } else if (refusedOurs_.insert(option).second) {
            Reply(Wont, option);
        }
        break;
    case Dont:
        if (option == OptComPort) comPortRefused_ = true;
        if (ours_.erase(option)) Reply(Wont, option);
        break;
    case Will:
        if (TheirsAccepted(option)) {
            if (theirs_.insert(option).second) Reply(Do, option);
        } else if (refusedTheirs_.insert(option).second) {
            Reply(Dont, option);
        }
        break;
    case Wont:
        if (theirs_.erase(option)) Reply(Dont, option);
        break;
    }
}

void TelnetStream::SubnegotiationEnded()
{
    // The server's answers (and its notifications of line and modem state,
    // which nothing here needs) carry their request's code + 100.
    if (sub_.size() < 2 || sub_[0] != OptComPort || sub_[1] < 100) return;
    ++answers_[sub_[1] - 100];
}
