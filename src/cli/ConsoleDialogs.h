#pragma once

#include <QString>

#include "runtime/Dialogs.h"

// The dialogs service of the command line: nothing is shown in a window. Failures are written
// to standard error as one line each, with the table they belong to, and counted; the overwrite
// question is answered by the command line's own choice.
class ConsoleDialogs : public Dialogs {
  public:
    explicit ConsoleDialogs(bool overwrite) : overwrite_(overwrite) {}

    // The table that failures from now on belong to.
    void setTable(const QString& table) {
        table_ = table;
        firstCause_.clear();
    }
    int failures() const { return failures_; }
    // The cause of the first failure since the table was set, "" when none.
    const QString& firstCause() const { return firstCause_; }

    void failure(QWidget* owner, const QString& cause, const QString& report) override;

  protected:
    bool showBox(QWidget* owner, const Box& box) override;
    QString askText(QWidget* owner, const QString& title, const QString& prompt,
                    const QString& defaultText) override;
    QString askFolder(QWidget* owner, const QString& title, const QString& startFolder) override;

  private:
    bool overwrite_;
    QString table_;
    QString firstCause_;
    int failures_ = 0;
};
