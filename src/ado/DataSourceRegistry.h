#pragma once

#include <QString>

#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace ado {

// What the ODBC installer knows of a data source name. Drivers read a data source's settings
// through the installer, so a name it cannot find would make the driver open whatever its
// defaults name (SQLite: a temporary database).
struct DataSourceDefinition {
    // The keywords the driver must be given with the name, because it could not read them
    // itself; empty when it can.
    std::vector<std::pair<QString, QString>> keywordsToPass;
};

// The data source's definition, or nothing when neither the name nor a [Default] is defined.
std::optional<DataSourceDefinition> lookUpDataSource(const QString& name);

// Every setting the installer holds for the data source name, keywords in lower case: the
// user's file first, as the driver reads it, then the system's.
std::map<QString, QString> dataSourceSettings(const QString& name);

}  // namespace ado
