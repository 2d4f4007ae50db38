#pragma once

// The rows of a source table and of its copy on the target in the form the check compares them
// in (CheckedValue), each column read back from the target as the product gives it exactly.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "CheckedValue.h"
#include "data/products/TargetProduct.h"

namespace ado {
class Connection;
}

class CheckedRows {
  public:
    using Row = std::vector<std::optional<std::string>>;

    // `columns` in the order of both sides; `stopRequested` is asked between two rows, and
    // TableCheck::Stopped thrown once it says so.
    CheckedRows(ado::Connection& target, const TargetProduct& product, ado::Connection& paradox,
                QString sourceFile, const QString& table, const std::vector<CheckedColumn>& columns,
                const std::function<bool()>& stopRequested);

    // Each row of the source with its number, from 1.
    void source(const std::function<void(long long, const Row&)>& handle) const;
    // Each row of the copy, in the order of `orderBy` (expressions) where it names any.
    void stored(const std::function<void(const Row&)>& handle,
                const QStringList& orderBy = {}) const;
    // A source row's values in the compared form.
    void compared(const std::vector<ado::Variant>& values, Row& row) const;

  private:
    void stopWhenAsked() const;

    ado::Connection& target_;
    const TargetProduct& product_;
    ado::Connection& paradox_;
    QString sourceFile_;
    const std::vector<CheckedColumn>& columns_;
    std::vector<CheckedColumn> storedColumns_;
    std::vector<ado::ValueType> readAs_;
    QStringList expressions_;
    QStringList names_;
    QString table_;
    const std::function<bool()>& stopRequested_;
};
