#pragma once

#include <QString>
#include <QStringList>

#include "QtPrinters.h"

#include <deque>
#include <vector>

#include "ui/Dialogs.h"

// A dialogs service that records every call and answers from a script: no window ever opens.
class ScriptedDialogs : public Dialogs {
  public:
    struct Call {
        QString kind;  // message, question, input, folder, error, unhandled
        QString title;
        QString text;
        QString extra;  // the default text of an input box, the start of a folder chooser
    };

    explicit ScriptedDialogs(QString applicationTitle = QStringLiteral("Morvane Conversion"))
        : applicationTitle_(std::move(applicationTitle)) {}

    void answerQuestion(bool yes) { questions_.push_back(yes); }
    void answerInput(const QString& text) { inputs_.push_back(text); }
    void answerFolder(const QString& folder) { folders_.push_back(folder); }

    const std::vector<Call>& calls() const { return calls_; }
    QStringList texts(const QString& kind) const;
    void clear() { calls_.clear(); }

    void message(QWidget* owner, const QString& text) override;
    bool question(QWidget* owner, const QString& text, const QString& title) override;
    QString input(QWidget* owner, const QString& prompt, const QString& defaultText) override;
    QString chooseFolder(QWidget* owner, const QString& title, const QString& startFolder) override;
    void error(QWidget* owner, const QString& text) override;
    void unhandled(QWidget* owner, const QString& text) override;

  private:
    QString applicationTitle_;
    std::vector<Call> calls_;
    std::deque<bool> questions_;
    std::deque<QString> inputs_;
    std::deque<QString> folders_;
};
