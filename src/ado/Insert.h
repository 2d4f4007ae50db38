#pragma once

#include <QString>

#include <functional>
#include <string>
#include <vector>

#include "Cursor.h"

namespace ado {

// One row per execution, each standing on its own; or rows held back and sent in groups and
// parameter arrays, for a caller that runs them inside a transaction.
enum class Batching { RowByRow, Batched };

// An insert prepared once and run with each row's values bound as parameters: no value is ever
// put into the text of a statement.
class InsertStatement {
  public:
    virtual ~InsertStatement() = default;
    // Sends the row, or holds it back to go with the next ones where the insert batches.
    virtual void addRow(std::vector<Variant> row) = 0;
    // Sends the rows held back.
    virtual void flush() = 0;
    // The rows the data source has taken so far.
    virtual long long rowsWritten() const = 0;
};

// A load the server reads from a file of the client's while its statement runs (MariaDB's
// LOAD DATA LOCAL INFILE, SQL Anywhere's LOAD TABLE ... USING CLIENT FILE).
struct LocalFileLoadSpec {
    // The statement that loads the file at `path`, which it quotes as the product does.
    std::function<QString(const QString& path)> statement;
    // Appends one row to the file, as the statement reads it.
    std::function<void(std::string&, const std::vector<Variant>&)> line;
    // A query whose first row, once the rows are in, refuses the load with its text; "" when
    // the statement itself fails on a refused row.
    QString warnings;
};

}  // namespace ado
