#include "stopsignal.h"

#include <csignal>

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
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

bool StopRequested() {
    return stopRequested != 0;
}
