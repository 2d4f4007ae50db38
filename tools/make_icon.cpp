// Writes the application icon as a PNG file, for the desktop's menus.
#include <QGuiApplication>

#include <cstdio>

#include "ui/AppIcon.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_icon SIZE OUTPUT.png\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    return AppIcon::image(std::atoi(argv[1])).save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
