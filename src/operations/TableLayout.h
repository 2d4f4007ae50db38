#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

#include "CheckedValue.h"
#include "ado/Cursor.h"
#include "data/ColumnCasts.h"
#include "data/NameRule.h"
#include "data/TypedMapping.h"

namespace ado {
class RecordSet;
}

// How a source table is written on the target: with the tables screen's mapping (every column
// TEXT or NUMERIC, each value travelling as its text) or with the typed one (real column types,
// values bound as their own types, then the table's key and its AutoInc counter).
class TableLayout {
  public:
    // The columns of `source` on `product`, named by `names`; `typed` is null for the tables
    // screen's mapping.
    TableLayout(ado::RecordSet& source, const TargetProduct& product,
                const TypedMapping::Mapping* typed, const NameRule& names);

    // Gives the columns that `casts` names for the Paradox table `table` the type chosen there.
    void castColumns(const ColumnCasts& casts, const QString& table);

    QString createStatement(const QString& table) const;
    // One row of the insert's parameters, "(?, ...)", and the type each is bound as: with the
    // screen's mapping every value as text, a number's as a decimal of its own digits.
    QString parameterRow() const;
    std::vector<ado::ParameterType> parameterTypes() const;
    // How the check compares each column.
    std::vector<CheckedColumn> checkedColumns() const;

    bool typed() const { return typed_ != nullptr; }
    // The statements that give the copied table its key, and its AutoInc counter a start above
    // `above`; none with the screen's mapping.
    QStringList keyStatements(const QString& table) const;
    QStringList counterStatements(const QString& table, long long above) const;
    // The query that counts the copied rows with a blank key field: a key is made only where
    // there are none, since a target may fill a blank in (SQLite's INTEGER PRIMARY KEY does).
    QString blankKeyCount(const QString& table) const;
    // The source's AutoInc field holds a blank: its column takes NULL, its counter is a default.
    void counterMayBeBlank() { blankCounter_ = true; }
    // The column of the AutoInc field, if the table has one.
    std::optional<size_t> autoIncrementColumn() const;
    // The source's own fields under their names on the target, its key's length, and whether its
    // counter holds a blank.
    const std::vector<px::Field>& sourceFields() const { return sourceFields_; }
    int keyFieldCount() const { return keys_.keyFields; }
    bool blankCounter() const { return blankCounter_; }
    // The last value the source's AutoInc field handed out, by its header.
    long long lastAutoIncrement() const { return keys_.lastAutoIncrement; }

  private:
    std::vector<ado::FieldInfo> fields_;
    std::vector<px::Field> sourceFields_;
    QStringList paradoxNames_;                    // each column's field name in the source
    std::vector<std::optional<QString>> chosen_;  // a column's type chosen over the mapping's
    ado::KeyInfo keys_;
    const TargetProduct& product_;
    const TypedMapping::Mapping* typed_;
    bool blankCounter_ = false;
};
