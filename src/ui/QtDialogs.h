#pragma once

#include <functional>

#include "Dialogs.h"

// The dialogs service on real Qt dialogs.
class QtDialogs : public Dialogs {
  public:
    explicit QtDialogs(std::function<QString()> applicationTitle);

    void message(QWidget* owner, const QString& text) override;
    bool question(QWidget* owner, const QString& text, const QString& title) override;
    QString input(QWidget* owner, const QString& prompt, const QString& defaultText) override;
    QString chooseFolder(QWidget* owner, const QString& title, const QString& startFolder) override;
    void error(QWidget* owner, const QString& text) override;
    void unhandled(QWidget* owner, const QString& text) override;

  private:
    std::function<QString()> applicationTitle_;
};
