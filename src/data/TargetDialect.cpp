#include "TargetDialect.h"

#include <QList>

#include <limits>
#include <stdexcept>

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
    return QStringLiteral("The ") + what + QStringLiteral(" name \"") + name +
           QStringLiteral("\" is ") + QString::number(length) + QLatin1Char(' ') + unit +
           QStringLiteral(" long; the data source allows ") + QString::number(limit) +
           QLatin1Char(' ') + unit + QLatin1Char('.');
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
        return {QStringLiteral("CASE typeof(") + column +
                    QStringLiteral(") WHEN 'real' THEN printf('%!.17g', ") + column +
                    QStringLiteral(") ELSE ") + column + QStringLiteral(" END"),
                ado::ValueType::Text, true};
    return {column, numeric ? ado::ValueType::Decimal : type, false};
}

namespace {

constexpr int kRowsAtATime = 10000;

long long handAll(ado::RecordSet& rows, const RowHandler& row) {
    long long handed = 0;
    for (; !rows.Eof(); rows.MoveNext(), ++handed)
        row(rows.CurrentRow());
    return handed;
}

// The name under which SQLite gives a row's own rowid: "rowid", "_rowid_" and "oid" all do,
// unless a column of the table has that name.
QString freeRowidAlias(const QStringList& columnNames) {
    for (const QString& alias :
         {QStringLiteral("rowid"), QStringLiteral("_rowid_"), QStringLiteral("oid")})
        if (!columnNames.contains(alias, Qt::CaseInsensitive))
            return alias;
    return {};
}

// SQLite: in the order of the rowid every table made here has, a page after the last one read.
// False when every alias of the rowid is a column's name.
bool readSqliteInPages(ado::Connection& connection, const QString& table,
                       const QStringList& columns, const QStringList& columnNames,
                       std::vector<ado::ValueType> readAs, const RowHandler& row) {
    const QString rowid = freeRowidAlias(columnNames);
    if (rowid.isEmpty())
        return false;
    readAs.insert(readAs.begin(), ado::ValueType::Integer);
    const QString select = QStringLiteral("SELECT ") + rowid + QStringLiteral(", ") +
                           columns.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + table +
                           QStringLiteral(" WHERE ") + rowid + QStringLiteral(" > ");
    const QString order = QStringLiteral(" ORDER BY ") + rowid + QStringLiteral(" LIMIT ") +
                          QString::number(kRowsAtATime);
    std::vector<ado::Variant> values;
    for (long long last = std::numeric_limits<long long>::min();;) {
        const auto page = connection.Query(select + QString::number(last) + order, readAs);
        long long handed = 0;
        for (; !page->Eof(); page->MoveNext(), ++handed) {
            const std::vector<ado::Variant>& current = page->CurrentRow();
            const long long id = current.front().asInteger();
            // Each page starts after the last: a rowid that does not grow would read for ever.
            if (id <= last)
                throw std::runtime_error("SQLite gave the rows of " + table.toStdString() +
                                         " out of the order of their rowid.");
            last = id;
            values.assign(current.begin() + 1, current.end());
            row(values);
        }
        if (handed < kRowsAtATime)
            return true;
    }
}

void readPostgresThroughCursor(ado::Connection& connection, const QString& select,
                               const std::vector<ado::ValueType>& readAs, const RowHandler& row) {
    connection.BeginTrans();
    try {
        connection.Execute(QStringLiteral("DECLARE morvane_check NO SCROLL CURSOR FOR ") + select);
        const QString fetch = QStringLiteral("FETCH FORWARD ") + QString::number(kRowsAtATime) +
                              QStringLiteral(" FROM morvane_check");
        while (handAll(*connection.Query(fetch, readAs), row) == kRowsAtATime) {
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

}  // namespace

void readRows(ado::Connection& connection, Dbms dbms, const QString& table,
              const QStringList& columns, const QStringList& columnNames,
              const std::vector<ado::ValueType>& readAs, const RowHandler& row) {
    const QString select = QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) +
                           QStringLiteral(" FROM ") + table;
    if (dbms == Dbms::SQLite &&
        readSqliteInPages(connection, table, columns, columnNames, readAs, row))
        return;
    if (dbms == Dbms::PostgreSQL)
        return readPostgresThroughCursor(connection, select, readAs, row);
    handAll(*connection.Query(select, readAs), row);
}

}  // namespace TargetDialect
