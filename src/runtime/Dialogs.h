#pragma once

#include <QString>

class QWidget;

// Every message box, question, input box and folder chooser of the program goes through this
// service, so that tests can answer them. What each kind of box looks like (its title, icon and
// buttons) is decided here; a subclass only shows what it is given.
class Dialogs {
  public:
    enum class Icon { None, Warning, Critical };
    enum class Buttons { Ok, YesNo };
    struct Box {
        QString title;
        QString text;
        Icon icon;
        Buttons buttons;
    };

    virtual ~Dialogs() = default;

    // The title of messages and input boxes; set by the start-up.
    void setApplicationTitle(const QString& title) { applicationTitle_ = title; }
    const QString& applicationTitle() const { return applicationTitle_; }

    // A message with an OK button, no icon and the application title.
    void message(QWidget* owner, const QString& text);
    // Yes (true) or No under the given title, no icon.
    bool question(QWidget* owner, const QString& text, const QString& title);
    // The typed text for OK, "" for Cancel; titled with the application title.
    QString input(QWidget* owner, const QString& prompt, const QString& defaultText);
    // A folder, or "" when the user cancels.
    QString chooseFolder(QWidget* owner, const QString& title, const QString& startFolder);
    // The uniform error report: title "Application Error", warning icon, OK.
    void error(QWidget* owner, const QString& text);
    // A failure no trap caught: told plainly under the application title, and the program goes on.
    void unhandled(QWidget* owner, const QString& text);
    // A failure an error trap caught: `cause` says what failed, `report` is the uniform report,
    // shown by error() unless a caller without boxes tells the cause its own way.
    virtual void failure(QWidget* owner, const QString& /*cause*/, const QString& report) {
        error(owner, report);
    }

  protected:
    // For a service that passes boxes on to another one.
    static bool showOn(Dialogs& other, QWidget* owner, const Box& box) {
        return other.showBox(owner, box);
    }
    static QString askTextOn(Dialogs& other, QWidget* owner, const QString& title,
                             const QString& prompt, const QString& defaultText) {
        return other.askText(owner, title, prompt, defaultText);
    }
    static QString askFolderOn(Dialogs& other, QWidget* owner, const QString& title,
                               const QString& startFolder) {
        return other.askFolder(owner, title, startFolder);
    }

    // Shows a box and waits; true for OK or Yes.
    virtual bool showBox(QWidget* owner, const Box& box) = 0;
    virtual QString askText(QWidget* owner, const QString& title, const QString& prompt,
                            const QString& defaultText) = 0;
    virtual QString askFolder(QWidget* owner, const QString& title, const QString& startFolder) = 0;

  private:
    QString applicationTitle_;
};
