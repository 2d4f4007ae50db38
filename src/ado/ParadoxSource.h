#pragma once

#include <QString>

#include <memory>

#include "Cursor.h"

namespace ado {

// The Paradox side of a connection: a folder of tables, read-only. "SELECT * FROM "T"" opens
// the table T (the file T.db in the folder, found ignoring letter case); a quoted name that
// holds a "/" names the table file itself.
class ParadoxSource {
  public:
    explicit ParadoxSource(const QString& folder);

    std::unique_ptr<Cursor> select(const QString& sql) const;
    // The table file a name stands for, or "" when the folder has none.
    QString tableFile(const QString& name) const;

    // The quoted name of a "SELECT * FROM "NAME"" statement; throws for any other statement.
    static QString selectedTable(const QString& sql);

  private:
    QString folder_;
};

}  // namespace ado
