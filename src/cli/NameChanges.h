#pragma once

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

#include "data/ColumnCasts.h"
#include "data/NameRule.h"
#include "data/TableEntry.h"

// What the chosen tables' names become on the target, read from their headers before anything
// is written: two names that would become one, and a cast that names no column, are refused
// there, and a person fixing an application's queries gets every name that changed.
class NameChanges {
  public:
    struct Table {
        QString paradox;
        QString target;
        std::vector<std::pair<QString, QString>> columns;  // Paradox's name, the target's
    };

    NameChanges(const std::vector<TableEntry>& tables, const NameRule& names,
                const ColumnCasts& casts);

    // Why the run cannot start, or "".
    const QString& refusal() const { return refusal_; }
    // The tables whose name or any column's name changes.
    const std::vector<Table>& changed() const { return changed_; }
    // One line for each such table: "names: ORDERS -> orders: Order No -> order_no, ...".
    static QStringList lines(const std::vector<Table>& changed);

  private:
    std::vector<Table> changed_;
    QString refusal_;
};
