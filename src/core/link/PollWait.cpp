#include "link/PollWait.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>

bool WaitReady(int fd, short events, PollClock::time_point deadline, const std::function<void()> &between,
               int sliceMs)
{
    if (between) between();
    for (;;) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - PollClock::now()).count();
        const bool sliced = between && left > sliceMs;
        const auto wait = sliced ? sliceMs : std::max<decltype(left)>(left, 0);
        pollfd p{fd, events, 0};
        int rc = ::poll(&p, 1, static_cast<int>(wait));
        if (rc < 0 && errno == EINTR) continue;
        if (rc == 0 && sliced) {
            between();
            continue;
        }
        if (rc <= 0) return false;
        if (p.revents & (POLLERR | POLLNVAL)) return false;
        if (p.revents & events) return true;
        return false; // POLLHUP without data
    }
}
