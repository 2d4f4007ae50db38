#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

#include "data/products/TableDefinition.h"

class TargetProduct;

namespace ado {
class Connection;
}

// The first row of `child` whose `columns` (all set) have no row in `parent` at
// `parentColumns`, as the values of those columns; none when every row has its parent.
std::optional<QStringList> firstOrphan(ado::Connection& target, const QString& child,
                                       const QStringList& columns, const QString& parent,
                                       const QStringList& parentColumns);
// The columns of `table`'s primary key on the target, in key order.
QStringList primaryKeyOf(ado::Connection& target, const QString& table);
// Whether two lists name the same columns, in any order and case.
bool sameColumns(const QStringList& a, const QStringList& b);
// "999", or "(1, 2)".
QString listed(const QStringList& items);
// "999 in ID", or "(1, 2) in (A, B)".
QString valuesIn(const QStringList& values, const QStringList& columns);

// Other tables' foreign keys to a table about to be replaced, read whole from the target before
// its old table goes (columns in order, both rules, when it is checked, its name), so that each
// is made again to the copy exactly as it was, not as a Paradox relationship would make it.
class ReferringKeys {
  public:
    struct Key {
        QString child;
        ForeignKey key;
    };

    // The keys of the tables an unqualified name reaches that refer to `table`. Throws what
    // keeps the driver from listing them.
    static ReferringKeys to(ado::Connection& target, const TargetProduct& product,
                            const QString& table);

    bool empty() const { return keys_.empty(); }
    const std::vector<Key>& keys() const { return keys_; }
    // Why the copy in `copy` cannot take every key, or "": it has no key on the columns they
    // refer to, or a referring row has no row in it.
    QString obstacleIn(ado::Connection& target, const QString& copy) const;
    // The part of obstacleIn() that the rows play no part in: a copy whose key is on `copyKey`
    // (none for an unkeyed one) cannot take a key referring to other columns.
    QString keyObstacle(const QStringList& copyKey) const;
    // Each key's drop, and the statement that makes it, to the table of its parent's name.
    QString dropStatement(const TargetProduct& product, size_t key) const;
    QStringList makeStatements(const TargetProduct& product, size_t key) const;
    QStringList dropStatements(const TargetProduct& product) const;
    QStringList makeStatements(const TargetProduct& product) const;

  private:
    QString table_;
    std::vector<Key> keys_;
};
