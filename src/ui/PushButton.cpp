#include "PushButton.h"

#include <QMouseEvent>

#include "ScreenFonts.h"

PushButton::PushButton(const QString& objectName, const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {
    setObjectName(objectName);
    setAccessibleName(caption);
    setFont(ScreenFonts::button());
    setMouseTracking(true);
    setAutoDefault(false);
}

void PushButton::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved();
    QPushButton::mouseMoveEvent(event);
    event->accept();  // the screen behind the button must not see the move
}
