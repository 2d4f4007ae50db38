#pragma once

#include <QFont>
#include <QRect>

class QGroupBox;
class QString;
class QWidget;

// The fonts and the design grid of the screens: positions are given in twips, 15 to a pixel at
// 96 dots per inch.
namespace ScreenFonts {

QFont text();    // frames, labels, boxes and list entries: Arial bold 9 pt
QFont button();  // push buttons: Arial bold 11.25 pt

constexpr int pixels(int twips) {
    return (twips * 2 + 15) / 30;
}
inline QRect fromTwips(int left, int top, int width, int height) {
    return QRect(pixels(left), pixels(top), pixels(width), pixels(height));
}

// A frame (group box) of the screens, with its caption as its accessible name.
QGroupBox* makeFrame(const QString& objectName, const QString& caption, QWidget* parent);

// Places a window in the middle of the screen's free area.
void centreOnScreen(QWidget& window);

}  // namespace ScreenFonts
