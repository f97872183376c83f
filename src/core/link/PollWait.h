// The wait of a transfer on a descriptor: poll() against one monotonic
// deadline, in slices when something must run between them. Shared by the
// tty and the network ports, so both keep the same time-out semantics.
#pragma once

#include <chrono>
#include <functional>

using PollClock = std::chrono::steady_clock;

// Waits until fd is ready for events or the deadline passes. False on
// time-out, hang-up or error, so a vanished device ends the transfer at once
// instead of spinning. A deadline that passed while this process was not
// running still gets one look: bytes that arrived in time and wait in the
// system's buffer are not thrown away because the host was late to collect
// them. With between set the wait goes in slices of at most sliceMs, between
// running before the first and after each, the deadline unchanged.
bool WaitReady(int fd, short events, PollClock::time_point deadline, const std::function<void()> &between,
               int sliceMs);
