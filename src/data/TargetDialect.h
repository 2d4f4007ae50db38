#pragma once

#include <QString>

namespace ado {
class Connection;
struct DataSourceInfo;
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

}  // namespace TargetDialect
