#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class Dialogs;
class Settings;

// What the whole process shares: where the program lives, the dialogs and settings services,
// the two outside effects the start-up may cause (a random draw and opening a web page), the
// program's end when a screen closes, and its end at once when a data source that does not
// answer keeps it from ending otherwise: injectable so that tests cause none of them.
struct Runtime {
    QString applicationFolder;
    Dialogs& dialogs;
    Settings& settings;
    std::function<int()> drawOneToHundred;
    std::function<void(const QUrl&)> openUrl;
    std::function<void()> endProgram;
    std::function<void()> endProgramNow;
};

// The draw of the start-up: seeded from the seconds since midnight, 1 to 100.
int drawOneToHundredFromClock();
