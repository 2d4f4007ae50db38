#pragma once

#include <QPushButton>

// The push button of both screens: shows its caption, reports clicks and, for the hover
// feedback, every mouse movement over it.
class PushButton : public QPushButton {
    Q_OBJECT
  public:
    PushButton(const QString& objectName, const QString& caption, QWidget* parent);

  signals:
    void mouseMoved();

  protected:
    void mouseMoveEvent(QMouseEvent* event) override;
};
