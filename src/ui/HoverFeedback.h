#pragma once

#include <QObject>

class PushButton;
class TableList;
class ScreenPointer;
class QWidget;

// The hand over push buttons and the normal pointer over the rest of a screen, never replacing
// the hourglass of a running operation.
class HoverFeedback : public QObject {
    Q_OBJECT
  public:
    HoverFeedback(ScreenPointer& pointer, QObject* parent);

    void showHandOver(PushButton* button);
    void showDefaultOver(QWidget* widget);
    void showDefaultOver(TableList* list);
    // Widgets without a hover handler: moving over them leaves the pointer as it was.
    void leavePointerOver(QWidget* widget);

    // The two hover rules.
    static void moveOverButton(ScreenPointer& pointer);
    static void moveOverScreen(ScreenPointer& pointer);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    ScreenPointer& pointer_;
};
