#include "EventPump.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdlib>

namespace {
bool programEnding = false;
}

void LetEventsRun()
{
    static QElapsedTimer sinceLastTime;
    if (sinceLastTime.isValid() && sinceLastTime.elapsed() < 15)
        return;
    QCoreApplication::processEvents();
    // A screen closed meanwhile: the operation does not go on.
    if (programEnding)
        std::_Exit(0);
    sinceLastTime.start();
}

void RequestProgramEnd()
{
    programEnding = true;
}
