// Shows the program's screens in a real window and saves each as a PNG file, for the README.
// Run it under an X server (Xvfb): screenshot OUTPUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QWindow>

#include <cstdio>

#include "app/Shell.h"
#include "connect/Form1.h"
#include "data/Settings.h"
#include "tables/Form2.h"
#include "ui/QtDialogs.h"
#include "ui/Runtime.h"
#include "ui/TableList.h"

namespace {

bool save(QWidget& window, const QString& file) {
    window.raise();
    window.activateWindow();
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(25);
    }
    QScreen* screen = window.screen();
    const QPixmap shot = screen->grabWindow(window.winId());
    return !shot.isNull() && shot.save(file);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshot OUTPUT_FOLDER\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(output);
    QTemporaryDir home;
    // A data source of the run's own: a fresh SQLite database.
    const QString odbcIni = home.filePath(QStringLiteral("odbc.ini"));
    QFile ini(odbcIni);
    if (!ini.open(QIODevice::WriteOnly))
        return 1;
    ini.write(QStringLiteral("[MorvaneDemo]\nDriver = "
                             "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\nDatabase = %1\n")
                  .arg(home.filePath(QStringLiteral("demo.sqlite")))
                  .toUtf8());
    ini.close();
    qputenv("ODBCINI", odbcIni.toLocal8Bit());
    Settings settings(home.filePath(QStringLiteral("Quellory.ini")));
    const QString samples =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../src/Samples");
    settings.write(SettingKeys::kParadoxFolder, QDir::cleanPath(samples));
    settings.write(SettingKeys::kDataSourceName, QStringLiteral("MorvaneDemo"));
    QtDialogs dialogs;
    Runtime shared{
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../src")),
        dialogs,
        settings,
        [] { return 1; },
        [](const QUrl&) {},
        [] {},
        [] {}};

    Shell shell(shared);
    Form1& form1 = shell.connectionScreen();
    form1.Form_Load();
    form1.showScreen();
    if (!save(form1, output + QStringLiteral("/connection-screen.png")))
        return 1;
    // The tables screen after one sample table has been sent.
    form1.PushButton2_Click();
    Form2& form2 = shell.tablesScreen();
    form2.List2->setListIndex(0);
    form2.List2->setEntrySelected(0, true);
    form2.PushButton4_Click();
    form2.List2->setEntrySelected(1, true);
    if (!save(form2, output + QStringLiteral("/tables-screen.png")))
        return 1;
    return 0;
}
