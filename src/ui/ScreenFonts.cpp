#include "ScreenFonts.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace ScreenFonts {

namespace {
QFont arialBold(double points) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPointSizeF(points);
    return font;
}
}  // namespace

QFont text() {
    return arialBold(9);
}

QGroupBox* makeFrame(const QString& objectName, const QString& caption, QWidget* parent) {
    auto* frame = new QGroupBox(caption, parent);
    frame->setObjectName(objectName);
    frame->setAccessibleName(caption);
    frame->setFont(text());
    return frame;
}

void centreOnScreen(QWidget& window) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
}
QFont button() {
    return arialBold(11.25);
}

}  // namespace ScreenFonts
