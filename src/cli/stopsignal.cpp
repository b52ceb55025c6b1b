#include "stopsignal.h"

#include <csignal>
#include <initializer_list>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void onStopSignal(int) {
    stopRequested = 1;
}

} // namespace

void InstallStopHandlers() {
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // reads and writes in progress carry on
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal ignored from the start stays so: nohup ignores SIGHUP,
        // and a shell, SIGINT for a job it runs in the background.
        struct sigaction before = {};
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &action, nullptr);
    }
}

bool StopRequested() {
    return stopRequested != 0;
}

void KeepGoingWhenOutputCloses() {
    std::signal(SIGPIPE, SIG_IGN);
}
