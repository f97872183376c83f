#include "StopSignals.h"

#include <signal.h>

#include <cerrno>
#include <initializer_list>

#include "support/interrupt.h"

namespace {

volatile sig_atomic_t afterRoundMode = 0;
volatile sig_atomic_t roundStop = 0;

extern "C" void OnStopSignal(int sig)
{
    if (afterRoundMode && !roundStop) {
        roundStop = 1;
        return;
    }
    // While an erase holds requests, every one waits with it: nothing may
    // end the program between the erase and the write-back.
    if (InterruptHeld() || !(InterruptRequested() || afterRoundMode)) {
        RequestInterrupt(sig);
        return;
    }
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

} // namespace

void CatchStopSignals(bool afterRound)
{
    afterRoundMode = afterRound ? 1 : 0;
    roundStop = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaction(sig, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

bool StopAfterRound()
{
    return roundStop != 0;
}

void FlushOutput(FILE *out)
{
    if (std::fflush(out) != 0 && errno == EPIPE) RequestInterrupt(SIGPIPE);
}
