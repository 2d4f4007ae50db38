#pragma once

#include <QString>
#include <QStringList>

#include <vector>

#include "data/NameRule.h"
#include "data/products/TargetProduct.h"

// The rest of a Paradox table's definition, read from its validity file and its secondary
// indexes, in the terms a target takes: column rules and indexes for the table itself, and the
// relationships that wait until every table of the run is on the target.
struct PendingRelationship {
    QString child;       // the child's table on the target
    ForeignKey key;      // its parent columns not yet known: see parentFieldNumbers
    QString parentFile;  // the parent's table file beside the child's, or "" when none is there
    std::vector<int> parentFieldNumbers;  // 1 for the parent's first field
    NameRule names;                       // how the parent's columns are named on the target
};

struct SourceDefinition {
    TableDefinition table;
    std::vector<PendingRelationship> relationships;
    // What of the definition cannot be read or carried, each a sentence about the table.
    QStringList problems;
};

// Reads the definition of the table file `tablePath`, copied as `table` with `fields`, whose
// first `keyFields` are its key; its other names as `names` gives them.
SourceDefinition readSourceDefinition(const QString& tablePath, const QString& table,
                                      const TargetProduct& product,
                                      const std::vector<px::Field>& fields, int keyFields,
                                      bool blankCounter, const NameRule& names);

// The parent's column names for `relationship`, from the parent's own table file; throws,
// saying why, where they cannot be known.
QStringList parentColumnsOf(const PendingRelationship& relationship);
