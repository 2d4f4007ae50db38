#pragma once

#include <QString>

#include <functional>
#include <stdexcept>
#include <vector>

#include "CheckedValue.h"
#include "data/products/TargetProduct.h"

namespace ado {
class Connection;
}

// Whether a copied table holds what was sent: its rows are read back through the target's own
// connection and compared with its source, read again from its file. Rows may come back in any
// order. A first pass compares an order-independent digest of each side, in memory that does
// not grow with the table; only when the digests disagree does a second pass pair the rows (by
// the columns that arrived unchanged) to name the rows and values that differ, holding a bounded
// share of the rows at a time.
namespace TableCheck {

struct Difference {
    long long row = 0;  // the row of the source, from 1; 0 for a stored row that was not sent
    QString column;     // "" for a whole row sent but not stored, or stored but not sent
    QString sent;
    QString stored;
    qsizetype firstDifference = 0;  // the first character that differs, from 1; 0: not told
};

struct Result {
    long long rowsSent = 0;
    long long rowsStored = 0;
    long long valuesDiffer = 0;
    long long rowsMissing = 0;         // sent, and no stored row is it or near it
    long long rowsExtra = 0;           // stored, and no sent row is it or near it
    bool countsComplete = true;        // false when not every differing row was paired
    bool digestsEqual = true;          // the digests of all rows, and their counts, are equal
    std::vector<Difference> examples;  // by source row, at most 100
    QString undecided;                 // why the check could not decide, or ""
    QString digest;                    // the source's rows' digest, as text

    // Verified: the digests and counts of every row are equal, and nothing kept the check
    // from deciding.
    bool exact() const {
        return undecided.isEmpty() && digestsEqual && rowsSent == rowsStored && valuesDiffer == 0 &&
               rowsMissing == 0 && rowsExtra == 0;
    }
    // A check that could not be made: the table is not verified, for `reason`.
    static Result notVerified(const QString& reason);
    // "The table T differs from its source: ..." with at most `examples` examples, or "The
    // table T was not verified: ..." for a check that could not decide.
    QString describe(const QString& table, int examples) const;
};

// Compares `table` on the target with the source file; `columns` in the order of both. Throws
// when either side cannot be read, and Stopped, between two rows, once `stopRequested` says so.
// It lets no window events run: a caller with a window runs it on a thread of its own.
Result run(ado::Connection& target, const TargetProduct& product, ado::Connection& paradox,
           const QString& sourceFile, const QString& table,
           const std::vector<CheckedColumn>& columns,
           const std::function<bool()>& stopRequested = {});

// The check was asked to stop before it could decide.
class Stopped : public std::runtime_error {
  public:
    Stopped() : std::runtime_error("the check was stopped before it could compare every row") {}
};

}  // namespace TableCheck
