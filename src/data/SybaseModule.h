#pragma once

#include <QString>

class TableList;

namespace Sybase {

// "Data Source=" and the name; a name holding ";" or a brace is put in braces.
QString DsnConnectionString(const QString& dataSourceName);
// True when the data source opens; reports nothing.
bool TestDataSource(const QString& dataSourceName);
// Fills the list with the user tables of the data source whose names hold no "SYS".
void ListSybaseTables(TableList& list, const QString& dataSourceName);

}  // namespace Sybase
