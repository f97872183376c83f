// How the board's replies reach the host beyond their byte times on the
// wire, as boards and adapters in the field deliver them: in packets of a
// USB adapter, a little late at random, and now and then held long by a
// busy firmware. One piece for both simulators, so tarnbox-sim and the
// in-process backend give the same seed the same timing.
//
// A burst is what the board sends in answer to one host byte. Its bytes are
// reshaped in the firmware's output queue as it is made: each byte's time
// becomes when it reaches the host, and every byte of a packet carries the
// time its last byte has crossed, so a packet is read whole or not at all.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "SimFirmware.h"

constexpr uint64_t DefaultSimSeed = 1;
constexpr int MaxSimChunk = 64;
constexpr int MaxSimJitterMs = 100;
// Long, but inside the host's 200 ms read time-out: a slow board, not a
// silent one.
constexpr SimTime SlowReplyHold = 150'000'000;

struct SimShaping {
    int chunkMax = 0;       // packets of 1..chunkMax bytes; 0 = bytes as they cross
    int jitterMs = 0;       // each burst leaves 0..jitterMs ms late
    int slowReplyEvery = 0; // every N-th burst held SlowReplyHold; 0 = none
    uint64_t seed = DefaultSimSeed;

    bool Any() const { return chunkMax > 0 || jitterMs > 0 || slowReplyEvery > 0; }
};

// False with the reason when a field is out of its range.
bool CheckSimShaping(const SimShaping &shaping, std::string &error);

// A small generator whose sequence is fixed by its seed on every platform
// (the standard library's distributions are not).
class SimRandom {
public:
    explicit SimRandom(uint64_t seed) : state_(seed) {}
    uint64_t Next();
    // 0 .. bound-1; bound > 0.
    uint64_t Below(uint64_t bound) { return Next() % bound; }

private:
    uint64_t state_;
};

class ReplyShaper {
public:
    // byteTime: how long one byte takes on the line, which keeps a late
    // burst from overtaking the one before it.
    ReplyShaper(SimShaping shaping, SimTime byteTime);

    // Reshapes the burst the board has just appended to out, from index
    // first. Its bytes' times are when each has crossed the wire; given
    // start, they are taken instead as leaving back to back from start (a
    // board whose wire time is not kept). versionQuery: the burst answers a
    // version query, which a host bounds by a short time-out; it is never
    // held as a slow reply.
    void Shape(std::deque<SimByte> &out, size_t first, bool versionQuery,
               std::optional<SimTime> start = std::nullopt);
    const SimShaping &Shaping() const { return shaping_; }

private:
    SimShaping shaping_;
    SimTime byteTime_;
    SimRandom random_;
    uint64_t slowCandidates_ = 0; // bursts that could have been held
    bool crossedAny_ = false;
    SimTime lastCrossed_ = 0; // when the last byte shaped has crossed
};
