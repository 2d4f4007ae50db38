// A long single call handed to another thread while the window goes on handling its events.
#include <gtest/gtest.h>

#include <QTimer>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "runtime/EventPump.h"

TEST(RunLettingEventsRun, TimersFireWhileTheWorkRunsAndItsFailureComesBack) {
    std::atomic<bool> timerFired = false;
    QTimer::singleShot(0, [&] { timerFired = true; });
    bool sawTheTimer = false;
    // The work ends once the timer has fired, or after ten seconds when events stood still.
    RunLettingEventsRun([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!timerFired && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        sawTheTimer = timerFired;
    });
    EXPECT_TRUE(sawTheTimer);

    EXPECT_THROW(RunLettingEventsRun([] { throw std::runtime_error("the table is damaged"); }),
                 std::runtime_error);
}
