#pragma once

#include "runtime/Dialogs.h"

// The dialogs service on real Qt dialogs.
class QtDialogs : public Dialogs {
  protected:
    bool showBox(QWidget* owner, const Box& box) override;
    QString askText(QWidget* owner, const QString& title, const QString& prompt,
                    const QString& defaultText) override;
    QString askFolder(QWidget* owner, const QString& title, const QString& startFolder) override;
};
