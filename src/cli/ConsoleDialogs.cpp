#include "ConsoleDialogs.h"

#include "runtime/OneLine.h"

QStringList ConsoleDialogs::takeFailures() {
    return std::exchange(failures_, {});
}

void ConsoleDialogs::failure(QWidget*, const QString& cause, const QString&) {
    failures_ << oneLine(cause);
}

bool ConsoleDialogs::showBox(QWidget*, const Box& box) {
    if (box.buttons == Buttons::YesNo)
        return overwrite_;
    failures_ << oneLine(box.text);
    return true;
}

QString ConsoleDialogs::askText(QWidget*, const QString&, const QString&, const QString&) {
    return {};
}

QString ConsoleDialogs::askFolder(QWidget*, const QString&, const QString&) {
    return {};
}
