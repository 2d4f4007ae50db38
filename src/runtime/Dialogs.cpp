#include "Dialogs.h"

void Dialogs::message(QWidget* owner, const QString& text) {
    showBox(owner, {applicationTitle_, text, Icon::None, Buttons::Ok});
}

bool Dialogs::question(QWidget* owner, const QString& text, const QString& title) {
    return showBox(owner, {title, text, Icon::None, Buttons::YesNo});
}

QString Dialogs::input(QWidget* owner, const QString& prompt, const QString& defaultText) {
    return askText(owner, applicationTitle_, prompt, defaultText);
}

QString Dialogs::chooseFolder(QWidget* owner, const QString& title, const QString& startFolder) {
    return askFolder(owner, title, startFolder);
}

void Dialogs::error(QWidget* owner, const QString& text) {
    showBox(owner, {QStringLiteral("Application Error"), text, Icon::Warning, Buttons::Ok});
}

void Dialogs::unhandled(QWidget* owner, const QString& text) {
    showBox(owner, {applicationTitle_, text, Icon::Critical, Buttons::Ok});
}
