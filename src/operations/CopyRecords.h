#pragma once

// What the target keeps of each verified copy, in the journal's table (rows of kind "verified
// copy"): the table, the source file it came from, the source's stamp as the copy read it, the
// rows and their digest as the check computed them, the layout it was made with, and when. A
// refresh compares a source with its record to tell a table unchanged; a verify checks every
// recorded table against its source.

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

#include "paradox/ChangeStamp.h"

class TargetProduct;

namespace ado {
class Connection;
}

struct CopyRecord {
    QString table;
    QString sourceFile;
    QString stamp;  // stampText() of the source as the copy read it
    long long rows = 0;
    QString digest;  // the check's digest of the rows
    QString layout;  // the mapping and a digest of the table's statements
    QStringList key;
    QString at;  // when, UTC, as "2026-12-10 22:14"
};

// A stamp as the record keeps it.
QString stampText(const px::ChangeStamp& stamp);

class CopyRecords {
  public:
    CopyRecords(ado::Connection& target, const TargetProduct& product);

    // The records, by table; none where the target has no journal.
    std::vector<CopyRecord> all();
    std::optional<CopyRecord> of(const QString& table);
    // The statements that put `record` in place of the table's earlier one, to run with the
    // copy's last step; the journal's table must be there.
    QStringList writeStatements(CopyRecord record);

    // Forgets the record of a table the program dropped or renamed: a renamed table has no
    // record of its own until it is copied again. Nothing where there is no journal.
    void forget(const QString& table);

  private:
    std::vector<CopyRecord> read(const QString& where);
    // The condition that keeps to the records of the chosen schema's tables.
    QString inSchema();

    ado::Connection& target_;
    const TargetProduct& product_;
    std::optional<bool> schemaColumn_;  // whether the journal has a column for schemas
};
