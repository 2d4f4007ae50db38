#include "TableLayout.h"

#include "ado/Connection.h"
#include "data/Datatype.h"
#include "runtime/EventPump.h"

namespace {

bool isNumeric(const ado::FieldInfo& field) {
    return Datatype::TargetTypeWord(Datatype::DataTypeName(field.type)) == QLatin1String("NUMERIC");
}

}  // namespace

TableLayout::TableLayout(ado::RecordSet& source, const TargetProduct& product,
                         const TypedMapping::Mapping* typed, const NameRule& names)
    : keys_(source.Keys()), product_(product), typed_(typed) {
    for (int column = 0; column < source.FieldCount(); ++column) {
        LetEventsRun();
        const ado::Field field = source.Fields(column);
        const QString name = names(field.name());
        paradoxNames_ << field.name();
        fields_.push_back({name, field.Type(), field.Source()});
        if (typed_ && !field.Source())
            throw std::runtime_error("The typed mapping needs a Paradox table's own field types.");
        if (field.Source()) {
            sourceFields_.push_back(*field.Source());
            sourceFields_.back().name = name.toStdString();
        }
    }
}

void TableLayout::castColumns(const ColumnCasts& casts, const QString& table) {
    chosen_.clear();
    for (const QString& field : paradoxNames_)
        chosen_.push_back(casts.typeOf(table, field));
}

QString TableLayout::createStatement(const QString& table) const {
    if (typed_)
        return QStringLiteral("CREATE TABLE ") + Datatype::QuotedName(table) + QLatin1Char('(') +
               typed_->definitions(sourceFields_, blankCounter_, chosen_) + QLatin1Char(')');
    QString definitions;
    for (size_t i = 0; i < fields_.size(); ++i)
        definitions +=
            Datatype::QuotedName(fields_[i].name) + QLatin1Char(' ') +
            (i < chosen_.size() && chosen_[i] ? *chosen_[i]
                                              : product_.screenColumnType(Datatype::TargetTypeWord(
                                                    Datatype::DataTypeName(fields_[i].type)))) +
            QLatin1Char(',');
    definitions.chop(1);
    return QStringLiteral("CREATE TABLE ") + Datatype::QuotedName(table) + QLatin1Char('(') +
           definitions + QStringLiteral(");");
}

QString TableLayout::parameterRow() const {
    QStringList parameters;
    for (size_t i = 0; i < fields_.size(); ++i)
        parameters << QStringLiteral("?");
    return QLatin1Char('(') + parameters.join(QStringLiteral(", ")) + QLatin1Char(')');
}

std::vector<ado::ParameterType> TableLayout::parameterTypes() const {
    std::vector<ado::ParameterType> types;
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (!typed_) {
            if (isNumeric(fields_[i]))
                types.push_back(ado::ParameterType::decimalAsWritten());
            else
                types.emplace_back(ado::ValueType::Text);
            continue;
        }
        const ado::ValueType type = typed_->columnFor(sourceFields_[i]).valueType;
        types.emplace_back(type, type == ado::ValueType::Decimal
                                     ? static_cast<short>(sourceFields_[i].decimals)
                                     : short{0});
    }
    return types;
}

std::vector<CheckedColumn> TableLayout::checkedColumns() const {
    std::vector<CheckedColumn> columns;
    const std::vector<ado::ParameterType> types = parameterTypes();
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (typed_)
            columns.push_back({fields_[i].name, CheckedColumn::Compare::Typed, types[i].type});
        else
            columns.push_back({fields_[i].name, isNumeric(fields_[i])
                                                    ? CheckedColumn::Compare::Number
                                                    : CheckedColumn::Compare::Text});
    }
    return columns;
}

QStringList TableLayout::keyStatements(const QString& table) const {
    return typed_ ? typed_->keyStatements(table, sourceFields_, keys_.keyFields, blankCounter_)
                  : QStringList();
}

QStringList TableLayout::counterStatements(const QString& table, long long above) const {
    return typed_ ? typed_->counterStatements(table, sourceFields_, keys_.keyFields, above,
                                              blankCounter_)
                  : QStringList();
}

QString TableLayout::blankKeyCount(const QString& table) const {
    if (!typed_ || keys_.keyFields <= 0 || keys_.keyFields > static_cast<int>(fields_.size()))
        return {};
    QStringList blank;
    for (int i = 0; i < keys_.keyFields; ++i)
        blank << Datatype::QuotedName(fields_[static_cast<size_t>(i)].name) +
                     QStringLiteral(" IS NULL");
    return QStringLiteral("SELECT count(*) FROM ") + Datatype::QuotedName(table) +
           QStringLiteral(" WHERE ") + blank.join(QStringLiteral(" OR "));
}

std::optional<size_t> TableLayout::autoIncrementColumn() const {
    for (size_t i = 0; i < sourceFields_.size(); ++i)
        if (sourceFields_[i].type == px::FieldType::AutoIncrement)
            return i;
    return std::nullopt;
}
