#include <QApplication>
#include <QDesktopServices>

#include <cstdlib>

#include "app/Shell.h"
#include "data/Settings.h"
#include "ui/MainModule.h"
#include "ui/QtDialogs.h"
#include "ui/Runtime.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    Settings settings(Settings::defaultPath());
    QtDialogs dialogs;
    Runtime runtime{QCoreApplication::applicationDirPath(),
                    dialogs,
                    settings,
                    drawOneToHundredFromClock,
                    [](const QUrl& url) { QDesktopServices::openUrl(url); },
                    EndProgram,
                    [] { std::_Exit(1); }};
    Shell shell(runtime);
    shell.start();
    return QApplication::exec();
}
