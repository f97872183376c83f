// The board's side of a recorded wire trace, played back to a host: each
// byte the board sent goes out once the host has sent every byte that came
// before it in the trace, as long after the last of them as it did then (and
// as long after the board's byte before it), so a session recorded on a
// user's board, slow answers and silences included, happens again here.
//
// A trace that shows several ports (a probe) is played for the port of its
// last open, every open of that port in turn; one without open lines (as
// tarnbox-sim --trace writes it) is played whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "SimFirmware.h"

struct TraceEvent {
    SimTime time;  // since the trace began
    bool fromHost; // '>'
    uint8_t value;
};

// Reads the byte lines of a trace for the played port; false with the
// reason (path and line) in error. A last line without its line end (the
// trace was cut by a crash or a full disk) is left out, the rest played;
// cutLine is its number, 0 for a whole trace.
bool ReadTraceForReplay(const std::string &path, std::vector<TraceEvent> &events, std::string &error,
                        long &cutLine);

class TraceReplay {
public:
    explicit TraceReplay(std::vector<TraceEvent> events);
    // A byte from the host at now. A byte other than the trace's is counted
    // (the first such is described by Divergence) and taken in its place.
    void Receive(uint8_t value, SimTime now);
    // Moves the board bytes due by now to out.
    void TakeDue(SimTime now, std::vector<uint8_t> &out);
    // When the next board byte is due; -1 while it waits for the host or
    // the trace has none left.
    SimTime NextDue() const;
    // Empty while the host has sent what the trace holds.
    const std::string &Divergence() const { return divergence_; }
    size_t HostBytesReceived() const { return hostCount_; }
    size_t HostBytesInTrace() const;

private:
    std::vector<TraceEvent> events_;
    size_t nextHost_ = 0;  // the next '>' the host is to send
    size_t nextBoard_ = 0; // the next '<' to go out
    size_t hostCount_ = 0; // host bytes received
    // The last host byte received and the last board byte sent: when in the
    // trace, and when here.
    bool haveHost_ = false, haveBoard_ = false;
    SimTime hostTrace_ = 0, hostNow_ = 0, boardTrace_ = 0, boardNow_ = 0;
    std::string divergence_;

    void SkipToNext(size_t &cursor, bool fromHost);
};
