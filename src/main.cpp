#include <QApplication>
#include <QDesktopServices>

#include "app/Form1.h"
#include "app/Runtime.h"
#include "app/Settings.h"
#include "ui/QtDialogs.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    Settings settings(Settings::defaultPath());
    QtDialogs dialogs;
    Runtime shared{QCoreApplication::applicationDirPath(), dialogs, settings,
                   drawOneToHundredFromClock,
                   [](const QUrl& url) { QDesktopServices::openUrl(url); }};
    Form1 form1(shared);
    form1.start();
    return QApplication::exec();
}
