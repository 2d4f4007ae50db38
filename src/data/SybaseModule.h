#pragma once

#include <QString>

#include <functional>
#include <memory>

class TargetProduct;

namespace ado {
class Connection;
}

namespace Sybase {

// "Data Source=" and the name; a name holding ";" or a brace is put in braces.
QString DsnConnectionString(const QString& dataSourceName);
// True when the data source opens; reports nothing.
bool TestDataSource(const QString& dataSourceName);
// Hands each user table that an unqualified name reaches and whose name holds no "SYS" to
// `found`. A failure ends the listing; the names handed out before it stay with the caller.
void ListSybaseTables(const QString& dataSourceName,
                      const std::function<void(const QString&)>& found);

// Hands each table that an unqualified name reaches on `connection` to `found`, whatever its
// name: those of the connection's current catalog (database) and, where the product has
// schemas, of the schema a new table would be created in (on SQL Anywhere the connected user's
// own). Used to decide whether a table exists. In `schema` where one is named: the connection
// and `product` move there (none are listed while it is not there).
void ListReachableTables(ado::Connection& connection, TargetProduct& product,
                         const std::function<void(const QString&)>& found,
                         const QString& schema = {});

}  // namespace Sybase
