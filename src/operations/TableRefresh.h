#pragma once

// Brings a keyed table on the target in step with its source in place, writing only what
// differs: both sides are read in the order of the key (the target's text keys by their bytes,
// as the source's keyed file holds them), compared row by row in the check's own form, and the
// rows that differ are written by key: deleted, updated, inserted. The table, its key, its
// indexes and other tables' foreign keys stay as they are.
//
// Only the rows that differ are held. A side whose keys do not come in one order both agree on,
// or a table most of whose rows changed, is no case for a refresh in place: compare() says why,
// and the caller replaces the table instead.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "CheckedRows.h"
#include "TableLayout.h"
#include "ado/Cursor.h"

class TargetProduct;

namespace ado {
class Connection;
}

class TableRefresh {
  public:
    struct Counts {
        long long inserted = 0;
        long long updated = 0;
        long long deleted = 0;
        long long changes() const { return inserted + updated + deleted; }
    };

    TableRefresh(ado::Connection& target, const TargetProduct& product, ado::Connection& paradox,
                 QString sourceFile, QString table, const TableLayout& layout,
                 std::function<bool()> stopRequested);

    // Reads both sides and finds the rows that differ; "" when the table can be refreshed in
    // place, else why not. Throws what keeps either side from being read, and
    // TableCheck::Stopped on a stop.
    QString compare();
    const Counts& counts() const { return counts_; }
    // The rows of the source, as compare() read them.
    long long sourceRows() const { return sourceRows_; }
    // Writes the rows that differ, inside the caller's transaction, in two parts, so that
    // related tables can take turns: the deletes (a child's before its parent's), then the
    // updates and inserts (a parent's before its child's). Throws at the first statement the
    // target refuses.
    void writeDeletes();
    void writeUpdatesAndInserts();

  private:
    using Row = CheckedRows::Row;
    // Negative, zero or positive as `a`'s key comes before, with or after `b`'s.
    int compareKeys(const Row& a, const Row& b) const;
    // The WHERE clause that finds a stored row by its key, its values as literals.
    QString whereKeyIs(const Row& stored) const;
    void stopWhenAsked() const;

    ado::Connection& target_;
    const TargetProduct& product_;
    ado::Connection& paradox_;
    QString sourceFile_;
    QString table_;
    const TableLayout& layout_;
    std::vector<CheckedColumn> columns_;
    size_t keyColumns_;
    std::function<bool()> stopRequested_;
    Counts counts_;
    long long sourceRows_ = 0;
    std::vector<std::vector<ado::Variant>> inserts_;
    std::vector<std::vector<ado::Variant>> updates_;
    QStringList deletes_;  // the WHERE clause of each
};
