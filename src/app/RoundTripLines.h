// What a port on another machine's round trip means for the user: the
// protocol echoes every byte, so each one waits for a whole round trip.
#pragma once

#include <string>

#include "catalogue/DeviceSelection.h"

// From here on a program takes several times what it takes on a local
// adapter (about 0.5 ms a byte at 38400 baud).
constexpr double SlowRoundTripMs = 2.0;

// About how long a program (with its verify) of the part's whole memory
// takes on a line with this round trip, in seconds; -1 for no part.
int WholeProgramSeconds(double roundTripMs, DeviceSelection device);
// The plain line for a round trip that slows a program, naming the part's
// time when a part is chosen; empty when the round trip is short.
std::string SlowRoundTripLine(double roundTripMs, DeviceSelection device);
