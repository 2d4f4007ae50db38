#include "TestRuntime.h"

#include <QDir>

TestRuntime::TestRuntime()
    : settings(QString::fromStdString(home.file("config/Quellory/Quellory.ini"))),
      runtime{QString::fromStdString(home.file("app")),
              dialogs,
              settings,
              [this] { return draw; },
              [this](const QUrl& url) { openedUrls.push_back(url); },
              [this] { ++programEnds; },
              [this] { ++endedAtOnce; }} {
    QDir().mkpath(runtime.applicationFolder);
}
