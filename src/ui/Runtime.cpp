#include "Runtime.h"

#include <QTime>

#include <random>

int drawOneToHundredFromClock() {
    std::mt19937 generator(
        static_cast<unsigned>(QTime::currentTime().msecsSinceStartOfDay() / 1000));
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    return static_cast<int>(unit(generator) * 100) + 1;
}
