#include "HoverFeedback.h"

#include <QEvent>
#include <QWidget>

#include "ScreenPointer.h"
#include "ui/PushButton.h"
#include "ui/TableList.h"

namespace {
const char* const kLeavePointer = "morvaneLeavesPointer";
}

HoverFeedback::HoverFeedback(ScreenPointer& pointer, QObject* parent)
    : QObject(parent), pointer_(pointer) {}

void HoverFeedback::moveOverButton(ScreenPointer& pointer) {
    if (pointer.value() != ScreenPointer::Hourglass)
        pointer.set(ScreenPointer::Custom);
}

void HoverFeedback::moveOverScreen(ScreenPointer& pointer) {
    if (pointer.value() != ScreenPointer::Hourglass)
        pointer.set(ScreenPointer::Default);
}

void HoverFeedback::showHandOver(PushButton* button) {
    connect(button, &PushButton::mouseMoved, this, [this] { moveOverButton(pointer_); });
}

void HoverFeedback::showDefaultOver(QWidget* widget) {
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
}

void HoverFeedback::showDefaultOver(TableList* list) {
    connect(list, &TableList::mouseMoved, this, [this] { moveOverScreen(pointer_); });
}

void HoverFeedback::leavePointerOver(QWidget* widget) {
    widget->setMouseTracking(true);
    widget->setProperty(kLeavePointer, true);
    widget->installEventFilter(this);
}

bool HoverFeedback::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseMove)
        return false;
    // A move over a widget without a handler must not reach its container's handler.
    if (watched->property(kLeavePointer).toBool())
        return true;
    moveOverScreen(pointer_);
    return false;
}
