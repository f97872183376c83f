#include "interrupt.h"

#include <atomic>

namespace {

static_assert(std::atomic<int>::is_always_lock_free, "the flag is set from signal handlers");
std::atomic<int> pendingSignal{0};
std::atomic<int> requested{0};
std::atomic<int> holds{0};

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
    holds.fetch_sub(1);
}
