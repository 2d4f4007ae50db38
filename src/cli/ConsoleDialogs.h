#pragma once

#include <QString>
#include <QStringList>

#include "runtime/Dialogs.h"

// The dialogs service of the command line: nothing is shown in a window. The failures the
// operations report are kept, one line each, for the command to tell once where they belong;
// the overwrite question is answered by the command line's own choice.
class ConsoleDialogs : public Dialogs {
  public:
    explicit ConsoleDialogs(bool overwrite) : overwrite_(overwrite) {}

    // The failures reported since the last call, oldest first.
    QStringList takeFailures();

    void failure(QWidget* owner, const QString& cause, const QString& report) override;

  protected:
    bool showBox(QWidget* owner, const Box& box) override;
    QString askText(QWidget* owner, const QString& title, const QString& prompt,
                    const QString& defaultText) override;
    QString askFolder(QWidget* owner, const QString& title, const QString& startFolder) override;

  private:
    bool overwrite_;
    QStringList failures_;
};
