#include "ProgressBar.h"

#include <algorithm>
#include <cmath>

ProgressBar::ProgressBar(const QString& objectName, QWidget* parent) : QProgressBar(parent) {
    setObjectName(objectName);
    setRange(0, 100);
    setValue(0);
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
}

void ProgressBar::setPercent(double percent) {
    percent_ = std::clamp(percent, 0.0, 100.0);
    const int shown = static_cast<int>(std::lround(percent_));
    if (shown != value())
        setValue(shown);
}

void ProgressBar::setCaption(const QString& caption) {
    setFormat(caption);
    setAccessibleName(caption);
}
