#pragma once

#include <QString>
#include <QStringList>

#include "QtPrinters.h"

#include <deque>
#include <functional>
#include <vector>

#include "runtime/Dialogs.h"

// A dialogs service that records every box as the program asks for it and answers from a
// script: no window ever opens.
class ScriptedDialogs : public Dialogs {
  public:
    struct Call {
        QString kind;  // message, question, input, folder, error, unhandled
        QString title;
        QString text;
        QString extra;  // the default text of an input box, the start of a folder chooser
    };

    void answerQuestion(bool yes) { questions_.push_back(yes); }
    // Runs while each question is up, to look at the screen behind it.
    std::function<void()> whileAsking;
    void answerInput(const QString& text) { inputs_.push_back(text); }
    void answerFolder(const QString& folder) { folders_.push_back(folder); }

    const std::vector<Call>& calls() const { return calls_; }
    QStringList texts(const QString& kind) const;
    void clear() { calls_.clear(); }

  protected:
    bool showBox(QWidget* owner, const Box& box) override;
    QString askText(QWidget* owner, const QString& title, const QString& prompt,
                    const QString& defaultText) override;
    QString askFolder(QWidget* owner, const QString& title, const QString& startFolder) override;

  private:
    std::vector<Call> calls_;
    std::deque<bool> questions_;
    std::deque<QString> inputs_;
    std::deque<QString> folders_;
};
