#pragma once

#include "ReservedWords.h"
#include "TargetProduct.h"

// SQLite: one file, every table reached; a key only on a table made again with it; its own
// counter for an INTEGER PRIMARY KEY AUTOINCREMENT; doubles read back with 17 digits, and rows
// in pages of their rowid, since its driver builds a whole result in memory.
class Sqlite : public TargetProduct {
  public:
    explicit Sqlite(ado::DataSourceInfo info) : TargetProduct(std::move(info)) {}

    bool reserves(const QString& word) const override { return ReservedWords::sqlite(word); }

    bool reaches(const QString&, const QString&) const override { return true; }
    bool oneWriterAtATime() const override { return true; }
    QString typedColumnType(const px::Field& field, bool blankCounter) const override;
    // A timestamp as its driver stores one, milliseconds always written, so that a range
    // compares it with stored values as text.
    QString valueLiteral(const px::Value& value) const override;
    QStringList keyStatements(const QString& table, const std::vector<px::Field>& fields,
                              int keyFields, bool blankCounter) const override;
    QStringList counterStatements(const QString& table, const std::vector<px::Field>& fields,
                                  int keyFields, long long above, bool blankCounter) const override;
    bool ddlCommits() const override { return false; }
    QString leftOut() const override {
        return QStringLiteral("pictures are not kept: SQLite has no column comments");
    }
    // Its foreign keys are part of the child's definition, checked only when asked to.
    bool foreignKeysHoldDrops() const override { return false; }
    std::vector<DefinitionStep> definitionSteps(const TableDefinition& definition) const override;
    std::vector<DefinitionStep> foreignKeySteps(const TableDefinition& definition) const override;
    ReadBack readBack(const QString& column, ado::ValueType type, bool numeric) const override;
    void readRows(ado::Connection& connection, const QString& table, const QStringList& columns,
                  const QStringList& columnNames, const std::vector<ado::ValueType>& readAs,
                  const RowHandler& row, const QStringList& orderBy) const override;

  protected:
    // Its driver gives narrow text as SQLite stores it, in UTF-8, except on Windows, where it
    // converts it to the system's code page.
    bool textComesAsUtf8(ado::Connection&) const override {
#ifdef _WIN32
        return false;
#else
        return true;
#endif
    }

  private:
    // The AutoInc field that SQLite can count for: the table's one key field.
    static bool counts(const std::vector<px::Field>& fields, int keyFields, bool blankCounter);

    // The table made again with its key, column rules and foreign keys, taking the old one's
    // place; `keepCounter`: the old table's counter is already set, and carried over.
    QStringList rebuild(const TableDefinition& definition, bool keepCounter) const;
};
