#pragma once

#include <QString>

#include <vector>

#include "paradox/Field.h"
#include "paradox/Value.h"

// A server that changes what it is given, for the check of copied tables: every table created
// from now on in a PostgreSQL database gets a row trigger that rounds its NUMERIC values to 6
// decimals and cuts its text to 10 characters.
namespace RoundingServer {

void roundEveryNewTable(const QString& dsn);

// A table of ID, NAME and AMOUNT whose rows such a server changes in four values: row 1's
// amount, row 2's name, and both of row 4's.
const std::vector<px::Field>& fields();
std::vector<std::vector<px::Value>> rows();
// What the check says of that table, copied as ROUNDED, with three examples.
QString report();

}  // namespace RoundingServer
