#include "ColumnCasts.h"

QString ColumnCasts::add(const QString& option) {
    const qsizetype dot = option.indexOf(QLatin1Char('.'));
    const qsizetype equals = option.indexOf(QLatin1Char('='), dot + 1);
    if (dot <= 0 || equals < 0)
        return QStringLiteral("--cast takes TABLE.COLUMN=TYPE, not ") + option;
    Cast cast{option.left(dot), option.mid(dot + 1, equals - dot - 1),
              option.mid(equals + 1).trimmed()};
    if (cast.column.isEmpty() || cast.type.isEmpty())
        return QStringLiteral("--cast takes TABLE.COLUMN=TYPE, not ") + option;
    for (const Cast& earlier : casts_)
        if (earlier.table.compare(cast.table, Qt::CaseInsensitive) == 0 &&
            earlier.column.compare(cast.column, Qt::CaseInsensitive) == 0)
            return QStringLiteral("--cast names ") + cast.table + QLatin1Char('.') + cast.column +
                   QStringLiteral(" twice");
    casts_.push_back(std::move(cast));
    return {};
}

std::optional<QString> ColumnCasts::typeOf(const QString& table, const QString& column) const {
    std::optional<QString> type;
    for (const Cast& cast : casts_) {
        if (cast.column.compare(column, Qt::CaseInsensitive) != 0)
            continue;
        if (cast.table.compare(table, Qt::CaseInsensitive) == 0)
            return cast.type;
        if (cast.table == QLatin1String("*"))
            type = cast.type;
    }
    return type;
}
