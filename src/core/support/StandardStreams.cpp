#include "support/StandardStreams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool wasClosed[3] = {false, false, false};

} // namespace

void OpenClosedStandardStreams()
{
    for (int fd = 0; fd < 3; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open returns the lowest free descriptor, which is fd itself since
        // every lower one is open by now.
        const int opened = open("/dev/null", O_RDWR);
        if (opened < 0) continue;
        if (opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
        wasClosed[fd] = true;
    }
}

bool StandardStreamWasClosed(int fd)
{
    return fd >= 0 && fd < 3 && wasClosed[fd];
}
