// The byte-level pieces the link's files share: the echo handshake, the
// bytes of a word, and the version query that both the command executor and
// the programmer's identification run.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "link/PICCommand.h"
#include "link/serial.h"

// Writes b and expects exactly b back.
inline bool Echo(SerialPort &port, uint8_t b)
{
    uint8_t in = 0;
    port.Write(&b, 1);
    return port.Read(&in, 1) == 1 && in == b;
}

inline bool EchoAll(SerialPort &port, std::initializer_list<uint8_t> bytes)
{
    for (uint8_t b : bytes)
        if (!Echo(port, b)) return false;
    return true;
}

inline uint8_t Lo(uint16_t w)
{
    return static_cast<uint8_t>(w & 0xFF);
}
inline uint8_t Hi(uint16_t w)
{
    return static_cast<uint8_t>(w >> 8);
}

// How a version query went, beyond its Status: whether anything came back
// at all, and whether the text ended as a whole reply does (its zero byte,
// or all 32 bytes).
struct VersionExchange {
    bool heard = false;
    bool ended = false;
    bool codeSilent = false; // nothing came back for the command code
};

// Runs the version query (command 0x00 with argument 0) and sets cmd.Reply
// and cmd.Status.
VersionExchange VersionQuery(SerialPort &port, TCommand &cmd);
