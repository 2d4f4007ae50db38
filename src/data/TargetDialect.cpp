#include "TargetDialect.h"

#include <QList>

#include <limits>

#include "ado/Connection.h"
#include "ado/Cursor.h"

namespace TargetDialect {

Dbms dbmsOf(const QString& dbmsName) {
    if (dbmsName.contains(QStringLiteral("Anywhere"), Qt::CaseInsensitive))
        return Dbms::SqlAnywhere;  // "SQL Anywhere", "Adaptive Server Anywhere"
    if (dbmsName.startsWith(QStringLiteral("PostgreSQL"), Qt::CaseInsensitive))
        return Dbms::PostgreSQL;
    if (dbmsName.startsWith(QStringLiteral("SQLite"), Qt::CaseInsensitive))
        return Dbms::SQLite;
    return Dbms::Other;
}

QString nameTooLong(const QString& what, const QString& name, int limit, Dbms dbms) {
    if (limit <= 0)
        return {};
    // PostgreSQL cuts a longer name at 63 bytes without a word; SQL Anywhere takes 128 bytes.
    const bool inBytes = dbms == Dbms::PostgreSQL || dbms == Dbms::SqlAnywhere;
    const qsizetype length = inBytes ? name.toUtf8().size() : name.toUcs4().size();
    if (length <= limit)
        return {};
    const QString unit = inBytes ? QStringLiteral("bytes") : QStringLiteral("characters");
    return QStringLiteral("The %1 name \"%2\" is %3 %4 long; the data source allows %5 %4.")
        .arg(what, name)
        .arg(length)
        .arg(unit)
        .arg(limit);
}

QString defaultSchema(ado::Connection& connection, const ado::DataSourceInfo& info) {
    switch (dbmsOf(info.dbmsName)) {
        case Dbms::PostgreSQL: {
            // The first schema of the search path that exists: where CREATE TABLE puts a table.
            const auto rows = connection.Query(QStringLiteral("SELECT current_schema()"));
            return rows->Eof() ? QString()
                               : QString::fromStdString(rows->Fields(0).Value().toText());
        }
        case Dbms::SqlAnywhere:
            return info.userName;  // a user's own tables come first, and new ones are its own
        case Dbms::SQLite:
        case Dbms::Other:
            break;
    }
    return {};
}

bool sameSchema(const QString& a, const QString& b, Dbms dbms) {
    // SQL Anywhere's user names ignore letter case; PostgreSQL's schema names are exact.
    return a.compare(b, dbms == Dbms::SqlAnywhere ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
}

ReadBack readBack(Dbms dbms, const QString& column, ado::ValueType type, bool numeric) {
    const bool doubles =
        numeric || type == ado::ValueType::Double || type == ado::ValueType::Decimal;
    if (dbms == Dbms::SQLite && doubles)
        // SQLite's driver gives a REAL with 15 digits, which may not name it exactly; its own
        // printf gives 17.
        return {QStringLiteral("CASE typeof(%1) WHEN 'real' THEN printf('%!.17g', %1) ELSE %1 END")
                    .arg(column),
                ado::ValueType::Text, true};
    return {column, numeric ? ado::ValueType::Decimal : type, false};
}

void readRows(ado::Connection& connection, Dbms dbms, const QString& table,
              const QStringList& columns, std::vector<ado::ValueType> readAs,
              const std::function<void(const std::vector<ado::Variant>&)>& row) {
    constexpr int kRowsAtATime = 10000;
    const QString select = QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) +
                           QStringLiteral(" FROM ") + table;
    const auto handAll = [&](ado::RecordSet& rows) {
        long long handed = 0;
        for (; !rows.Eof(); rows.MoveNext(), ++handed)
            row(rows.CurrentRow());
        return handed;
    };
    if (dbms == Dbms::SQLite) {
        // In the order of the rowid every table made here has, a page after the last one read.
        readAs.insert(readAs.begin(), ado::ValueType::Integer);
        std::vector<ado::Variant> values;
        for (long long last = std::numeric_limits<long long>::min();;) {
            const auto page = connection.Query(
                QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid > %3 ORDER BY rowid LIMIT %4")
                    .arg(columns.join(QStringLiteral(", ")), table)
                    .arg(last)
                    .arg(kRowsAtATime),
                readAs);
            long long handed = 0;
            for (; !page->Eof(); page->MoveNext(), ++handed) {
                const std::vector<ado::Variant>& current = page->CurrentRow();
                last = current.front().asInteger();
                values.assign(current.begin() + 1, current.end());
                row(values);
            }
            if (handed < kRowsAtATime)
                return;
        }
    }
    if (dbms != Dbms::PostgreSQL) {
        handAll(*connection.Query(select, readAs));
        return;
    }
    connection.BeginTrans();
    try {
        connection.Execute(QStringLiteral("DECLARE morvane_check NO SCROLL CURSOR FOR ") + select);
        while (handAll(*connection.Query(
                   QStringLiteral("FETCH FORWARD %1 FROM morvane_check").arg(kRowsAtATime),
                   readAs)) == kRowsAtATime) {
        }
        connection.RollbackTrans();
    } catch (...) {
        try {
            connection.RollbackTrans();
        } catch (...) {
        }
        throw;
    }
}

}  // namespace TargetDialect
