#include "QtDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

QtDialogs::QtDialogs(std::function<QString()> applicationTitle)
    : applicationTitle_(std::move(applicationTitle)) {}

void QtDialogs::message(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, applicationTitle_(), text, QMessageBox::Ok, owner);
    box.exec();
}

bool QtDialogs::question(QWidget* owner, const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, owner);
    return box.exec() == QMessageBox::Yes;
}

QString QtDialogs::input(QWidget* owner, const QString& prompt, const QString& defaultText) {
    bool accepted = false;
    const QString text = QInputDialog::getText(owner, applicationTitle_(), prompt,
                                               QLineEdit::Normal, defaultText, &accepted);
    return accepted ? text : QString();
}

QString QtDialogs::chooseFolder(QWidget* owner, const QString& title, const QString& startFolder) {
    const QString start = QFileInfo(startFolder).isDir() ? startFolder : QString();
    const QString chosen = QFileDialog::getExistingDirectory(
        owner, title, start, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (chosen.isEmpty())
        return {};
    // The root keeps its separator; every other folder comes back without one.
    const QString clean = QDir::cleanPath(chosen);
    return clean.isEmpty() ? QStringLiteral("/") : clean;
}

void QtDialogs::error(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Application Error"), text,
                    QMessageBox::Ok, owner);
    box.exec();
}

void QtDialogs::unhandled(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::Critical, applicationTitle_(), text, QMessageBox::Ok, owner);
    box.exec();
}
