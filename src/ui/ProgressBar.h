#pragma once

#include <QProgressBar>

// A progress bar that shows a value from 0 to 100 and a text of its own.
class ProgressBar : public QProgressBar {
    Q_OBJECT
  public:
    ProgressBar(const QString& objectName, QWidget* parent);

    void setPercent(double percent);
    double percent() const { return percent_; }
    void setCaption(const QString& caption);
    QString caption() const { return format(); }

  private:
    double percent_ = 0;
};
