// Block transfers: what the programmer streams back after a read command,
// unit by unit, and the PIC18 table reads built on them.
#pragma once

#include <cstdint>
#include <span>

#include "link/PICCommand.h"

// Result of receiving one unit: it arrived whole, part of it arrived, or the
// programmer stayed silent for a whole read time-out.
enum class ReceivedUnit { Whole, Partial, Silent };

// Reads one unit into destination[index]; stores it only when it arrived
// whole and fits the destination.
template <typename T> ReceivedUnit ReceiveOne(Link &link, std::span<T> destination, size_t index)
{
    uint8_t raw[sizeof(T)] = {};
    size_t got = link.port.Read(raw, sizeof(T));
    if (got == 0) return ReceivedUnit::Silent;
    if (got != sizeof(T)) return ReceivedUnit::Partial;
    if (index < destination.size()) {
        if constexpr (sizeof(T) == 2)
            destination[index] = static_cast<T>(raw[0] | (raw[1] << 8));
        else
            destination[index] = raw[0];
    }
    return ReceivedUnit::Whole;
}

template <typename T> std::span<T> Tail(std::span<T> s, size_t from)
{
    return from < s.size() ? s.subspan(from) : std::span<T>();
}

// The receive loops read what the programmer is already streaming. Each
// returns the number of units that did not arrive (also added to
// link.missing); a unit that did not arrive keeps its old value. Units beyond
// the destination's size are read from the wire but not stored.
int ReceiveWords(Link &link, int n, std::span<uint16_t> destination, ProgressBar *progress);
int ReceiveBytes(Link &link, int n, std::span<uint8_t> destination, ProgressBar *progress);

// Streams n PIC18 table bytes from address. Small-block mode (program memory
// at address 0) reads whole 256-byte blocks; a remainder would not be read
// and counts as missing.
int ReadBytes(Link &link, uint32_t address, int n, std::span<uint8_t> destination, ProgressBar *progress);
