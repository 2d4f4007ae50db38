#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// Reads a target database back for the tests: the rows of a query, every value as text ("NULL"
// for a null). The program itself never reads rows from a data source.
std::vector<QStringList> queryRows(const QString& dsn, const QString& sql);
// The tables of the data source's own database (MariaDB, SQLite) or schema (PostgreSQL), by
// name, but the program's own journal.
QStringList tablesOf(const QString& dsn);
