// How bytes cross between the host and the simulated board.
//   pty   as a pseudo-terminal hands them over: the board has a host byte
//         once it is written (tarnbox-sim) or once its wire time is over
//         (in-process), and its replies leave as the firmware sends them.
//   uart  a real UART at 38400 baud: a host byte is whole at the board 10 bit
//         times after it started on the wire, and only then is it echoed.
//   usb=MS  a USB serial adapter: as uart, but bytes cross USB in frames of
//         MS milliseconds each way; a byte is handed on at the end of the
//         frame it became ready in (an FTDI latency timer of MS).
#pragma once

#include <string>

#include "SimFirmware.h"

enum class LineKind { Pty, Uart, Usb };

struct SimLine {
    LineKind kind = LineKind::Pty;
    SimTime frame = 0; // usb frame length, nanoseconds

    // When a host byte handed over at sent is whole at the board; lineFree
    // is when the host-to-board wire can take the next byte (updated).
    SimTime ToBoard(SimTime sent, SimTime &lineFree) const;
    // When a board byte that has fully crossed the wire at arrived reaches
    // the host program.
    SimTime ToHost(SimTime arrived) const;
    // "pty", "uart", "usb=16".
    std::string Name() const;
};

// Reads "pty", "uart" or "usb=MS" (MS 1 to 255); false for anything else.
bool ParseSimLine(const std::string &text, SimLine &line);
