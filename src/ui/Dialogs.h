#pragma once

#include <QString>

class QWidget;

// Every message box, question, input box and folder chooser of the program goes through this
// service, so that tests can answer them.
class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // A message with an OK button, no icon and the application title.
    virtual void message(QWidget* owner, const QString& text) = 0;
    // Yes (true) or No under the given title.
    virtual bool question(QWidget* owner, const QString& text, const QString& title) = 0;
    // The typed text for OK, "" for Cancel; titled with the application title.
    virtual QString input(QWidget* owner, const QString& prompt, const QString& defaultText) = 0;
    // A folder, or "" when the user cancels.
    virtual QString chooseFolder(QWidget* owner, const QString& title,
                                 const QString& startFolder) = 0;
    // The uniform error report: title "Application Error", warning icon, OK.
    virtual void error(QWidget* owner, const QString& text) = 0;
    // A failure no trap caught: told plainly, and the program goes on.
    virtual void unhandled(QWidget* owner, const QString& text) = 0;
};
