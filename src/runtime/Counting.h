#pragma once

#include <QLocale>
#include <QString>

// Numbers as the program's messages write them, and a noun that agrees with its number:
// "1 row", "2 rows".
inline QString grouped(long long value) {
    return QLocale::c().toString(value);
}

inline QString counted(long long value, const char* one, const char* many) {
    return grouped(value) + QLatin1Char(' ') + QString::fromLatin1(value == 1 ? one : many);
}

inline QString rowsCounted(long long value) {
    return counted(value, "row", "rows");
}
