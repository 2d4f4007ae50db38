#include "HeldFailures.h"

#include <utility>

HeldFailures::HeldFailures(Dialogs& shown) : shown_(shown) {
    setApplicationTitle(shown.applicationTitle());
}

QStringList HeldFailures::takeHeld() {
    return std::exchange(held_, {});
}

void HeldFailures::failure(QWidget* owner, const QString& cause, const QString& report) {
    if (holding_)
        held_ << cause;
    else
        shown_.failure(owner, cause, report);
}

bool HeldFailures::showBox(QWidget* owner, const Box& box) {
    return showOn(shown_, owner, box);
}

QString HeldFailures::askText(QWidget* owner, const QString& title, const QString& prompt,
                              const QString& defaultText) {
    return askTextOn(shown_, owner, title, prompt, defaultText);
}

QString HeldFailures::askFolder(QWidget* owner, const QString& title, const QString& startFolder) {
    return askFolderOn(shown_, owner, title, startFolder);
}
