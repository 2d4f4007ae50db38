#include "QtDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

namespace {

QMessageBox::Icon qtIcon(Dialogs::Icon icon) {
    switch (icon) {
        case Dialogs::Icon::Warning:
            return QMessageBox::Warning;
        case Dialogs::Icon::Critical:
            return QMessageBox::Critical;
        case Dialogs::Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

bool QtDialogs::showBox(QWidget* owner, const Box& box) {
    const QMessageBox::StandardButtons buttons =
        box.buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                      : QMessageBox::StandardButtons(QMessageBox::Ok);
    QMessageBox shown(qtIcon(box.icon), box.title, box.text, buttons, owner);
    const int answer = shown.exec();
    return answer == QMessageBox::Yes || answer == QMessageBox::Ok;
}

QString QtDialogs::askText(QWidget* owner, const QString& title, const QString& prompt,
                           const QString& defaultText) {
    bool accepted = false;
    const QString text =
        QInputDialog::getText(owner, title, prompt, QLineEdit::Normal, defaultText, &accepted);
    return accepted ? text : QString();
}

QString QtDialogs::askFolder(QWidget* owner, const QString& title, const QString& startFolder) {
    const QString start = QFileInfo(startFolder).isDir() ? startFolder : QString();
    const QString chosen = QFileDialog::getExistingDirectory(
        owner, title, start, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (chosen.isEmpty())
        return {};
    // The root keeps its separator; every other folder comes back without one.
    const QString clean = QDir::cleanPath(chosen);
    return clean.isEmpty() ? QStringLiteral("/") : clean;
}
