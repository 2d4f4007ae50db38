#include "ScreenFonts.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace ScreenFonts {

namespace {
QFont arialBold(double points)
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPointSizeF(points);
    return font;
}
}  // namespace

QFont text() { return arialBold(9); }

void centreOnScreen(QWidget& window)
{
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
}
QFont button() { return arialBold(11.25); }

}  // namespace ScreenFonts
