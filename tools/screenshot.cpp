// Shows the program's screens in a real window and saves each as a PNG file, for the README.
// Run it under an X server (Xvfb): screenshot OUTPUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QWindow>

#include <cstdio>

#include "app/Form1.h"
#include "app/Runtime.h"
#include "app/Settings.h"
#include "ui/QtDialogs.h"

namespace {

bool save(QWidget& window, const QString& file)
{
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

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshot OUTPUT_FOLDER\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(output);
    QTemporaryDir home;
    Settings settings(home.filePath(QStringLiteral("Quellory.ini")));
    const QString samples = QCoreApplication::applicationDirPath() + QStringLiteral("/../src/Samples");
    settings.write(SettingKeys::kParadoxFolder, QDir::cleanPath(samples));
    settings.write(SettingKeys::kDataSourceName, QStringLiteral("MorvaneDemo"));
    Runtime* runtime = nullptr;
    QtDialogs dialogs([&runtime] { return runtime->applicationTitle; });
    Runtime shared{QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../src")),
                   QString(), dialogs, settings, [] { return 1; }, [](const QUrl&) {}};
    runtime = &shared;

    Form1 form1(shared);
    form1.Form_Load();
    form1.showCentred();
    if (!save(form1, output + QStringLiteral("/connection-screen.png")))
        return 1;
    return 0;
}
