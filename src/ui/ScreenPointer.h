#pragma once

#include <QCursor>
#include <optional>

class QWidget;

// The mouse pointer of a screen: default (0), hourglass (11) or the screen's custom icon (99).
class ScreenPointer {
  public:
    enum : int { Default = 0, Hourglass = 11, Custom = 99 };

    explicit ScreenPointer(QWidget* screen) : screen_(screen) {}

    int value() const { return value_; }
    void set(int value);
    // Loads a Windows cursor file as the custom icon; throws when it is no cursor.
    void loadCustomIcon(const QString& cursorFile);
    bool hasCustomIcon() const { return custom_.has_value(); }

  private:
    QWidget* screen_;
    int value_ = Default;
    std::optional<QCursor> custom_;
};

// Sets a screen's pointer to the hourglass for as long as it lives, then back to the default.
class HourglassScope {
  public:
    explicit HourglassScope(ScreenPointer& pointer) : pointer_(pointer) {
        pointer_.set(ScreenPointer::Hourglass);
    }
    ~HourglassScope() { pointer_.set(ScreenPointer::Default); }
    HourglassScope(const HourglassScope&) = delete;
    HourglassScope& operator=(const HourglassScope&) = delete;

  private:
    ScreenPointer& pointer_;
};
