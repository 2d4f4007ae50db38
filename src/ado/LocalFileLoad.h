#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sql.h>

#include "Insert.h"

namespace ado {

namespace odbc {
class RunningStatement;
}

// A load the server reads from a file of the client's (MariaDB's LOAD DATA LOCAL INFILE), run on
// the connection itself, inside its transaction. The file is a named pipe, private to the user,
// in a folder of the program's own: the rows stream through it while the statement runs, and a
// pipe keeps no data once the load has ended, however it ended. `statement` holds "%1" where
// the pipe's path goes, `line` appends a row as the load reads it; once the rows are in, the
// first row of `warnings`, when there is one, refuses the load with its text.
std::unique_ptr<InsertStatement> prepareLocalFileLoad(
    SQLHDBC connection, const QString& statement,
    std::function<void(std::string&, const std::vector<Variant>&)> line, const QString& warnings,
    std::shared_ptr<odbc::RunningStatement> running);

}  // namespace ado
