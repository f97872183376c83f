// The window's ending signals: while an erase holds them nothing ends and
// nothing is announced; once the hold is released the signal's number
// reaches the pipe the window watches, and EndBySignal ends the process as
// the signal would.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "support/interrupt.h"

namespace {

// In a child of its own, the signals' handlers being the process's.
void SignalWaitsForTheHoldThenReachesThePipe(int sig)
{
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK) != 0) ::_exit(10);
    EndOnSignalsAfterHolds();
    SignalsToPipeAfterHolds(fds[1]);
    unsigned char byte = 0;
    {
        InterruptHold hold;
        ::raise(sig);
        if (::read(fds[0], &byte, 1) != -1) ::_exit(11); // announced during the hold
    }
    if (::read(fds[0], &byte, 1) != 1 || byte != sig) ::_exit(12);
    // Without a hold it is announced at once.
    ClearInterrupt();
    ::raise(sig);
    if (::read(fds[0], &byte, 1) != 1 || byte != sig) ::_exit(13);
    EndBySignal(byte);
}

} // namespace

TEST(InterruptDeathTest, WindowSignalsWaitForTheHoldThenReachThePipe)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (int sig : {SIGTERM, SIGHUP})
        EXPECT_EXIT(SignalWaitsForTheHoldThenReachesThePipe(sig), testing::KilledBySignal(sig), "") << sig;
}
