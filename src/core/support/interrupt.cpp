#include "support/interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <atomic>
#include <initializer_list>

namespace {

static_assert(std::atomic<int>::is_always_lock_free, "the flag is set from signal handlers");
std::atomic<int> pendingSignal{0};
std::atomic<int> requested{0};
std::atomic<int> holds{0};
std::atomic<int> endAfterHolds{0};

std::atomic<int> signalPipe{-1};

// Ends the process, or tells the front end watching the pipe to end it.
void EndOrNotify(int sig)
{
    const int fd = signalPipe.load();
    if (fd < 0) EndBySignal(sig);
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(sig);
    // A full pipe already holds a request to end.
    [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    errno = saved;
}

extern "C" void OnEndingSignal(int sig)
{
    if (holds.load() != 0) {
        RequestInterrupt(sig);
        // The last hold may have gone between the look and the request.
        if (holds.load() != 0) return;
    }
    EndOrNotify(sig);
}

} // namespace

void RequestInterrupt(int sig)
{
    pendingSignal.store(sig);
    requested.store(1);
}

bool InterruptRequested()
{
    return requested.load() != 0;
}

int InterruptSignal()
{
    return requested.load() ? pendingSignal.load() : 0;
}

bool InterruptPending()
{
    return requested.load() != 0 && holds.load() == 0;
}

bool InterruptHeld()
{
    return holds.load() != 0;
}

void ClearInterrupt()
{
    requested.store(0);
    pendingSignal.store(0);
}

InterruptHold::InterruptHold()
{
    holds.fetch_add(1);
}

InterruptHold::~InterruptHold()
{
    if (holds.fetch_sub(1) == 1 && endAfterHolds.load() && requested.load())
        EndOrNotify(pendingSignal.load());
}

void EndBySignal(int sig)
{
    ::signal(sig, SIG_DFL);
    ::raise(sig);
    // A signal blocked in this thread arrives as soon as it is unblocked.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    ::_exit(128 + sig);
}

void SignalsToPipeAfterHolds(int fd)
{
    signalPipe.store(fd);
}

void EndOnSignalsAfterHolds()
{
    endAfterHolds.store(1);
    struct sigaction action {};
    action.sa_handler = OnEndingSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGTERM})
        sigaction(sig, &action, nullptr);
}
