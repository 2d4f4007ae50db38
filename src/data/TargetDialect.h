#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

#include "ado/Cursor.h"

namespace ado {
class Connection;
}  // namespace ado

// What the program knows of the database products behind a data source: SQL Anywhere, the
// target it is made for, and PostgreSQL and SQLite, by name; any other through what ODBC tells.
namespace TargetDialect {

enum class Dbms { SqlAnywhere, PostgreSQL, SQLite, Other };

// From SQLGetInfo's SQL_DBMS_NAME.
Dbms dbmsOf(const QString& dbmsName);

// Why `name` cannot name a table or column (`what`) on the target, or "" when it can: it is
// longer than the target allows, a limit that PostgreSQL and SQL Anywhere count in bytes.
QString nameTooLong(const QString& what, const QString& name, int limit, Dbms dbms);

// The schema (SQL Anywhere: the owner) in which an unqualified name is created and found, or
// "" where the target has none or the program cannot tell.
QString defaultSchema(ado::Connection& connection, const ado::DataSourceInfo& info);

// Whether two schema names name the same schema on the target.
bool sameSchema(const QString& a, const QString& b, Dbms dbms);

// How one column is read back to be compared with what was sent: the expression to select, the
// type to read it as, and whether the target gives binary doubles as decimals of 17 digits.
struct ReadBack {
    QString expression;
    ado::ValueType readAs;
    bool doublesAsDecimals = false;
};

// `column` a quoted column name; `type` the type its values were sent as (text for a NUMERIC
// column of the tables screen's mapping, which `numeric` marks).
ReadBack readBack(Dbms dbms, const QString& column, ado::ValueType type, bool numeric);

using RowHandler = std::function<void(const std::vector<ado::Variant>&)>;

// Hands each row of `columns` (expressions) of `table` (a quoted name) to `row`, holding only part
// of the table at a time: PostgreSQL's driver would otherwise take in the whole result before the
// first row, and SQLite's builds the whole result in memory too, so both are read in pieces.
// `columnNames` are the table's own column names, which may shadow SQLite's names for a rowid. A
// `row` that throws ends the reading.
void readRows(ado::Connection& connection, Dbms dbms, const QString& table,
              const QStringList& columns, const QStringList& columnNames,
              const std::vector<ado::ValueType>& readAs, const RowHandler& row);

}  // namespace TargetDialect
