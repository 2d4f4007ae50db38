#include "TableRefresh.h"

#include <algorithm>

#include "TableCheck.h"
#include "ado/Connection.h"
#include "ado/Insert.h"
#include "data/Datatype.h"
#include "data/products/TargetProduct.h"

namespace {

// Beyond this many rows that differ, or half the table, a copy is the shorter way.
constexpr long long kMostChanges = 100000;

bool numeric(const CheckedColumn& column) {
    return column.compare == CheckedColumn::Compare::Number ||
           (column.compare == CheckedColumn::Compare::Typed &&
            (column.type == ado::ValueType::Integer || column.type == ado::ValueType::Decimal ||
             column.type == ado::ValueType::Double));
}

// Two plain decimals ("-12.5", "3") by value.
int compareDecimals(const std::string& a, const std::string& b) {
    const bool aNegative = a.starts_with('-'), bNegative = b.starts_with('-');
    if (aNegative != bNegative)
        return aNegative ? -1 : 1;
    const std::string_view x = std::string_view(a).substr(aNegative ? 1 : 0);
    const std::string_view y = std::string_view(b).substr(bNegative ? 1 : 0);
    const size_t xWhole = std::min(x.find('.'), x.size()), yWhole = std::min(y.find('.'), y.size());
    int order = xWhole != yWhole ? (xWhole < yWhole ? -1 : 1) : x.compare(y);
    order = order < 0 ? -1 : order > 0 ? 1 : 0;
    return aNegative ? -order : order;
}

int compareValues(const std::optional<std::string>& a, const std::optional<std::string>& b,
                  bool asNumbers) {
    if (!a || !b)
        return a ? 1 : b ? -1 : 0;
    if (asNumbers) {
        const std::optional<std::string> x = CheckedValue::plainDecimal(*a);
        const std::optional<std::string> y = CheckedValue::plainDecimal(*b);
        if (x && y)
            return compareDecimals(*x, *y);
    }
    const int order = a->compare(*b);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

}  // namespace

TableRefresh::TableRefresh(ado::Connection& target, const TargetProduct& product,
                           ado::Connection& paradox, QString sourceFile, QString table,
                           const TableLayout& layout, std::function<bool()> stopRequested)
    : target_(target),
      product_(product),
      paradox_(paradox),
      sourceFile_(std::move(sourceFile)),
      table_(std::move(table)),
      layout_(layout),
      columns_(layout.checkedColumns()),
      keyColumns_(static_cast<size_t>(layout.keyFieldCount())),
      stopRequested_(std::move(stopRequested)) {}

int TableRefresh::compareKeys(const Row& a, const Row& b) const {
    for (size_t i = 0; i < keyColumns_; ++i)
        if (const int order = compareValues(a[i], b[i], numeric(columns_[i])); order != 0)
            return order;
    return 0;
}

void TableRefresh::stopWhenAsked() const {
    if (stopRequested_ && stopRequested_())
        throw TableCheck::Stopped();
}

QString TableRefresh::compare() {
    counts_ = {};
    inserts_.clear();
    updates_.clear();
    deletes_.clear();
    const std::function<bool()> stop = stopRequested_;
    CheckedRows rows(target_, product_, paradox_, sourceFile_, table_, columns_, stop);
    QStringList orderBy;
    for (size_t i = 0; i < keyColumns_; ++i) {
        const QString column = Datatype::QuotedName(columns_[i].name);
        orderBy << (numeric(columns_[i]) ? column : product_.binaryOrder(column));
    }

    ado::RecordSet source;
    source.OpenTable(sourceFile_, paradox_);
    const long long sourceRows = sourceRows_ = source.RecordCount();
    Row sent, lastSent, lastStored, stored;
    bool sentRead = false, outOfOrder = false;
    // The source's current row in the compared form, its key checked against the one before.
    const auto readSent = [&] {
        if (source.Eof())
            return false;
        rows.compared(source.CurrentRow(), sent);
        if (sentRead && compareKeys(lastSent, sent) >= 0)
            outOfOrder = true;
        lastSent = sent;
        sentRead = true;
        return true;
    };
    const auto tooMany = [&] {
        return counts_.changes() > std::min(kMostChanges, std::max(sourceRows / 2, 1000LL));
    };
    // Stops the reading of the target: the caller replaces the table.
    struct Abandon {};
    bool haveSent = readSent();
    bool storedRead = false;
    try {
        rows.stored(
            [&](const Row& row) {
                stopWhenAsked();
                if (storedRead && compareKeys(lastStored, row) >= 0)
                    outOfOrder = true;
                lastStored = row;
                storedRead = true;
                while (haveSent && !outOfOrder && compareKeys(sent, row) < 0) {
                    inserts_.push_back(source.CurrentRow());
                    ++counts_.inserted;
                    source.MoveNext();
                    haveSent = readSent();
                }
                if (haveSent && !outOfOrder && compareKeys(sent, row) == 0) {
                    if (sent != row) {
                        updates_.push_back(source.CurrentRow());
                        ++counts_.updated;
                    }
                    source.MoveNext();
                    haveSent = readSent();
                } else {
                    deletes_ << whereKeyIs(row);
                    ++counts_.deleted;
                }
                if (outOfOrder || tooMany())
                    throw Abandon();
            },
            orderBy);
        for (; haveSent && !outOfOrder && !tooMany(); haveSent = readSent()) {
            stopWhenAsked();
            inserts_.push_back(source.CurrentRow());
            ++counts_.inserted;
            source.MoveNext();
        }
    } catch (const Abandon&) {
    }
    if (outOfOrder)
        return QStringLiteral("its key's order in the Paradox file is not the order ") +
               product_.displayName() + QStringLiteral(" gives its text");
    if (tooMany())
        return QStringLiteral("most of its rows changed");
    return {};
}

QString TableRefresh::whereKeyIs(const Row& stored) const {
    QStringList terms;
    for (size_t i = 0; i < keyColumns_; ++i) {
        const std::optional<std::string>& value = stored[i];
        const QString column = Datatype::QuotedName(columns_[i].name);
        if (!value) {
            terms << column + QStringLiteral(" IS NULL");
            continue;
        }
        const QString text = QString::fromStdString(*value);
        terms << column + QStringLiteral(" = ") +
                     (numeric(columns_[i]) && CheckedValue::plainDecimal(*value)
                          ? text
                          : product_.textLiteralOf(text));
    }
    return QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
}

void TableRefresh::writeDeletes() {
    for (const QString& where : deletes_) {
        stopWhenAsked();
        target_.Execute(QStringLiteral("DELETE FROM ") + Datatype::QuotedName(table_) + where);
    }
}

void TableRefresh::writeUpdatesAndInserts() {
    const QString table = Datatype::QuotedName(table_);
    const std::vector<ado::ParameterType> types = layout_.parameterTypes();
    if (!updates_.empty()) {
        // Every column but the key's is set from the source's row; the key finds it.
        QStringList set, where;
        std::vector<ado::ParameterType> bound;
        for (size_t i = keyColumns_; i < columns_.size(); ++i) {
            set << Datatype::QuotedName(columns_[i].name) + QStringLiteral(" = ?");
            bound.push_back(types[i]);
        }
        for (size_t i = 0; i < keyColumns_; ++i) {
            where << Datatype::QuotedName(columns_[i].name) + QStringLiteral(" = ?");
            bound.push_back(types[i]);
        }
        const auto update =
            target_.PrepareInsert(QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") +
                                      set.join(QStringLiteral(", ")) + QStringLiteral(" WHERE ") +
                                      where.join(QStringLiteral(" AND ")),
                                  QString(), bound, ado::Batching::RowByRow);
        for (const std::vector<ado::Variant>& row : updates_) {
            stopWhenAsked();
            std::vector<ado::Variant> values(row.begin() + static_cast<long>(keyColumns_),
                                             row.end());
            values.insert(values.end(), row.begin(), row.begin() + static_cast<long>(keyColumns_));
            update->addRow(std::move(values));
        }
        update->flush();
    }
    if (!inserts_.empty()) {
        const auto insert = target_.PrepareInsert(
            QStringLiteral("INSERT INTO ") + table + QStringLiteral(" VALUES"),
            layout_.parameterRow(), types, ado::Batching::RowByRow);
        for (std::vector<ado::Variant>& row : inserts_) {
            stopWhenAsked();
            insert->addRow(std::move(row));
        }
        insert->flush();
    }
}
