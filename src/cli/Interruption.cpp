#include "Interruption.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace Interruption {

namespace {

std::atomic<int> caught{0};

void onSignal(int number) {
    int expected = 0;
    // The second signal: the user does not want to wait for the rollback.
    if (!caught.compare_exchange_strong(expected, number))
        ::_exit(128 + number);
}

}  // namespace

void install() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Calls into the drivers go on where the signal met them; the transfer stops between rows.
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool requested() {
    return caught.load() != 0;
}

int exitStatus() {
    return 128 + caught.load();
}

}  // namespace Interruption
