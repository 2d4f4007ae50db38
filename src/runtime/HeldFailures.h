#pragma once

#include <QStringList>

#include "Dialogs.h"

// Passes every box on to another dialogs service, except the failures reported while it holds
// them: a run the user stopped tells what the stop left in one box, not a box per failure.
class HeldFailures : public Dialogs {
  public:
    explicit HeldFailures(Dialogs& shown);

    // From now on, failures are kept rather than shown.
    void hold() { holding_ = true; }
    // The causes of the failures kept so far, and they are forgotten.
    QStringList takeHeld();

    void failure(QWidget* owner, const QString& cause, const QString& report) override;

  protected:
    bool showBox(QWidget* owner, const Box& box) override;
    QString askText(QWidget* owner, const QString& title, const QString& prompt,
                    const QString& defaultText) override;
    QString askFolder(QWidget* owner, const QString& title, const QString& startFolder) override;

  private:
    Dialogs& shown_;
    bool holding_ = false;
    QStringList held_;
};
