#include "processguards.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

bool OccupyClosedStandardDescriptors() {
    bool outputClosed = false;
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1)
            continue;
        outputClosed = outputClosed || fd == STDOUT_FILENO;
        // The lowest free descriptor is the one closed.
        const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened != -1 && opened != fd)
            ::close(opened);
    }
    return outputClosed;
}

void FailWritesPastSizeLimit() {
    std::signal(SIGXFSZ, SIG_IGN);
}
