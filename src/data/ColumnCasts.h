#pragma once

#include <QString>

#include <optional>
#include <vector>

// The column types a user chose over the mapping's (--cast TABLE.COLUMN=TYPE), by the Paradox
// table's and field's names in any letter case; "*" as the table is every table.
class ColumnCasts {
  public:
    struct Cast {
        QString table;
        QString column;
        QString type;
    };

    // Takes "TABLE.COLUMN=TYPE", split at the first "." (a table's name holds none) and the
    // first "=" after it. Why it cannot, or "".
    QString add(const QString& option);
    // The chosen type of a table's column, if one was chosen; a table's own cast wins over "*".
    std::optional<QString> typeOf(const QString& table, const QString& column) const;
    const std::vector<Cast>& all() const { return casts_; }
    bool empty() const { return casts_.empty(); }

  private:
    std::vector<Cast> casts_;
};
