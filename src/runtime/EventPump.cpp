#include "EventPump.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <chrono>
#include <cstdlib>
#include <future>

namespace {

bool programEnding = false;
// Each thread that waits lets its own events run (tables copied side by side).
thread_local QElapsedTimer sinceLastTime;
}  // namespace

void LetEventsRunNow() {
    if (sinceLastTime.isValid() && sinceLastTime.elapsed() < 15)
        return;
    QCoreApplication::processEvents();
    // A screen closed meanwhile: the operation does not go on.
    if (programEnding)
        std::_Exit(0);
    sinceLastTime.start();
}

void LetEventsRun() {
    // Called per field of every row: the clock is read only on every 32nd call.
    static thread_local unsigned calls = 0;
    if (++calls % 32 == 0 || !sinceLastTime.isValid())
        LetEventsRunNow();
}

void RunLettingEventsRun(const std::function<void()>& work) {
    std::future<void> done = std::async(std::launch::async, work);
    while (done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        LetEventsRunNow();
    done.get();
}

void RequestProgramEnd() {
    programEnding = true;
}
