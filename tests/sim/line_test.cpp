// The line models' timing on the virtual clock, and the host's waits that
// depend on it: the version reply read to its end, one drain while nothing
// was written.
#include <gtest/gtest.h>

#include "SimLine.h"
#include "operations/operations.h"
#include "link/discovery.h"
#include "sim_rig.h"

namespace {

SimOptions On(const char *line)
{
    SimOptions options;
    EXPECT_TRUE(ParseSimLine(line, options.line)) << line;
    return options;
}

} // namespace

TEST(SimLine, EchoTimeOfEachLine)
{
    // One command byte and its echo, sent 3 ms in: uart receives the byte
    // whole before echoing it (two byte times at least); usb hands each
    // direction on at the end of its frame (at 16 ms and at 32 ms).
    struct Case {
        const char *line;
        double atLeastMs, atMostMs;
    } cases[] = {{"uart", 0.52, 0.7}, {"usb=1", 2.0, 2.0}, {"usb=16", 29.0, 29.0}};
    for (const Case &c : cases) {
        SimRig rig(On(c.line));
        rig.sim.Pause(3); // off the frame boundary
        const double start = rig.sim.NowMs();
        const uint8_t code = 0x03;
        uint8_t echo = 0;
        rig.port.Write(&code, 1);
        ASSERT_EQ(rig.port.Read(&echo, 1), 1u) << c.line;
        const double took = rig.sim.NowMs() - start;
        EXPECT_GE(took, c.atLeastMs - 1e-6) << c.line;
        EXPECT_LE(took, c.atMostMs + 1e-6) << c.line;
        EXPECT_EQ(rig.sim.RoundTrips(), 1u);
    }
    SimLine line;
    for (const char *bad : {"usb=0", "usb=", "usb=1x", "serial", "usb=256"})
        EXPECT_FALSE(ParseSimLine(bad, line)) << bad;
}

TEST(SimLine, VersionReplyEndsAtItsNulAndOneDrainWhileQuiet)
{
    SimRig rig(On("uart"));
    const double start = rig.sim.NowMs();
    EXPECT_EQ(GetVersion(rig.link).substr(0, 4), ProgrammerModelTag);
    // The reply's own bytes and the short wait for padding after its zero
    // byte, not the query's whole time-out per byte.
    EXPECT_LT(rig.sim.NowMs() - start, 12.0 + VersionPadGapMs);

    const double before = rig.sim.NowMs();
    rig.port.DrainInput();
    rig.port.DrainInput();
    EXPECT_DOUBLE_EQ(rig.sim.NowMs() - before, SerialPort::DrainQuietMs);
    GetVersion(rig.link);
    const double after = rig.sim.NowMs();
    rig.port.DrainInput();
    EXPECT_DOUBLE_EQ(rig.sim.NowMs() - after, SerialPort::DrainQuietMs);
}

// A production run's next chip on a port the last one closed quiet (its
// programming-mode exit answered, nothing sent since) opens without the
// drain's wait; a byte sent after the exit, or another device, keeps it.
TEST(SimLine, OnlyALineClosedQuietIsTrustedWithoutADrain)
{
    SimRig rig(On("uart"));
    // The next chip's open, as the production run makes it.
    const auto reopenMs = [&](const std::string &opened) {
        const std::string quiet = rig.port.ClosedQuietPath();
        rig.port.OpenPort(opened);
        rig.port.TrustQuietLine(quiet);
        const double before = rig.sim.NowMs();
        rig.port.DrainInput();
        return rig.sim.NowMs() - before;
    };
    EnterProgramMode(rig.link, 0);
    ExitProgramMode(rig.link, 0);
    rig.port.ClosePort();
    EXPECT_EQ(rig.port.ClosedQuietPath(), "COM1");
    EXPECT_DOUBLE_EQ(reopenMs("COM1"), 0.0);

    ExitProgramMode(rig.link, 0);
    rig.port.ClosePort();
    EXPECT_DOUBLE_EQ(reopenMs("COM2"), SerialPort::DrainQuietMs);

    ExitProgramMode(rig.link, 0);
    IncAddress(rig.link);
    rig.port.ClosePort();
    EXPECT_EQ(rig.port.ClosedQuietPath(), "");
    EXPECT_DOUBLE_EQ(reopenMs("COM2"), SerialPort::DrainQuietMs);
}

TEST(SimLine, LateVersionAnswersWidenTheBoundsOnceWithoutAskingASilentPortTwice)
{
    struct Log : QuietFrontEnd {
        std::vector<std::string> lines;
        void AddLog(const std::string &text) override { lines.push_back(text); }
    };
    // A 16 ms adapter the system shows nothing of: the first query comes
    // back late, the second is asked as behind such an adapter, and the
    // port keeps that for the queries after it, which are said nothing of.
    SimOptions untold = On("usb=16");
    untold.reportsLatency = false;
    SimRig rig(untold);
    Log log;
    Link link{rig.port, rig.cmd, log};
    EXPECT_EQ(GetVersion(link), DefaultVersionText);
    EXPECT_EQ(rig.port.HeldBackMs(), AssumedAdapterHoldMs);
    EXPECT_EQ(GetVersion(link), DefaultVersionText);
    rig.port.ClosePort();
    ASSERT_EQ(rig.port.OpenPort("COM1"), 0);
    EXPECT_EQ(GetVersion(link), DefaultVersionText);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find("16 ms"), std::string::npos) << log.lines[0];

    // Nothing answers: two short reads and no second query.
    SimRig silent(SimOptions{.silent = true});
    const double start = silent.sim.NowMs();
    EXPECT_EQ(GetVersion(silent.link), "");
    EXPECT_DOUBLE_EQ(silent.sim.NowMs() - start, 2.0 * VersionTimeoutMs);
}
