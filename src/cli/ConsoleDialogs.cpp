#include "ConsoleDialogs.h"

namespace {

// A cause on one line: drivers' messages may hold line breaks.
QString oneLine(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text.trimmed();
}

}  // namespace

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
