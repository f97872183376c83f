#include "SimShaping.h"

#include <algorithm>

bool CheckSimShaping(const SimShaping &shaping, std::string &error)
{
    if (shaping.chunkMax < 0 || shaping.chunkMax > MaxSimChunk) {
        error =
            "packet size " + std::to_string(shaping.chunkMax) + " out of 1 to " + std::to_string(MaxSimChunk);
        return false;
    }
    if (shaping.jitterMs < 0 || shaping.jitterMs > MaxSimJitterMs) {
        error = "jitter " + std::to_string(shaping.jitterMs) + " ms out of 0 to " +
                std::to_string(MaxSimJitterMs);
        return false;
    }
    if (shaping.slowReplyEvery < 0) {
        error = "slow reply every " + std::to_string(shaping.slowReplyEvery) + " bursts";
        return false;
    }
    return true;
}

uint64_t SimRandom::Next()
{
    // splitmix64
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

ReplyShaper::ReplyShaper(SimShaping shaping, SimTime byteTime)
    : shaping_(shaping), byteTime_(byteTime), random_(shaping.seed)
{
}

void ReplyShaper::Shape(std::deque<SimByte> &out, size_t first, bool versionQuery,
                        std::optional<SimTime> start)
{
    if (first >= out.size()) return;
    SimTime late = 0;
    if (shaping_.jitterMs > 0)
        late += static_cast<SimTime>(random_.Below(static_cast<uint64_t>(shaping_.jitterMs) * 1'000'000 + 1));
    if (shaping_.slowReplyEvery > 0 && !versionQuery &&
        ++slowCandidates_ % static_cast<uint64_t>(shaping_.slowReplyEvery) == 0)
        late += SlowReplyHold;

    for (size_t i = first; i < out.size(); ++i) {
        SimTime t = start ? *start + static_cast<SimTime>(i - first + 1) * byteTime_ : out[i].time;
        t += late;
        // One wire: a byte leaves after the one before it, however late that was.
        if (crossedAny_) t = std::max(t, lastCrossed_ + byteTime_);
        out[i].time = t;
        lastCrossed_ = t;
        crossedAny_ = true;
    }
    if (shaping_.chunkMax == 0) return;

    // A packet fills up to its size while bytes come back to back; a pause
    // on the wire, or the burst's end, closes it early, as an adapter sends
    // what it has once the line goes quiet instead of waiting for more.
    for (size_t i = first; i < out.size();) {
        const size_t size = 1 + random_.Below(static_cast<uint64_t>(shaping_.chunkMax));
        size_t end = i + 1;
        while (end < out.size() && end - i < size && out[end].time - out[end - 1].time <= byteTime_)
            ++end;
        const SimTime whole = out[end - 1].time;
        for (; i < end; ++i)
            out[i].time = whole;
    }
}
