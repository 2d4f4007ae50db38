#pragma once

#include <QString>

#include <memory>

#include <sql.h>

#include "Insert.h"

namespace ado {

namespace odbc {
class RunningStatement;
}

// A load the server reads from a file of the client's (`load`), run on the connection itself,
// inside its transaction where the product's load keeps one. The file is a named pipe, private
// to the user, in a folder of the program's own: the rows stream through it while the statement
// runs, and a pipe keeps no data once the load has ended, however it ended. The statement starts
// here: one the server refuses before it opens the pipe throws BulkLoadRefused.
std::unique_ptr<InsertStatement> prepareLocalFileLoad(
    SQLHDBC connection, LocalFileLoadSpec load, std::shared_ptr<odbc::RunningStatement> running);

}  // namespace ado
