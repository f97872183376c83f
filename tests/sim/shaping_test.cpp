// Replies shaped as adapters and busy firmware deliver them, on the virtual
// clock: packets, jitter, slow replies, their seed, and an adapter that
// does not tell its latency.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SimBackend.h"
#include "sim_rig.h"

namespace {

struct Arrival {
    uint8_t value;
    SimTime at; // when the host's read had it
};

// Writes each byte and reads its answer one byte at a time, as soon as the
// board has one, so every byte is seen when it reached the host.
std::vector<Arrival> Exchange(SimBackend &sim, const std::vector<std::vector<uint8_t>> &steps, size_t tail)
{
    std::vector<Arrival> got;
    auto take = [&](size_t n) {
        for (size_t i = 0; i < n; ++i) {
            uint8_t b = 0;
            if (sim.Read(&b, 1) != 1) return;
            got.push_back({b, sim.Now()});
        }
    };
    for (const auto &step : steps)
        for (uint8_t b : step) {
            sim.Write(&b, 1);
            take(1);
        }
    take(tail);
    return got;
}

struct Board {
    SimBackend sim;
    explicit Board(SimOptions options = {}) : sim(std::move(options))
    {
        std::string error;
        sim.Open("sim", error);
    }
};

// Enter programming mode, then a stream of 40 words: its 80 bytes and the
// echo before them are one burst, the last.
const std::vector<std::vector<uint8_t>> StreamSteps = {{0x00, 0x01}, {0x07, 0x04, 0x28, 0x00}};

// Echo exchanges of 0x01 0x06 (address increments), two bursts each.
std::vector<std::vector<uint8_t>> Increments(int n)
{
    return std::vector<std::vector<uint8_t>>(static_cast<size_t>(n), {0x01, 0x06});
}

} // namespace

TEST(Shaping, PacketsArriveWholeWhenTheirLastByteHasCrossed)
{
    Board plain;
    const std::vector<Arrival> crossed = Exchange(plain.sim, StreamSteps, 80);
    ASSERT_EQ(crossed.size(), 86u);
    for (int chunk : {1, 3, 64}) {
        Board board(SimOptions{.chunkMax = chunk, .seed = 5});
        SimBackend &sim = board.sim;
        const std::vector<Arrival> got = Exchange(sim, StreamSteps, 80);
        ASSERT_EQ(got.size(), crossed.size()) << chunk;
        size_t largest = 0;
        for (size_t first = 0; first < got.size();) {
            size_t end = first + 1;
            while (end < got.size() && got[end].at == got[first].at)
                ++end;
            // Every byte of a packet at the time its last byte crossed.
            EXPECT_EQ(got[first].at, crossed[end - 1].at) << chunk << " at " << first;
            EXPECT_LE(end - first, static_cast<size_t>(chunk)) << chunk << " at " << first;
            largest = std::max(largest, end - first);
            for (size_t i = first; i < end; ++i)
                EXPECT_EQ(got[i].value, crossed[i].value);
            first = end;
        }
        if (chunk > 1) {
            EXPECT_GT(largest, 1u) << chunk;
        }
        // The stream's last packet was not held for bytes that never came.
        EXPECT_EQ(got.back().at, crossed.back().at) << chunk;
    }
}

TEST(Shaping, JitterAndSlowRepliesDelayBurstsByTheirBounds)
{
    Board plain;
    const std::vector<Arrival> base = Exchange(plain.sim, Increments(1), 0);
    const SimTime echoTime = base[0].at; // from the write at 0
    struct Case {
        int jitterMs, slowEvery;
    };
    for (Case c : {Case{1, 0}, Case{20, 0}, Case{100, 0}, Case{0, 3}, Case{10, 4}}) {
        Board board(SimOptions{.jitterMs = c.jitterMs, .slowReplyEvery = c.slowEvery});
        SimBackend &sim = board.sim;
        SimTime sent = 0, largest = 0;
        for (int burst = 1; burst <= 60; ++burst) {
            const uint8_t b = burst % 2 ? 0x01 : 0x06;
            sent = sim.Now();
            sim.Write(&b, 1);
            uint8_t echo = 0;
            ASSERT_EQ(sim.Read(&echo, 1), 1u);
            const bool slow = c.slowEvery > 0 && burst % c.slowEvery == 0;
            const SimTime late = sim.Now() - sent - echoTime - (slow ? SlowReplyHold : 0);
            EXPECT_GE(late, 0) << c.jitterMs << "/" << c.slowEvery << " burst " << burst;
            EXPECT_LE(late, c.jitterMs * SimTime{1000000})
                << c.jitterMs << "/" << c.slowEvery << " burst " << burst;
            largest = std::max(largest, late);
        }
        if (c.jitterMs > 0) {
            EXPECT_GT(largest, c.jitterMs * SimTime{1000000} / 2) << c.jitterMs;
        }
    }
}

TEST(Shaping, VersionQueryIsNeverASlowReply)
{
    SimRig rig(SimOptions{.slowReplyEvery = 1});
    const double start = rig.sim.NowMs();
    EXPECT_EQ(GetVersion(rig.link), DefaultVersionText);
    EXPECT_LT(rig.sim.NowMs() - start, 40.0);
    // Every other burst is held.
    const double before = rig.sim.NowMs();
    EXPECT_EQ(SendIcsp(rig.link, 6), 0);
    EXPECT_GE(rig.sim.NowMs() - before, 300.0);
}

TEST(Shaping, TheSeedFixesTheTiming)
{
    auto run = [](uint64_t seed) {
        Board board(SimOptions{.chunkMax = 8, .jitterMs = 10, .slowReplyEvery = 5, .seed = seed});
        SimBackend &sim = board.sim;
        std::vector<std::vector<uint8_t>> steps = Increments(20);
        steps.insert(steps.end(), StreamSteps.begin(), StreamSteps.end());
        std::vector<SimTime> times;
        for (const Arrival &a : Exchange(sim, steps, 80))
            times.push_back(a.at);
        return times;
    };
    EXPECT_EQ(run(7), run(7));
    EXPECT_NE(run(7), run(8));
    EXPECT_THROW(SimBackend(SimOptions{.chunkMax = 65}), std::invalid_argument);
    EXPECT_THROW(SimBackend(SimOptions{.jitterMs = 101}), std::invalid_argument);
}

TEST(Shaping, AnAdapterThatDoesNotTellItsLatencyStillHoldsBytesBack)
{
    for (bool reports : {true, false}) {
        SimOptions options{.reportsLatency = reports};
        ASSERT_TRUE(ParseSimLine("usb=16", options.line));
        Board board(options);
        SimBackend &sim = board.sim;
        EXPECT_EQ(sim.HeldBackMs(), reports ? 16 : 0);
        const std::vector<Arrival> echo = Exchange(sim, {{0x01}}, 0);
        ASSERT_EQ(echo.size(), 1u);
        EXPECT_EQ(echo[0].at, 32 * SimTime{1000000}) << reports; // both frames' ends
    }
}
