#include "processguards.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

void OccupyClosedStandardDescriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1)
            continue;
        // The lowest free descriptor is the one closed.
        const int opened = ::open("/dev/null", O_RDONLY);
        if (opened != -1 && opened != fd)
            ::close(opened);
    }
}

void FailWritesPastSizeLimit() {
    std::signal(SIGXFSZ, SIG_IGN);
}
