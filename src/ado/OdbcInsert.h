#pragma once

#include <QString>

#include <memory>
#include <vector>

#include <sql.h>

#include "Insert.h"

namespace ado {

namespace odbc {
class RunningStatement;
}

// An insert of `prefix` followed by `row` (the parenthesised list of one row's parameters, one
// per entry of `types`), prepared on the connection. Batched, the text repeats `row` for a group
// of rows, so that the server reads one statement per group, and the groups go in parameter
// arrays where the driver takes them. `running` is the connection's running statement, which the
// insert's statements are while they run.
std::unique_ptr<InsertStatement> prepareOdbcInsert(SQLHDBC connection, const QString& prefix,
                                                   const QString& row,
                                                   std::vector<ParameterType> types,
                                                   Batching batching,
                                                   std::shared_ptr<odbc::RunningStatement> running);

}  // namespace ado
