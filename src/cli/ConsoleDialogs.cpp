#include "ConsoleDialogs.h"

#include <cstdio>

namespace {

// A cause on one line: drivers' messages may hold line breaks.
QString oneLine(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text.trimmed();
}

}  // namespace

void ConsoleDialogs::failure(QWidget*, const QString& cause, const QString&) {
    ++failures_;
    if (firstCause_.isEmpty())
        firstCause_ = oneLine(cause);
    std::fprintf(stderr, "morvane-transfer: %s: %s\n", qPrintable(table_),
                 qPrintable(oneLine(cause)));
}

bool ConsoleDialogs::showBox(QWidget*, const Box& box) {
    if (box.buttons == Buttons::YesNo)
        return overwrite_;
    std::fprintf(stderr, "morvane-transfer: %s\n", qPrintable(oneLine(box.text)));
    return true;
}

QString ConsoleDialogs::askText(QWidget*, const QString&, const QString&, const QString&) {
    return {};
}

QString ConsoleDialogs::askFolder(QWidget*, const QString&, const QString&) {
    return {};
}
