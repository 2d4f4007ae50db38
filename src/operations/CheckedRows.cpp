#include "CheckedRows.h"

#include "TableCheck.h"
#include "ado/Connection.h"
#include "data/Datatype.h"

CheckedRows::CheckedRows(ado::Connection& target, const TargetProduct& product,
                         ado::Connection& paradox, QString sourceFile, const QString& table,
                         const std::vector<CheckedColumn>& columns,
                         const std::function<bool()>& stopRequested)
    : target_(target),
      product_(product),
      paradox_(paradox),
      sourceFile_(std::move(sourceFile)),
      columns_(columns),
      table_(Datatype::QuotedName(table)),
      stopRequested_(stopRequested) {
    for (const CheckedColumn& column : columns_) {
        const TargetProduct::ReadBack back =
            product_.readBack(Datatype::QuotedName(column.name), column.type,
                              column.compare == CheckedColumn::Compare::Number);
        expressions_ << back.expression;
        readAs_.push_back(back.readAs);
        CheckedColumn stored = column;
        stored.doublesAsDecimals = back.doublesAsDecimals;
        storedColumns_.push_back(stored);
        names_ << column.name;
    }
}

void CheckedRows::source(const std::function<void(long long, const Row&)>& handle) const {
    ado::RecordSet rows;
    rows.OpenTable(sourceFile_, paradox_);
    Row row(columns_.size());
    for (long long number = 1; !rows.Eof(); rows.MoveNext(), ++number) {
        stopWhenAsked();
        compared(rows.CurrentRow(), row);
        handle(number, row);
    }
}

void CheckedRows::compared(const std::vector<ado::Variant>& values, Row& row) const {
    row.resize(columns_.size());
    for (size_t i = 0; i < columns_.size(); ++i)
        row[i] = CheckedValue::of(values[i], columns_[i]);
}

void CheckedRows::stored(const std::function<void(const Row&)>& handle,
                         const QStringList& orderBy) const {
    Row row(columns_.size());
    product_.readRows(
        target_, table_, expressions_, names_, readAs_,
        [&](const std::vector<ado::Variant>& values) {
            stopWhenAsked();
            for (size_t i = 0; i < row.size(); ++i)
                row[i] = CheckedValue::of(values[i], storedColumns_[i]);
            handle(row);
        },
        orderBy);
}

void CheckedRows::stopWhenAsked() const {
    if (stopRequested_ && stopRequested_())
        throw TableCheck::Stopped();
}
